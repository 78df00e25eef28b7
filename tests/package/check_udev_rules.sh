#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the syntax of a udev rules file the way systemd-udevd reads it:
# comma-separated KEY{attr}OP"value" pairs, each key with the operators it
# takes, GOTO only to a LABEL that follows. For systems whose udevadm has no
# `verify` (systemd before 253). Prints each fault with its line number.
set -uo pipefail

file=$1
faults=0
fault() {
  echo "$file:$1: $2" >&2
  faults=$((faults + 1))
}

match_only=" ACTION DEVPATH KERNEL KERNELS SUBSYSTEM SUBSYSTEMS DRIVER DRIVERS ATTRS TAGS TEST PROGRAM RESULT CONST "
assign_only=" OWNER GROUP MODE SECLABEL RUN LABEL GOTO IMPORT OPTIONS "
either=" ATTR SYSCTL ENV TAG NAME SYMLINK "
with_attr=" ATTR ATTRS SYSCTL ENV CONST TEST SECLABEL RUN IMPORT "
pair_re='^[[:space:]]*([A-Z]+)(\{([^}]*)\})?[[:space:]]*(==|!=|\+=|-=|:=|=)[[:space:]]*"([^"]*)"[[:space:]]*(.*)$'

declare -A labels=()
declare -A goto_lines=()
number=0
rule=""
start=0
while IFS= read -r line || [ -n "$line" ]; do
  number=$((number + 1))
  if [ -z "$rule" ]; then start=$number; fi
  if [[ $line == *\\ ]]; then
    rule+="${line%\\}"
    continue
  fi
  rule+="$line"
  current=$rule
  rule=""
  [[ $current =~ ^[[:space:]]*(#.*)?$ ]] && continue

  rest=$current
  pairs=0
  while [ -n "$rest" ]; do
    if ! [[ $rest =~ $pair_re ]]; then
      fault "$start" "not KEY OP \"value\": ${rest}"
      break
    fi
    key=${BASH_REMATCH[1]}
    attr=${BASH_REMATCH[3]}
    has_attr=${BASH_REMATCH[2]}
    op=${BASH_REMATCH[4]}
    value=${BASH_REMATCH[5]}
    rest=${BASH_REMATCH[6]}
    pairs=$((pairs + 1))

    if [[ $match_only != *" $key "* && $assign_only != *" $key "* && $either != *" $key "* ]]; then
      fault "$start" "unknown key $key"
    elif [[ ($op == "==" || $op == "!=") && $assign_only == *" $key "* ]]; then
      fault "$start" "$key cannot be matched ($op)"
    elif [[ $op != "==" && $op != "!=" && $match_only == *" $key "* ]]; then
      fault "$start" "$key can only be matched, not assigned ($op)"
    fi
    if [[ -n $has_attr && $with_attr != *" $key "* ]]; then
      fault "$start" "$key takes no {attribute}"
    elif [[ -z $has_attr && ($key == ATTR || $key == ATTRS || $key == ENV || $key == SYSCTL || $key == CONST) ]]; then
      fault "$start" "$key needs an {attribute}"
    elif [[ -n $has_attr && -z $attr ]]; then
      fault "$start" "$key has an empty {attribute}"
    fi
    case $key in
      LABEL | GOTO)
        [ "$op" = "=" ] || fault "$start" "$key takes only ="
        [ -n "$value" ] || fault "$start" "$key without a name"
        if [ "$key" = LABEL ]; then labels[$value]=$start; else goto_lines[$value]=$start; fi
        ;;
      MODE)
        [[ $value =~ ^0?[0-7]{3,4}$ ]] || fault "$start" "MODE is not octal: $value"
        ;;
      ACTION)
        [[ $value =~ ^(add|remove|change|move|bind|unbind|online|offline)(\|(add|remove|change|move|bind|unbind|online|offline))*$ ]] ||
          fault "$start" "unknown ACTION $value"
        ;;
    esac

    [[ $rest =~ ^[[:space:]]*$ ]] && break
    if [[ $rest =~ ^[[:space:]]*,(.*)$ ]]; then
      rest=${BASH_REMATCH[1]}
      [[ $rest =~ ^[[:space:]]*$ ]] && fault "$start" "trailing comma"
    else
      fault "$start" "missing comma before: ${rest}"
      break
    fi
  done
done <"$file"
[ -z "$rule" ] || fault "$start" "file ends inside a continued line"

for name in "${!goto_lines[@]}"; do
  if [ -z "${labels[$name]:-}" ]; then
    fault "${goto_lines[$name]}" "GOTO $name has no LABEL"
  elif [ "${labels[$name]}" -lt "${goto_lines[$name]}" ]; then
    fault "${goto_lines[$name]}" "GOTO $name jumps backwards"
  fi
done

[ "$faults" -eq 0 ]
