#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `cmake --install` with a prefix and a DESTDIR: every file lands below
# DESTDIR/prefix, and the staged tree works as installed. Needs no root.
# usage: test_install_tree.sh BUILD_DIR VERSION
set -euo pipefail

build=$1
export LUMIVANE_VERSION=$2
LUMIVANE_TESTS_DIR=$(cd "$(dirname "$0")" && pwd)
export LUMIVANE_TESTS_DIR
# shellcheck source=package_checks.sh
. "$LUMIVANE_TESTS_DIR/package_checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/stage
prefix=/opt/lumivane-test

DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; exit 1; }

outside=$(find "$root" -mindepth 1 \( -type f -o -type l \) ! -path "$root$prefix/*")
[ -z "$outside" ] || fail "installed outside the prefix: $outside"
pc=$(find "$root$prefix" -name lumivane.pc)
[ "$(wc -l <<<"$pc")" -eq 1 ] && [ -n "$pc" ] || fail "not exactly one lumivane.pc: $pc"
pc_dir=$(dirname "${pc#"$root"}")
libdir=$(dirname "$pc_dir")
for file in bin/lumivane-host include/lumivane/lumivane.h "${libdir#"$prefix"/}/lumivane/liblumivane.so"; do
  [ -e "$root$prefix/$file" ] || fail "missing $prefix/$file"
done
# No build-tree paths survive in what a host reads.
grep -q "$build" "$pc" && fail "lumivane.pc names the build folder"
gzip -dc "$root$prefix/share/man/man1/lumivane-host.1.gz" |
  cmp -s - "$LUMIVANE_TESTS_DIR/../../docs/lumivane-host.1" || fail "the installed manual page is not docs/lumivane-host.1"

check_installed_tree "$root" "$pc_dir" "$prefix/bin" "$work"

# Another prefix at install time moves everything with it.
DESTDIR=$root cmake --install "$build" --prefix /srv/elsewhere >/dev/null
PKG_CONFIG_PATH=$root/srv/elsewhere/${libdir#"$prefix"/}/pkgconfig pkg-config --variable=plugin lumivane |
  grep -qx "/srv/elsewhere/.*/liblumivane.so" || fail "--prefix at install time is not honoured by lumivane.pc"

finish "install tree"
