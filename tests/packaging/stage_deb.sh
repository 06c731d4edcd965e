#!/bin/sh
# Builds a Debian package from this build tree without rebuilding it, then checks it with
# check_deb.sh. The tree is installed under /usr into a scratch copy of debian/, and the rest of
# the package's own debhelper sequence runs there: every step that `dh binary` runs after
# dh_auto_install (manual pages compressed, copyright and changelog, the user service, stripping,
# shared library dependencies, control file, dh_builddeb). The package that dpkg-buildpackage
# makes from a clean tree differs only in its compiler flags; scripts/package runs the same
# checks, and lintian, on that one.
# Usage: stage_deb.sh SOURCE_DIR BUILD_DIR VERSION
# Exit status 77 (skipped) when debhelper or dpkg-dev is missing.
set -u
source_dir=$1
build=$2
version=$3

for tool in dh dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool not found; install debhelper and dpkg-dev (scripts/setup-deps)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pelvane-stage-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
src="$work/src"
mkdir -p "$src"
cp -r "$source_dir/debian" "$src/"
cp "$source_dir/README.md" "$src/"
rm -rf "$src/debian/pelvane" "$src/debian/.debhelper" "$src/debian/files" \
  "$src/debian/debhelper-build-stamp" "$src/debian"/*.substvars "$src/debian"/*.debhelper.log

if ! DESTDIR="$src/debian/pelvane" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install failed"
  exit 1
fi

# The sequence as debian/rules defines it, from the step after dh_auto_install on. Each line is
# a command, quoted for the shell.
cd "$src" || exit 1
steps=$(dh binary --no-act 2>&1 | sed -n '/dh_auto_install/,$p' | sed 1d)
if [ -z "$steps" ]; then
  dh binary --no-act
  echo "FAIL: dh lists no steps after dh_auto_install"
  exit 1
fi
export DEB_BUILD_OPTIONS="nocheck noautodbgsym"
unset DH_VERBOSE MAKEFLAGS MAKELEVEL MFLAGS
echo "$steps" | while read -r step; do
  if ! sh -c "$step" >>"$work/dh.log" 2>&1; then
    cat "$work/dh.log"
    echo "FAIL: $step"
    exit 1
  fi
done || exit 1

set -- "$work"/pelvane_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  cat "$work/dh.log"
  echo "FAIL: expected one .deb, found: $*"
  exit 1
fi
sh "$(dirname "$0")/check_deb.sh" "$1" "$version"
