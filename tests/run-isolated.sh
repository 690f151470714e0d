#!/bin/sh
# Runs one test program offscreen with its own temporary HOME and XDG folders, so that no test
# reads or writes the real user's settings, trash, desktop or associations.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/pixoria-test.XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT INT TERM
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/runtime" "$root/tmp"
chmod 700 "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" \
       XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime" TMPDIR="$root/tmp" \
       QT_QPA_PLATFORM=offscreen
"$@"
