#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reports made before the dialog ever opened: init's failures show a modal
# box where there is a display, and go to standard error where there is none.
# Usage: host_reports_test.sh HOST [CLOSE_WINDOW]
# With CLOSE_WINDOW (and a display) each box must show, keep the host
# waiting, and let it go on once closed from outside.
set -uo pipefail
host=$1
close_window=${2:-}
config=$(mktemp -d)
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  rm -rf "$config"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$config
out=$config/out.txt
err=$config/err.txt
box_title="Lumivane DMX Pro Driver"

fail() {
  echo "FAIL ($1): $2"
  echo "--- stdout:"; cat "$out"
  echo "--- stderr:"; cat "$err"
  exit 1
}

# case_name device_type message: init with this stored device, no device there.
check() {
  local name=$1 device=$2 message=$3
  "$host" settings set comPort 7 >/dev/null || exit 1
  "$host" settings set DeviceType "$device" >/dev/null || exit 1
  if [ -z "$close_window" ]; then
    env -u DISPLAY "$host" set 1=1 >"$out" 2>"$err"
    grep -qxF "lumivane: $message" "$err" || fail "$name" "no report on standard error"
  else
    timeout 30 "$host" set 1=1 >"$out" 2>"$err" &
    host_pid=$!
    if command -v xdotool >/dev/null 2>&1; then
      timeout 20 xdotool search --sync --name "$box_title" >/dev/null || fail "$name" "no message box"
      sleep 0.3
      kill -0 "$host_pid" 2>/dev/null || fail "$name" "the host did not wait for the box"
    fi
    "$close_window" "$box_title" 20 || fail "$name" "no message box"
    wait "$host_pid"
    host_pid=""
    grep -qF "$message" "$err" && fail "$name" "the report went to standard error too"
  fi
  grep -qxF "SetChannel(1, 1): result True, ok" "$out" || fail "$name" "the host did not go on"
  echo "passed: $name"
}

check "missing widget port" DMXUSBpro \
  "Failed to open USB DMX Pro on comm port:  7 - Check Settings, Device"
check "no Open DMX USB" OpenDMXUSB "Failed to open Enttec Open DMX USB device!"
