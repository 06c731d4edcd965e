#!/bin/sh
# Checks a Debian package of Pelvane: unpacks it into a scratch root and checks that what a
# desktop installation needs is in place and works: the four programs answer --version, the
# desktop entry, icons, metadata, MIME type, compressed manual pages, copyright, changelog and the
# peers' user service (installed, not enabled) are there and consistent, and every option a
# program lists in --help is in its manual page.
# Usage: check_deb.sh DEB VERSION
# Exit status 77 (skipped) when dpkg-deb is missing.
set -u
deb=$1
version=$2

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIP: dpkg-deb not found"
  exit 77
fi
if [ ! -f "$deb" ]; then
  echo "FAIL: no package at $deb"
  exit 1
fi
echo "package: $(basename "$deb")"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/pelvane-check-deb.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM

# Control fields: name, version, and the shared libraries' packages found by dpkg-shlibdeps.
control=$(dpkg-deb -f "$deb") || fail "dpkg-deb cannot read the control file"
[ "$(dpkg-deb -f "$deb" Package)" = pelvane ] || fail "package name is not pelvane"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libsqlite3-0; do
  case ", $depends," in
    *", $lib "* | *", $lib,"*) ;;
    *) fail "Depends lacks $lib: $depends" ;;
  esac
done
case "$control" in
  *"Description: "?*) ;;
  *) fail "no package description" ;;
esac

root="$work/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack the package"; exit 1; }

share="$root/usr/share"
app_id=org.pelvane.Pelvane
desktop="$share/applications/$app_id.desktop"
metainfo="$share/metainfo/$app_id.metainfo.xml"
mime="$share/mime/packages/pelvane.xml"
icon="$share/icons/hicolor/scalable/apps/$app_id.svg"
for f in "$desktop" "$metainfo" "$mime" "$icon"; do
  [ -f "$f" ] || fail "missing ${f#"$root"}"
done

for size in 32 48 64 128 256; do
  [ -f "$share/icons/hicolor/${size}x$size/apps/$app_id.png" ] ||
    fail "missing the ${size}x$size icon"
done

