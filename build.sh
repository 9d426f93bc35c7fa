#!/usr/bin/env bash
# Sets up, builds and then starts Tarvex or runs its tests.
#   ./build.sh start       install what is missing, build, start Tarvex
#   ./build.sh test        install what is missing, build, run every test
#   ./build.sh sanitize    the tests again under AddressSanitizer and UBSan
#   ./build.sh bench       build, then time the border detection and the preview beside ffmpeg
set -euo pipefail
cd "$(dirname "$0")"

packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev nlohmann-json3-dev
          ffmpeg locales clang-format qt6-base-dev fonts-liberation2
          libavformat-dev libavcodec-dev libavutil-dev libswscale-dev hyperfine
          mjpegtools vcdimager dvdauthor xorriso)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() { # build dir, extra cmake options...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_WERROR=ON "$@" >/dev/null
    cmake --build "$dir"
}

check_format() {
    local files
    files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build\* -prune -o -name '*.[ch]*' -print)
    [ -z "$files" ] && return 0
    # shellcheck disable=SC2086
    if ! clang-format --dry-run -Werror $files; then
        echo "clang-format: the files above need formatting (clang-format -i FILE)." >&2
        return 1
    fi
}

case "${1:-}" in
start)
    install_missing
    build build
    # The window on a display; without one, the headless front end shows what it computes.
    if (($# == 1)) && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then exec build/app/qt/tarvex; fi
    if (($# > 1)); then exec build/app/tarvex-cli "${@:2}"; fi
    exec build/app/tarvex-cli --dump --script
    ;;
test)
    export LC_ALL=C TZ=Europe/Berlin # tests run pinned, whatever the user's locale
    install_missing
    build build
    check_format
    ctest --test-dir build --output-on-failure -j"$(nproc)"
    ;;
sanitize)
    export LC_ALL=C TZ=Europe/Berlin
    install_missing
    build build-sanitize -DTARVEX_SANITIZE=ON
    # The films made into discs take minutes; the normal run has them.
    ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" -LE slow
    ;;
bench)
    install_missing
    build build
    tests/preview/bench.sh build
    ;;
*)
    sed -n '2,6p' "$0" | sed 's/^# //'
    exit 2
    ;;
esac
