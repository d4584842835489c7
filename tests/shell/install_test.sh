#!/usr/bin/env bash
# Installs Orvanto into a temporary prefix (with a blank in its path), checks the
# installed files and the desktop entry, then starts the installed launcher with a
# temporary HOME and checks that Orvanto runs with ~/Orvanto as its program folder.
set -euo pipefail
build_dir="$1"

work="$(mktemp -d)"
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/pre fix"
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }

launcher="$prefix/bin/orvanto"
program="$prefix/libexec/orvanto/orvanto"
app_id="example.orvanto.Orvanto"
entry="$prefix/share/applications/$app_id.desktop"
[ -x "$launcher" ] || fail "no launcher at $launcher"
[ -x "$program" ] || fail "no program at $program"
head -c 4 "$program" | grep -q 'ELF' || fail "program is not an executable"
[ -f "$entry" ] || fail "no desktop entry"

for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  [ -f "$icon" ] || fail "no ${size}px icon"
  got="$(identify -format '%m %wx%h' "$icon")"
  [ "$got" = "PNG ${size}x${size}" ] || fail "icon $icon is $got"
done

desktop-file-validate "$entry" || fail "desktop entry rejected"
grep -qx "Icon=$app_id" "$entry" || fail "entry names another icon"
grep -qx 'Type=Application' "$entry" || fail "entry is not an application"
grep -qxF "Exec=\"$launcher\"" "$entry" || fail "entry does not start the installed launcher: $(grep '^Exec=' "$entry")"

# Start as the desktop would, in a fresh home without an Orvanto folder.
home="$work/home"
mkdir -p "$home" "$work/tmp" "$work/config" "$work/run"
chmod 700 "$work/run"
cd "$work"
env -u ORVANTO_HOME HOME="$home" TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
  "$launcher" >"$work/run.log" 2>&1 &
pid=$!

# The program creates its outbox in the program folder and then works from there.
for _ in $(seq 1 300); do
  [ -d "$home/Orvanto/emsg" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/run.log" >&2; fail "Orvanto ended early"; }
  sleep 0.1
done
[ -d "$home/Orvanto/emsg" ] || { cat "$work/run.log" >&2; fail "no outbox in ~/Orvanto"; }
kill -0 "$pid" 2>/dev/null || fail "Orvanto is not running"
[ "$(readlink -f "/proc/$pid/exe")" = "$(readlink -f "$program")" ] || fail "the launcher did not start the installed program"
# The outbox becomes the working folder right after it is created.
expected="$(readlink -f "$home/Orvanto/emsg")"
for _ in $(seq 1 50); do
  [ "$(readlink -f "/proc/$pid/cwd")" = "$expected" ] && break
  sleep 0.1
done
[ "$(readlink -f "/proc/$pid/cwd")" = "$expected" ] || fail "Orvanto works in $(readlink -f "/proc/$pid/cwd")"
echo "installed Orvanto runs in $home/Orvanto"