# Nothing but the programs, the desktop files and the user service: no static libraries,
# headers or test programs.
unexpected=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/*' \
  ! -path ./usr/lib/systemd/user/pelvane-peers.service)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

# What Debian asks of every package: the copyright file and the changelog, manual pages
# compressed.
doc="$share/doc/pelvane"
[ -f "$doc/copyright" ] || fail "missing usr/share/doc/pelvane/copyright"
[ -f "$doc/changelog.gz" ] || fail "missing usr/share/doc/pelvane/changelog.gz"
uncompressed=$(find "$share/man" -type f ! -name '*.gz')
[ -z "$uncompressed" ] || fail "uncompressed manual pages: $uncompressed"

# The simulated peers as a user service: installed, runs the packaged program, and is not
# enabled by the package (no enabling link, no maintainer script that enables it).
service="$root/usr/lib/systemd/user/pelvane-peers.service"
if [ -f "$service" ]; then
  exec_start=$(sed -n 's/^ExecStart=//p' "$service")
  [ "${exec_start%% *}" = pelvane-peers ] || [ "${exec_start%% *}" = /usr/bin/pelvane-peers ] ||
    fail "the user service runs '$exec_start', not pelvane-peers"
  grep -q -x 'Documentation=man:pelvane-peers(1)' "$service" ||
    fail "the user service does not point at pelvane-peers(1)"
  [ -z "$(find "$root" -path '*/systemd/user/*.wants*')" ] || fail "the package enables the user service"
  # debhelper's --no-enable snippet re-enables the unit on upgrade only where it was enabled
  # before (guarded by debian-installed, false on a first installation); the default snippet
  # enables it everywhere.
  dpkg-deb -e "$deb" "$work/control"
  if grep -q -e '--user enable' "$work/control/postinst" 2>/dev/null &&
    ! grep -q -e '--user debian-installed' "$work/control/postinst"; then
    fail "postinst enables the user service on installation"
  fi
  if command -v systemd-analyze >/dev/null 2>&1; then
    # The unit as systemd reads it, against the unpacked program.
    mkdir -p "$work/unit"
    sed "s|^ExecStart=[^ ]*|ExecStart=$root/usr/bin/pelvane-peers|" "$service" >"$work/unit/pelvane-peers.service"
    analysis=$(systemd-analyze verify --man=no "$work/unit/pelvane-peers.service" 2>&1) ||
      fail "systemd-analyze rejects the user service: $analysis"
  fi
  zcat "$share/man/man1/pelvane-peers.1.gz" 2>/dev/null | sed 's/\\-/-/g' |
    grep -q 'systemctl --user enable --now pelvane-peers' ||
    fail "pelvane-peers.1 does not say how to enable the user service"
else
  fail "missing usr/lib/systemd/user/pelvane-peers.service"
fi
extra_bins=$(cd "$root/usr/bin" && ls | grep -v -x -e pelvane -e pelvane-cli -e pelvane-peers -e pelvane-crypt)
[ -z "$extra_bins" ] || fail "unexpected programs in usr/bin: $extra_bins"

# Each program answers --version with "NAME VERSION" and has a manual page covering its options.
# Every long option in the help text must appear, as a whole option, in the manual page.
check_page_options() {
  plain="$work/$1.man.txt"
  sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$2" >"$plain"
  for option in $(grep -o -e '--[a-z0-9][a-z0-9-]*' "$3" | sort -u); do
    grep -q -E -e "$option([^a-z0-9-]|\$)" "$plain" || fail "$1.1 does not mention $option from --help"
  done
}
# Decompresses the page NAME into the scratch folder and prints its path; fails when missing.
man_page() {
  [ -f "$share/man/man1/$1.1.gz" ] && zcat "$share/man/man1/$1.1.gz" >"$work/$1.1" &&
    echo "$work/$1.1"
}
check_program() {
  name=$1
  program="$root/usr/bin/$name"
  if [ ! -x "$program" ]; then
    fail "missing usr/bin/$name"
    return
  fi
  out=$(QT_QPA_PLATFORM=offscreen "$program" --version 2>&1)
  [ "$out" = "$name $version" ] || fail "$name --version printed '$out', expected '$name $version'"

  page=$(man_page "$name") || {
    fail "missing manual page usr/share/man/man1/$name.1.gz"
    return
  }
  QT_QPA_PLATFORM=offscreen "$program" --help >"$work/$name.help" 2>&1 ||
    fail "$name --help failed"
  if [ "$name" = pelvane-crypt ]; then
    commands=$(sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p' "$work/$name.help")
    [ -n "$commands" ] || fail "pelvane-crypt --help lists no commands"
    for c in $commands; do
      grep -q -E "^\\.[A-Z]+ \"?$c( |\"|\$)" "$page" || fail "$name.1 does not describe the command $c"
      "$program" "$c" --help >>"$work/$name.help" 2>&1 || fail "pelvane-crypt $c --help failed"
    done
  fi
  check_page_options "$name" "$page" "$work/$name.help"
  if command -v man >/dev/null 2>&1; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$name.1 has roff warnings: $warnings"
  fi
}

for name in pelvane pelvane-cli pelvane-crypt; do
  check_program "$name"
done
# The peers program gains --version in its own command line; until then only its page and
# options are checked.
if "$root/usr/bin/pelvane-peers" --help 2>&1 | grep -q -e '--version'; then
  check_program pelvane-peers
else
  echo "NOTE: pelvane-peers offers no --version yet; checking its manual page only"
  if page=$(man_page pelvane-peers); then
    "$root/usr/bin/pelvane-peers" --help >"$work/pelvane-peers.help" 2>&1
    check_page_options pelvane-peers "$page" "$work/pelvane-peers.help"
  else
    fail "missing manual page usr/share/man/man1/pelvane-peers.1.gz"
  fi
fi

# The windowed wallet refuses an unknown option instead of opening it as a purchase file.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/pelvane" --no-such-option >"$work/usage.out" 2>&1
status=$?
[ $status -eq 2 ] || fail "pelvane --no-such-option exited $status, expected 2 (usage error)"
grep -q "no-such-option" "$work/usage.out" || fail "pelvane's usage error does not name the option"

# The desktop entry opens purchase files with the wallet, and the pieces name each other.
grep -q -x 'Exec=pelvane %f' "$desktop" || fail "desktop entry does not run 'pelvane %f'"
grep -q -x "Icon=$app_id" "$desktop" || fail "desktop entry's icon is not $app_id"
grep -q -x 'MimeType=application/x-pelvane-purchase;' "$desktop" ||
  fail "desktop entry does not open application/x-pelvane-purchase"
grep -q 'type="application/x-pelvane-purchase"' "$mime" || fail "MIME type not defined"
grep -q 'pattern="\*\.pelvane"' "$mime" || fail "MIME type has no *.pelvane glob"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "metadata does not launch $app_id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metadata has no release $version"

if command -v update-mime-database >/dev/null 2>&1; then
  # Compiles the package's MIME file alone: a malformed file leaves no glob behind.
  mkdir -p "$work/mime/packages" && cp "$mime" "$work/mime/packages/"
  update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
  grep -q 'application/x-pelvane-purchase:\*\.pelvane' "$work/mime/globs2" 2>/dev/null ||
    fail "the compiled MIME database does not map *.pelvane to application/x-pelvane-purchase"
else
  echo "NOTE: update-mime-database not found (shared-mime-info); MIME file not compiled"
fi

if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
else
  echo "NOTE: desktop-file-validate not found (desktop-file-utils); desktop entry not validated"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
else
  echo "NOTE: appstreamcli not found (appstream); metadata not validated"
fi
if command -v xmllint >/dev/null 2>&1; then
  xmllint --noout "$icon" || fail "the icon is not well-formed XML"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
