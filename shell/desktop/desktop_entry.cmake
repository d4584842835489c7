# Writes the desktop entry while installing, when the launcher's full path is known.
# Given: ORVANTO_DESKTOP_TEMPLATE, ORVANTO_DESKTOP_OUTPUT, ORVANTO_BINDIR, and the
# install's CMAKE_INSTALL_PREFIX.
set(launcher "${CMAKE_INSTALL_PREFIX}/${ORVANTO_BINDIR}/orvanto")
if(NOT launcher MATCHES "^[A-Za-z0-9/._+-]+$")
  # Quoted as the entry format asks: backslash, quote, backquote and dollar escaped
  # within the quotes, then every backslash doubled for the string value.
  string(REPLACE "\\" "\\\\" launcher "${launcher}")
  string(REPLACE "\"" "\\\"" launcher "${launcher}")
  string(REPLACE "`" "\\`" launcher "${launcher}")
  string(REPLACE "$" "\\$" launcher "${launcher}")
  set(launcher "\"${launcher}\"")
  string(REPLACE "\\" "\\\\" launcher "${launcher}")
endif()
set(ORVANTO_EXEC "${launcher}")
configure_file("${ORVANTO_DESKTOP_TEMPLATE}" "${ORVANTO_DESKTOP_OUTPUT}" @ONLY)
