#!/usr/bin/env bash
# Quick checks of the Debian package that scripts/package made: lintian, the desktop
# entry, the software-centre metadata, and --version and --help of the packaged
# program, which must answer without a display and touch no file.
# Usage: package_check.sh <package folder> <version>
set -euo pipefail
package="$1/orvanto_${2}_$(dpkg --print-architecture).deb"
app_id="example.orvanto.Orvanto"

fail() { echo "FAIL: $*" >&2; exit 1; }
if [ ! -f "$package" ]; then
  echo "no package at $package: run scripts/package first" >&2
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Errors and warnings fail; a warning that stays is overridden with its reason.
lintian --fail-on error,warning "$package" || fail "lintian"

dpkg-deb -x "$package" "$work/root"
share="$work/root/usr/share"
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" ||
  { cat "$work/appstream.log" >&2; fail "metainfo"; }

# Without a display a window could not open: the answers come before the application.
mkdir -p "$work/home" "$work/tmp" "$work/run"
chmod 700 "$work/run"
answer() {
  env -i PATH=/usr/bin:/bin HOME="$work/home" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/run" \
    QT_QPA_PLATFORM=xcb "$work/root/usr/bin/orvanto" "$@"
}
[ "$(answer --version)" = "Orvanto $2" ] || fail "--version says: $(answer --version 2>&1)"
answer --help | grep -q '^Usage: orvanto' || fail "--help says: $(answer --help 2>&1)"
left="$(find "$work/home" "$work/tmp" "$work/run" -mindepth 1)"
[ -z "$left" ] || fail "--help or --version left files: $left"
echo "package $package checked"
