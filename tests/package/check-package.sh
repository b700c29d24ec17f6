#!/usr/bin/env bash
# Builds the Debian package from this build, checks it with lintian, unpacks it and checks
# what an installation gets. Usage: check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/log" 2>&1 || { cat "$tmp/log"; fail cpack; }
deb=$tmp/out/lumaro_${version}_amd64.deb
lintian --fail-on error "$deb" >"$tmp/log" 2>&1 || { cat "$tmp/log"; fail lintian; }
# Computed library dependencies and the SQL drivers loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done

root=$tmp/root
dpkg-deb -x "$deb" "$root"
run() {
  local program=$1
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LUMARO_MACHINE="$tmp/m" "$root/usr/bin/$program" "$@"
}
[ "$(run lumaro --version)" = "Ostrel Lumaro $version" ] || fail "lumaro --version"
[[ $(run lumaro-admin --version) == *" $version" ]] || fail "lumaro-admin --version"
help=$(run lumaro --help)
[[ $help == *"/login"* && $help == *"Machine folder: $tmp/m"* ]] || fail "lumaro --help: $help"
zgrep -q LUMARO_MACHINE "$root"/usr/share/man/man1/lumaro-admin.1.gz || fail "man page"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "metainfo"
