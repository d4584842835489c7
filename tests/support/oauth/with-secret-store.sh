#!/usr/bin/env bash
# Runs a command inside a private D-Bus session with its own unlocked gnome-keyring (the
# Secret Service), under a HOME and XDG_RUNTIME_DIR of its own, so tests use a real
# secret store and never the user's. Fails when CI is set and the store cannot start.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

dbus-run-session -- bash -c '
  echo -n orvanto | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  keyring=$!
  for _ in $(seq 1 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q true && break
    sleep 0.1
  done
  if ! kill -0 "$keyring" 2>/dev/null; then
    echo "gnome-keyring-daemon did not start" >&2
    [ -n "${CI:-}" ] && exit 1
    exit 77
  fi
  "$@"
  status=$?
  kill "$keyring" 2>/dev/null
  exit $status' orvanto-secret-store "$@"
