# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Shared by the package tests: failure counting and the checks an installed
# tree must pass wherever it lies. Source it.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$1: $failures failed"
    exit 1
  fi
  echo "$1: all checks passed"
}

# check_installed_tree ROOT PC_DIR BINDIR WORK: with the tree installed
# under ROOT ("" or a DESTDIR), the pkg-config file in PC_DIR (a path as
# installed, without ROOT) leads a C host to the headers and the
# plug-in file; the host in BINDIR finds that same plug-in file by itself;
# the manual page and udev rules are in place.
check_installed_tree() {
  local root=$1 pc_dir=$2 bindir=$3 work=$4
  local plugin includedir prefix
  export PKG_CONFIG_PATH=$root$pc_dir
  plugin=$(pkg-config --variable=plugin lumivane) || { fail "pkg-config finds no lumivane"; return; }
  local validation
  validation=$(pkg-config --validate lumivane 2>&1) && ! grep -F "lumivane.pc" <<<"$validation" ||
    fail "lumivane.pc does not validate: $validation"
  includedir=$(pkg-config --variable=includedir lumivane)
  prefix=$(pkg-config --variable=prefix lumivane)
  [ "$(pkg-config --modversion lumivane)" = "$LUMIVANE_VERSION" ] ||
    fail "lumivane.pc gives version $(pkg-config --modversion lumivane), not $LUMIVANE_VERSION"
  [ -f "$root$plugin" ] || fail "the plugin variable names $plugin, which is not installed"
  [ -f "$root$includedir/lumivane/lumivane.h" ] || fail "no lumivane.h under $includedir"
  [ -f "$root$includedir/lumivane/lumivane_tools.h" ] || fail "no lumivane_tools.h under $includedir"
  PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 pkg-config --cflags lumivane | grep -qF -- "-I$includedir" ||
    fail "Cflags lack -I$includedir"
  [ -f "$root$prefix/share/man/man1/lumivane-host.1.gz" ] || fail "no manual page under $prefix"
  [ -f "$root$prefix/lib/udev/rules.d/60-lumivane.rules" ] || fail "no udev rules under $prefix"

  # A C host built from the pkg-config flags alone (rebased onto the
  # DESTDIR) loads the plug-in file the pkg-config file names.
  local cflags
  cflags=$(pkg-config --cflags lumivane | sed "s|-I/|-I$root/|g")
  # A sanitized plug-in file loads only into a program that starts the
  # sanitizer's runtime.
  if objdump -p "$root$plugin" | grep -q 'NEEDED.*libasan'; then
    cflags+=" -fsanitize=address,undefined"
  elif objdump -p "$root$plugin" | grep -q 'NEEDED.*libtsan'; then
    cflags+=" -fsanitize=thread"
  fi
  # shellcheck disable=SC2086
  if cc -std=c99 -Wall -Wextra -Wpedantic -Werror $cflags -o "$work/minimal_host" \
    "$LUMIVANE_TESTS_DIR/minimal_host.c" -ldl; then
    "$work/minimal_host" "$root$plugin" >"$work/name" || fail "the C host cannot use $plugin"
  else
    fail "the installed headers do not compile as C99"
  fi

  # The installed host finds the installed plug-in file without --plugin.
  local host=$root$bindir/lumivane-host
  if XDG_CONFIG_HOME=$work/config HOME=$work "$host" info >"$work/info" 2>&1; then
    grep -qxF "plug-in file: $root$plugin" "$work/info" ||
      fail "installed lumivane-host loads another plug-in file: $(head -1 "$work/info")"
    grep -qxF "name: $(cat "$work/name" 2>/dev/null)" "$work/info" ||
      fail "lumivane-host info and the C host disagree on the name"
  else
    fail "installed lumivane-host info failed: $(cat "$work/info")"
  fi
  if ! XDG_CONFIG_HOME=$work/config HOME=$work timeout 60 "$host" demo >"$work/demo" 2>&1; then
    fail "installed lumivane-host demo failed: $(tail -5 "$work/demo")"
  fi
  unset PKG_CONFIG_PATH
}
