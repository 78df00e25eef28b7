#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# lumivane-host configure, end to end. Usage: host_configure_test.sh HOST [CLOSE_WINDOW]
# With CLOSE_WINDOW (and a display) the dialog opens and is closed by its
# close box; without, DISPLAY is unset and Configure must fail cleanly.
set -uo pipefail
host=$1
close_window=${2:-}
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
out=$config/out.txt

expect_line() {
  if ! grep -qxF "$1" "$out"; then
    echo "missing line: $1"
    echo "--- output:"
    cat "$out"
    exit 1
  fi
}

if [ -z "$close_window" ]; then
  env -u DISPLAY "$host" configure >"$out" 2>&1
  rc=$?
  [ "$rc" -eq 1 ] || { echo "exit status $rc, expected 1"; cat "$out"; exit 1; }
  expect_line "Configure: result False, failed with 9200: No display is available to show the dialog"
  expect_line "Term: result False, ok"
  echo "passed: no display"
  exit 0
fi

"$host" settings set DeviceType OpenDMXUSB >/dev/null || exit 1
timeout 30 "$host" configure >"$out" 2>&1 &
host_pid=$!
"$close_window" "Choose DMX interface device" 20 || { kill "$host_pid"; cat "$out"; exit 1; }
wait "$host_pid"
rc=$?
[ "$rc" -eq 0 ] || { echo "exit status $rc, expected 0"; cat "$out"; exit 1; }
expect_line "init: result False, ok"
expect_line "Configure: result True, ok"
expect_line "dialog closed"
expect_line "Term: result False, ok"
echo "passed: dialog opened and closed by its close box"
