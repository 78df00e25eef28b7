#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command against a private virtual X server and stops the server
# after, by its process id. Usage: run_with_xvfb.sh :N COMMAND [ARGS...]
# Exits 77 (reported as skipped) only where Xvfb cannot be installed.
set -uo pipefail
display=$1
shift

if ! command -v Xvfb >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo -n"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends xvfb \
    >/dev/null 2>&1 || true
fi
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed and cannot be installed here"
  exit 77
fi

number=${display#:}
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
stop_server() {
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
}
trap stop_server EXIT

for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X$number" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "Xvfb could not start on $display (is the display number in use?)" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -S "/tmp/.X11-unix/X$number" ]; then
  echo "Xvfb did not come up on $display" >&2
  exit 1
fi

DISPLAY=$display "$@"
