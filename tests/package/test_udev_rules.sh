#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The udev rules parse, and they grant what users need for both
# interfaces. usage: test_udev_rules.sh RULES_FILE
set -euo pipefail

rules=$1
here=$(cd "$(dirname "$0")" && pwd)
checker=$here/check_udev_rules.sh
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rules" || fail "udevadm verify rejects $rules"
else
  echo "udevadm has no verify here; the syntax check below stands alone"
fi
"$checker" "$rules" || fail "syntax check rejects $rules"

# The checker itself must catch real faults, or a pass above means nothing.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while IFS='|' read -r name text; do
  printf '%b\n' "$text" >"$work/case.rules"
  if "$checker" "$work/case.rules" 2>/dev/null; then fail "syntax check accepts: $name"; fi
done <<'CASES'
matching an assignment key|SUBSYSTEM=="tty", GROUP=="plugdev"
assigning a match-only key|KERNEL="ttyUSB0"
unknown key|FOO=="1"
GOTO without LABEL|GOTO="nowhere"
LABEL before its GOTO|LABEL="x"\nGOTO="x"
missing comma|SUBSYSTEM=="tty" GROUP="plugdev"
unquoted value|SUBSYSTEM=="tty", MODE=0660
ATTR without attribute|ATTR=="x"
empty attribute|SUBSYSTEM=="tty", ATTR{}="1"
mode not octal|SUBSYSTEM=="tty", MODE="rw"
trailing comma|SUBSYSTEM=="tty", GROUP="plugdev",
unterminated quote|SUBSYSTEM=="tty", GROUP="plugdev
unknown action|ACTION=="plug", GROUP="plugdev"
file ends in a continuation|SUBSYSTEM=="tty", \\
CASES

# What each rule must grant. Rules are single lines in this file.
rule_for() { grep -E "^SUBSYSTEM==\"$1\".*ATTRS?\{idVendor\}==\"0403\".*ATTRS?\{idProduct\}==\"6001\"" "$rules" || true; }
usb=$(rule_for usb)
tty=$(rule_for tty)
[ -n "$usb" ] || fail "no rule for the USB device 0403:6001"
[ -n "$tty" ] || fail "no rule for its ttyUSB port"
for grant in 'TAG+="uaccess"' 'GROUP="plugdev"' 'MODE="0660"' 'ENV{ID_MM_DEVICE_IGNORE}="1"'; do
  grep -qF "$grant" <<<"$usb" || fail "the USB device rule lacks $grant"
  grep -qF "$grant" <<<"$tty" || fail "the ttyUSB rule lacks $grant"
done
# The latency timer is the usb-serial port's attribute, the tty's parent.
grep -qF 'ATTR{device/latency_timer}="1"' <<<"$tty" ||
  fail "no ttyUSB rule sets device/latency_timer to 1"
grep -qE 'KERNEL=="ttyUSB' <<<"$tty" || fail "the tty rules do not match ttyUSB names only"
# uaccess works only when tagged before 73-seat-late.rules runs.
number=$(basename "$rules" | sed -n 's/^\([0-9][0-9]\)-.*/\1/p')
[ -n "$number" ] && [ "$number" -lt 73 ] || fail "$(basename "$rules") does not sort before 73-seat-late.rules"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "udev rules: all checks passed"
