#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, installs it into this machine with dpkg -i,
# runs the installed host, and removes the package again. Needs root; skips
# (exit 77) elsewhere, and where the machine already has a lumivane package,
# which it must not replace. usage: test_debian_package.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
export LUMIVANE_VERSION=$2
LUMIVANE_TESTS_DIR=$(cd "$(dirname "$0")" && pwd)
export LUMIVANE_TESTS_DIR
# shellcheck source=package_checks.sh
. "$LUMIVANE_TESTS_DIR/package_checks.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: installing a Debian package needs root"
  exit 77
fi
for tool in dpkg dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: no $tool (not a Debian system?)"; exit 77; }
done

work=$(mktemp -d)
installed_by_us=0
cleanup() {
  if [ "$installed_by_us" -eq 1 ]; then dpkg_locked -r lumivane >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Another dpkg run (apt, or this test from another build) holds dpkg's lock
# for a while: wait for it rather than fail.
dpkg_locked() {
  for _ in $(seq 1 60); do
    if dpkg "$@" 2>"$work/dpkg.err"; then return 0; fi
    grep -q "lock" "$work/dpkg.err" || { cat "$work/dpkg.err" >&2; return 1; }
    sleep 2
  done
  cat "$work/dpkg.err" >&2
  return 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(echo "$work"/out/*.deb)
[ -f "$deb" ] || { echo "cpack made no .deb"; cat "$work/cpack.log"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumivane ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$LUMIVANE_VERSION" ] || fail "version is $(field Version), not $LUMIVANE_VERSION"
[ -n "$(field Description)" ] || fail "no description"
# Depends names the package of every runtime library the files link.
depends=$(field Depends)
# dpkg knows a library by the path its package ships, which on a merged-/usr
# system may be the /usr one of the path ldconfig shows.
owner_of() {
  local path
  path=$(ldconfig -p | awk -v l="$1" '$1 == l { print $NF; exit }')
  [ -n "$path" ] || return 0
  for candidate in "$path" "/usr$path" "$(readlink -f "$path")"; do
    if dpkg -S "$candidate" 2>/dev/null | head -1 | cut -d: -f1 | grep .; then return 0; fi
  done
}
for lib in $(objdump -p "$build/liblumivane.so" "$build/lumivane-host" | awk '$1 == "NEEDED" { print $2 }' | sort -u); do
  owner=$(owner_of "$lib")
  [ -n "$owner" ] || { fail "no package owns $lib"; continue; }
  tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$owner" || fail "Depends lacks $owner (for $lib): $depends"
done
if dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -vE '^\./usr/'; then
  fail "the package puts files outside /usr"
fi

exec 9>/run/lock/lumivane-package-test.lock
flock -w 300 9 || { echo "SKIPPED: another run of this test holds its lock"; exit 77; }
if dpkg-query -W -f='${Status}' lumivane 2>/dev/null | grep -q installed; then
  echo "SKIPPED: a lumivane package is installed on this machine already; not replacing it"
  exit 77
fi

installed_by_us=1
dpkg_locked -i "$deb" >"$work/dpkg.log" || { cat "$work/dpkg.log"; exit 1; }
[ "$(dpkg-query -W -f='${Status}' lumivane)" = "install ok installed" ] || fail "dpkg did not configure it"
check_installed_tree "" "$(dirname "$(dpkg -L lumivane | grep '/lumivane\.pc$')")" /usr/bin "$work"
if command -v man >/dev/null; then
  [ "$(man -w lumivane-host 2>/dev/null)" = /usr/share/man/man1/lumivane-host.1.gz ] ||
    fail "man does not find the installed lumivane-host page"
fi
files=$(dpkg -L lumivane | while read -r path; do [ -f "$path" ] && echo "$path"; done)

dpkg_locked -r lumivane >/dev/null || fail "dpkg -r failed"
installed_by_us=0
for path in $files; do [ ! -e "$path" ] || fail "dpkg -r left $path behind"; done
# A package with maintainer scripts stays known to dpkg until purged.
status=$(dpkg-query -W -f='${db:Status-Status}' lumivane 2>/dev/null || true)
if [ "$status" = config-files ]; then
  dpkg_locked --purge lumivane >/dev/null || fail "dpkg --purge failed"
  status=$(dpkg-query -W -f='${db:Status-Status}' lumivane 2>/dev/null || true)
fi
[ -z "$status" ] || [ "$status" = not-installed ] || fail "after removal lumivane is $status"

finish "Debian package"
