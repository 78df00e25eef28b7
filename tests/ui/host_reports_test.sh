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

stored_device() {
  rm -f "$settings_file"
  "$host" settings set comPort 7 >/dev/null || exit 1
  "$host" settings set DeviceType "$1" >/dev/null || exit 1
}
damaged_file() {
  mkdir -p "$(dirname "$settings_file")"
  printf 'this is not a settings file\n' >"$settings_file"
}
settings_file="$config/lumivane/settings/Lumivane Host.conf"

# check NAME MESSAGE SETUP...: after SETUP, init must report MESSAGE once.
check() {
  local name=$1 message=$2
  shift 2
  "$@"
  if [ -z "$close_window" ]; then
    env -u DISPLAY "$host" set 1=1 >"$out" 2>"$err"
    [ "$(grep -cF "$message" "$err")" -eq 1 ] || fail "$name" "not reported once on standard error"
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
    grep -qF "${message#lumivane: }" "$err" && fail "$name" "the report went to standard error too"
  fi
  grep -qxF "SetChannel(1, 1): result True, ok" "$out" || fail "$name" "the host did not go on"
  echo "passed: $name"
}

check "missing widget port" \
  "lumivane: Failed to open USB DMX Pro on comm port:  7 - Check Settings, Device" \
  stored_device DMXUSBpro
check "no Open DMX USB" "lumivane: Failed to open Enttec Open DMX USB device!" \
  stored_device OpenDMXUSB
# init reads two keys from the file: one box, not two.
check "damaged settings file" \
  "lumivane: The settings file is damaged and was left unchanged: $settings_file: " damaged_file
[ "$(cat "$settings_file")" = "this is not a settings file" ] || { echo "the damaged file changed"; exit 1; }
