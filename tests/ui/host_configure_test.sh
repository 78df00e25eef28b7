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

# A simulated widget on port 3; the Open DMX USB stored, so the dialog
# opens without a scan and OK must switch to the widget.
"$host" simulate --link 3 --seconds 40 >"$config/sim.txt" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; rm -rf "$config"' EXIT
for _ in $(seq 50); do [ -e "$config/lumivane/ports/com3" ] && break; sleep 0.1; done
"$host" settings set DeviceType OpenDMXUSB >/dev/null || exit 1
"$host" settings set comPort 3 >/dev/null || exit 1

timeout 40 "$host" configure >"$out" 2>&1 &
host_pid=$!
# No Open DMX USB is plugged in: init says so in a box first.
"$close_window" "Lumivane DMX Pro Driver" 20 || { echo "init showed no box"; kill "$host_pid"; cat "$out"; exit 1; }
title="Choose DMX interface device"
if command -v xdotool >/dev/null 2>&1; then
  # Real clicks through the server: Test (35,103 68x24), then OK (181,177 83x29).
  window=$(timeout 20 xdotool search --sync --name "$title" | head -1)
  [ -n "$window" ] || { echo "the dialog did not appear"; kill "$host_pid"; cat "$out"; exit 1; }
  requests() { grep -c "label 10" "$config/sim.txt"; }
  # The DMX USB Pro option (24,54 183x26): pressed, dragged off, released is
  # no click, and runs no scan.
  xdotool mousemove --window "$window" 115 67 mousedown 1 sleep 0.2 \
    mousemove --window "$window" 250 8 sleep 0.2 mouseup 1
  sleep 0.5
  [ "$(requests)" -eq 0 ] || { echo "a press dragged off the option ran the scan"; kill "$host_pid"; cat "$config/sim.txt"; exit 1; }
  # A click runs it, and so does one on the option already selected.
  for clicks in 1 2; do
    xdotool mousemove --window "$window" 115 67 click 1
    sleep 0.5
    [ "$(requests)" -eq "$clicks" ] || { echo "click $clicks on the option ran no scan"; kill "$host_pid"; cat "$config/sim.txt"; exit 1; }
  done
  xdotool mousemove --window "$window" 69 115 click 1
  sleep 0.5
  xdotool mousemove --window "$window" 222 191 click 1
  sleep 0.5
else
  echo "xdotool not installed: clicks left out, only open and close checked"
fi
"$close_window" "$title" 20 || { kill "$host_pid"; cat "$out"; exit 1; }
wait "$host_pid"
rc=$?
[ "$rc" -eq 0 ] || { echo "exit status $rc, expected 0"; cat "$out"; exit 1; }
expect_line "Configure: result True, ok"
expect_line "dialog closed"
expect_line "Term: result False, ok"
if command -v xdotool >/dev/null 2>&1; then
  "$host" settings >"$out" 2>&1
  expect_line 'comPort: "3"'
  expect_line 'DeviceType: "DMXUSBpro"'
  [ "$(requests)" -eq 3 ] || { echo "Test sent no serial number request"; cat "$config/sim.txt"; exit 1; }
  grep -q "label 6" "$config/sim.txt" || { echo "OK opened no widget"; cat "$config/sim.txt"; exit 1; }
fi
echo "passed: dialog opened, Test and OK clicked, closed by its close box"
