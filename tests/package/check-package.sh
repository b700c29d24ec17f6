#!/usr/bin/env bash
# Builds the Debian package from the current build, unpacks it into a temporary root and
# checks what an installation gets: both programs answer --version (with no display),
# lumaro --help names /login and the machine folder, the dependencies hold the computed
# libraries and the SQL drivers, lintian finds no error, the desktop entry and the AppStream
# metadata validate.
# Usage: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$tmp/out/lumaro_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log"; fail "lintian"; }

root=$tmp/root
dpkg-deb -x "$deb" "$root"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LUMARO_MACHINE="$tmp/machine" "$@"; }
[ "$(run "$root/usr/bin/lumaro" --version)" = "Ostrel Lumaro $version" ] || fail "lumaro --version"
[[ $(run "$root/usr/bin/lumaro-admin" --version) == *" $version" ]] || fail "lumaro-admin --version"
help=$(run "$root/usr/bin/lumaro" --help)
[[ $help == *"/login"* && $help == *"Machine folder: $tmp/machine"* ]] || fail "lumaro --help: $help"
for page in lumaro lumaro-admin; do
  zgrep -q LUMARO_MACHINE "$root/usr/share/man/man1/$page.1.gz" || fail "man page $page"
done
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "metainfo"
echo "Package $deb checked"
