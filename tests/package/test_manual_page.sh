#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual page is kept in step with --help: every command, subcommand,
# option and exit status the program's help names has its entry in the
# page, and the page formats without a warning.
# usage: test_manual_page.sh LUMIVANE_HOST MANUAL_PAGE
set -euo pipefail

host=$1
page=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns: $warnings"
else
  echo "no groff here: formatting not checked"
fi

# The page's source as plain words: roff's escaped hyphens and backslashes
# undone, font changes and quotes dropped.
plain=$(sed -e 's/\\-/-/g' -e 's/\\e/\\/g' -e 's/\\f[BIRP]//g' -e 's/"//g' "$page")
section() { awk -v s="$1" '/^\.SH / { on = ($2 == s) } on' <<<"$plain"; }
commands_section=$(section COMMANDS)
# An entry is the tag line after .TP (.B, .BI, .BR) that starts with the words.
tags() { awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' <<<"$1"; }
has_entry() { tags "$2" | grep -qE "^\.(B|BI|BR) $1( |$)"; }

overview=$("$host" --help)
commands=$(awk '/^commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { on = 0 }' <<<"$overview")
[ -n "$commands" ] || fail "--help lists no commands"

options=$(grep -oE -- '--[a-z][a-z-]*' <<<"$overview" | sort -u)
for option in $options; do
  has_entry "$option" "$plain" || fail "option $option has no entry in the page"
done

for command in $commands; do
  has_entry "$command" "$commands_section" || { fail "command $command has no entry"; continue; }
  help=$("$host" "$command" --help)
  # Its own options; the overview's, which its help may mention, are above.
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | grep -vxF -- "$options" | sort -u); do
    has_entry "$option" "$commands_section" || fail "option $option of $command has no entry"
  done
  # Subcommands: "usage: lumivane-host [options] settings set KEY VALUE".
  for sub in $(sed -nE "s/^ *(usage: +)?lumivane-host \[options\] $command ([a-z]+)( .*|$)/\2/p" <<<"$help"); do
    has_entry "$command $sub" "$commands_section" || fail "$command $sub has no entry"
  done
done

exit_section=$(section "EXIT")
for status in $(sed -nE 's/^exit status: //p' <<<"$overview" | grep -oE '(^|, )[0-9]+' | grep -oE '[0-9]+'); do
  has_entry "$status" "$exit_section" || fail "exit status $status is not described"
done

# Entries for commands this build does not have yet (or no longer) are
# worth a look, but teammates' commands land on their own branches.
for documented in $(tags "$commands_section" | sed -nE 's/^\.(B|BI|BR) ([a-z]+).*/\2/p' | sort -u); do
  grep -qx "$documented" <<<"$commands" || echo "note: the page documents $documented, which --help does not list"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "manual page: all checks passed"
