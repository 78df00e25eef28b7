#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command against a private virtual X server and stops the server
# after, by its process id. Usage: run_with_xvfb.sh COMMAND [ARGS...]
# The server picks a free display number, so runs from several build
# folders can go on at once.
# Exits 77 (reported as skipped) only where Xvfb cannot be installed.
set -uo pipefail

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

ready=$(mktemp)
log=$(mktemp)
xvfb_pid=""
stop_server() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -f "$ready" "$log"
}
trap stop_server EXIT

# Xvfb writes the display number to the -displayfd file once it serves.
for attempt in 1 2 3; do
  : >"$ready"
  Xvfb -screen 0 1024x768x24 -nolisten tcp -noreset -displayfd 3 3>"$ready" \
    >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$ready" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$ready" ] && break
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
  sleep 1
done
if [ ! -s "$ready" ]; then
  echo "Xvfb could not start:" >&2
  cat "$log" >&2
  exit 1
fi

DISPLAY=":$(tr -d '[:space:]' <"$ready")" "$@"
