#!/usr/bin/env bash
# Installs the Debian package on a clean Debian 12 made by debootstrap, with apt-get so
# that the package's dependencies are what brings in every library; starts the installed
# orvanto there on an Xvfb display with a prepared program folder and waits for its main
# window; then removes the package and checks that none of its files remain while the
# user's program folder does.
# Usage: package_install_test.sh <package folder> <version> <cache folder> <product.h>
# The debootstrapped root and the downloaded packages are kept in the cache folder, so
# only the first run downloads them. ORVANTO_SCREENSHOT_DIR, when set, receives a
# screenshot of the running program.
set -euo pipefail
package="$(readlink -f "$1")/orvanto_${2}_$(dpkg --print-architecture).deb"
cache="$(mkdir -p "$3" && cd "$3" && pwd)"
title="$(sed -n 's/.*MainWindowTitle\[\] = "\(.*\)";/\1/p' "$4")"

fail() { echo "FAIL: $*" >&2; exit 1; }
missing() {
  echo "$*" >&2
  [ -n "${CI:-}" ] && exit 1
  exit 77
}
[ -f "$package" ] || missing "no package at $package: run scripts/package first"
[ "$(id -u)" -eq 0 ] || missing "debootstrap and chroot need root"
for tool in debootstrap unshare Xvfb xwininfo; do
  command -v "$tool" >/dev/null || missing "$tool is not installed"
done
[ -n "$title" ] || fail "no main window title in $4"

# Every mount below lives in a private mount namespace and ends with it, however
# this script ends.
if [ -z "${ORVANTO_IN_MOUNT_NAMESPACE:-}" ]; then
  ORVANTO_IN_MOUNT_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

# The Debian mirror and suites that apt uses on this machine.
host_sources=/etc/apt/sources.list.d/debian.sources
mirror="$(awk '/^URIs:/ { print $2; exit }' "$host_sources" 2>/dev/null || true)"
mirror="${mirror:-http://deb.debian.org/debian}"

base="$cache/base"
mkdir -p "$cache/archives/partial"
if [ ! -f "$cache/base.ready" ]; then
  rm -rf "$base"
  echo "debootstrap from $mirror"
  debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log" >&2; missing "debootstrap failed"; }
  if [ -f "$host_sources" ]; then
    cp "$host_sources" "$base/etc/apt/sources.list.d/"
    rm "$base/etc/apt/sources.list"
  fi
  chroot "$base" useradd --create-home --uid 1000 --shell /bin/sh tester
  touch "$cache/base.ready"
fi

rm -rf "$cache"/run.*
run="$(mktemp -d "$cache/run.XXXXXX")"
root="$run/root"
xvfb_pid=""
pid=""
cleanup() {
  for p in $pid $xvfb_pid; do
    { kill "$p" && wait "$p"; } 2>/dev/null || true
  done
  umount -R "$root" 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

# The clean root stays as debootstrap made it: each run works on a layer above it.
mkdir -p "$root" "$run/upper" "$run/work"
if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root" 2>/dev/null; then
  cp -a "$base/." "$root/"
fi
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A root thrown away after the run needs no syncing to disk.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

cp "$package" "$root/tmp/"
deb="/tmp/$(basename "$package")"
in_root apt-get update -qq >"$run/apt.log" 2>&1 || { cat "$run/apt.log" >&2; fail "apt-get update"; }
echo "package lists updated (${SECONDS} s)"
in_root apt-get install -y -qq --no-install-recommends "$deb" >"$run/apt.log" 2>&1 ||
  { tail -30 "$run/apt.log" >&2; fail "apt-get install $deb"; }
in_root dpkg -L orvanto >"$run/files"
echo "installed $(wc -l <"$run/files") paths of $(basename "$package") (${SECONDS} s)"
# The modules the program loads on first use sit beside it, and the package brought
# every library they need.
for module in liborvanto_sound.so liborvanto_signin.so; do
  [ -f "$root/usr/libexec/orvanto/$module" ] || fail "no $module beside the program"
  lacking="$(in_root ldd "/usr/libexec/orvanto/$module" | grep 'not found' || true)"
  [ -z "$lacking" ] || fail "$module lacks: $lacking"
done

# A user whose program folder already holds a recipient history and whose settings
# name an account, so the main window appears without the first-run dialog.
home="$root/home/tester"
mkdir -p "$home/Orvanto" "$home/.config/Orvanto" "$home/run" "$home/tmp"
echo "friend@example.org" >"$home/Orvanto/history.txt"
printf '[Settings]\nName=Test\nHost=127.0.0.1\nIncoming=127.0.0.1\nUser=tester\nReply=tester@example.org\n' \
  >"$home/.config/Orvanto/Orvanto.conf"
chmod 700 "$home/run"
in_root chown -R tester:tester /home/tester

mkdir -p /tmp/.X11-unix "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$run/display" ] && break
  sleep 0.1
done
[ -s "$run/display" ] || missing "Xvfb did not start: $(cat "$run/xvfb.log")"
display=":$(head -n1 "$run/display")"

chroot --userspec=1000:1000 "$root" env -i PATH=/usr/bin:/bin HOME=/home/tester USER=tester \
  XDG_RUNTIME_DIR=/home/tester/run TMPDIR=/home/tester/tmp DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  /usr/bin/orvanto >"$run/orvanto.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 1 300); do
  kill -0 "$pid" 2>/dev/null || { cat "$run/orvanto.log" >&2; fail "orvanto ended early"; }
  window="$(DISPLAY="$display" xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\":" 'index($0, t) { print $1; exit }')"
  if [ -n "$window" ] && DISPLAY="$display" xwininfo -id "$window" | grep -q 'Map State: IsViewable'; then
    break
  fi
  window=""
  sleep 0.2
done
[ -n "$window" ] || { cat "$run/orvanto.log" >&2; fail "no main window \"$title\""; }
exe="$(readlink "/proc/$pid/exe")"
[ "$exe" = "$root/usr/libexec/orvanto/orvanto" ] || fail "the running program is $exe"
[ -d "$home/Orvanto/emsg" ] || fail "no outbox in ~/Orvanto"
if [ -n "${ORVANTO_SCREENSHOT_DIR:-}" ]; then
  sleep 1
  DISPLAY="$display" import -window root "$ORVANTO_SCREENSHOT_DIR/installed-orvanto.png"
fi
echo "the installed orvanto shows its main window (${SECONDS} s)"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""

in_root apt-get remove -y -qq orvanto >"$run/apt.log" 2>&1 || { cat "$run/apt.log" >&2; fail "apt-get remove"; }
left=""
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  if [ -e "$root$path" ] || [ -L "$root$path" ]; then
    # A folder stays only while another package owns it too.
    if ! { [ -d "$root$path" ] && in_root dpkg-query -S "$path" >/dev/null 2>&1; }; then
      left="$left $path"
    fi
  fi
done <"$run/files"
[ -z "$left" ] || fail "left after removal:$left"
[ "$(cat "$home/Orvanto/history.txt")" = "friend@example.org" ] || fail "the program folder was touched"
[ -d "$home/Orvanto/emsg" ] && [ -f "$home/.config/Orvanto/Orvanto.conf" ] || fail "the user's files were removed"
echo "apt-get remove left none of the package's paths (${SECONDS} s)"
