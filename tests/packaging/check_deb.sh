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
for module in libtarvex_avprobe.so libtarvex_framereader.so; do
    echo "$contents" | grep -q "/tarvex/$module\$" || fail "the package lacks $module"
done
dpkg-deb -f "$deb" Depends | grep -q 'libavformat' || fail "the package does not depend on libav"
dpkg-deb -f "$deb" Recommends | grep -q 'vcdimager' || fail "the package does not recommend the disc tools"

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
# The installed window as that user: /usr/bin takes no settings file, so they go
# to ~/.config/Tarvex. It is closed as a logout closes it; a failure box would
# keep it open (nothing answers it offscreen).
run_window() {
    as_user sh -c 'QT_QPA_PLATFORM=offscreen tarvex >window.log 2>&1 & echo $! >window.pid
        wait $!; echo $? >window.status' &
    runner=$!
    sleep 3
    kill -TERM "$(cat "$home/window.pid")"
    for _ in $(seq 1 40); do
        kill -0 "$runner" 2>/dev/null || break
        sleep 0.25
    done
    if kill -0 "$runner" 2>/dev/null; then
        kill -KILL "$(cat "$home/window.pid")"
        fail "the window did not close: $(cat "$home/window.log")"
    fi
    [ "$(cat "$home/window.status")" = 0 ] ||
        fail "the window ended with status $(cat "$home/window.status"): $(cat "$home/window.log")"
}
settings=$home/.config/Tarvex/Tarvex.ini
run_window
[ -f "$settings" ] || fail "the window kept no settings in $settings"
[ ! -e /usr/bin/Tarvex.ini ] || fail "the window wrote beside the program"
[ "$(stat -c %a "$home/.config/Tarvex")" = 700 ] || fail "the settings folder is open to others"
# A 95 minute film on two discs, as a earlier run would have left them; a second
# run keeps them, and tarvex-cli reads the same file.
sed -i 's/^Seconds=.*/Seconds=5700\r/; s/^CDs=.*/CDs=2\r/' "$settings"
run_window
grep -q '^Seconds=5700' "$settings" || fail "the film length was lost: $(cat "$settings")"
grep -q '^CDs=2' "$settings" || fail "the number of discs was lost"
dump=$(as_user tarvex-cli --dump)
echo "$dump" | grep -A2 '"EditMin"' | grep -q '"Text": "95"' || fail "tarvex-cli read other settings"
echo "package $(basename "$deb") installs and runs as a normal user, who keeps the settings"
