#!/bin/sh
# The Debian package as a fresh machine gets it: made by cpack, installed with its
# dependencies, run by a normal user, then removed again. Needs root (CI runs it).
#   check_deb.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[ "$(id -u)" = 0 ] || fail "installing a package needs root"
if dpkg-query -W -f='${Status}' tarvex 2>/dev/null | grep -q 'install ok installed'; then
    fail "a tarvex package is installed already; remove it first"
fi

rm -f "$build"/tarvex_*.deb
out=$(cd "$build" && cpack -G DEB 2>&1) || fail "cpack: $out"
deb=$(echo "$build"/tarvex_*.deb)
[ -f "$deb" ] || fail "cpack made no package"
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/tarvex usr/bin/tarvex-cli usr/share/applications/tarvex.desktop \
    usr/share/icons/hicolor/scalable/apps/tarvex.svg usr/share/man/man1/tarvex-cli.1.gz; do
    echo "$contents" | grep -q " ./$file\$" || fail "the package lacks $file"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package does not depend on Qt"

home=$(mktemp -d)
cleanup() {
    rm -rf "$home"
    dpkg -r tarvex >/dev/null 2>&1 || true
}
trap cleanup EXIT
out=$(DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 "$deb" 2>&1) || fail "apt-get: $out"
chown nobody "$home"

# A normal user, with a home of its own and nothing of the build around.
as_user() {
    (cd "$home" && runuser -u nobody -- env -i HOME="$home" PATH=/usr/bin:/bin LC_ALL=C "$@")
}
as_user tarvex-cli --script | grep -q 'Resize(' || fail "the installed tarvex-cli wrote no script"
status=0
as_user tarvex-cli --bogus 2>/dev/null || status=$?
[ "$status" = 2 ] || fail "tarvex-cli answered a bad option with $status, not 2"
echo "package $(basename "$deb") installs and runs as a normal user"
