#!/bin/sh
# Installs the build into a fresh prefix and checks what a desktop and man find
# there: both programs (running, no library missing), a valid desktop entry, the
# icon, clean manual pages, and every option of tarvex-cli's help in its page.
#   check_install.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/tarvex bin/tarvex-cli share/applications/tarvex.desktop \
    share/icons/hicolor/scalable/apps/tarvex.svg \
    share/man/man1/tarvex.1.gz share/man/man1/tarvex-cli.1.gz; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for program in tarvex tarvex-cli; do
    [ -x "$prefix/bin/$program" ] || fail "$program is not executable"
    if ldd "$prefix/bin/$program" | grep 'not found'; then fail "$program misses libraries"; fi
    if ldd "$prefix/bin/$program" | grep -q libavformat; then fail "$program loads libav at start"; fi
done
modules=$(find "$prefix" -name 'libtarvex_*.so' | sort)
for module in libtarvex_avprobe.so libtarvex_framereader.so; do
    echo "$modules" | grep -q "/tarvex/$module\$" || fail "$module is not installed"
done
for module in $modules; do
    if ldd "$module" | grep 'not found'; then fail "$module misses libraries"; fi
done

desktop-file-validate "$prefix/share/applications/tarvex.desktop" || fail "invalid desktop entry"
grep -qx 'Exec=tarvex' "$prefix/share/applications/tarvex.desktop" || fail "entry runs no tarvex"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/tarvex.svg" || fail "icon is no SVG"

for page in tarvex tarvex-cli; do
    warnings=$(gzip -dc "$prefix/share/man/man1/$page.1.gz" | groff -t -man -Tascii -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done

# The installed tarvex-cli computes a script from the defaults, without a settings file.
script=$(cd "$prefix" && "$prefix/bin/tarvex-cli" --ini "$prefix/none.ini" --script)
echo "$script" | grep -q '^BicubicResize(' || fail "tarvex-cli wrote no script: $script"

page=$(gzip -dc "$prefix/share/man/man1/tarvex-cli.1.gz" | groff -t -man -Tascii -P-cbu 2>/dev/null)
options=$("$prefix/bin/tarvex-cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "tarvex-cli --help names no options"
for option in $options; do
    echo "$page" | grep -q -- "$option" || fail "tarvex-cli.1 does not document $option"
done
echo "installed and checked: $(echo "$options" | wc -l) options documented"
