#!/usr/bin/env bash
# Sets up, builds and then starts Tarvex or runs its tests.
#   ./build.sh start       install what is missing, build, start Tarvex
#   ./build.sh test        install what is missing, build, run every test
#   ./build.sh sanitize    the tests again under AddressSanitizer and UBSan
#   ./build.sh bench       build, then time the border detection and the preview beside ffmpeg
#   ./build.sh fuzz [SEC]  build the fuzz harnesses with clang, run each SEC seconds (60)
set -euo pipefail
cd "$(dirname "$0")"

packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev nlohmann-json3-dev
          ffmpeg locales clang-format qt6-base-dev fonts-liberation2
          libavformat-dev libavcodec-dev libavutil-dev libswscale-dev hyperfine
          mjpegtools vcdimager dvdauthor genisoimage lsdvd desktop-file-utils groff-base
          file dpkg-dev fonts-dejavu-core)
fuzz_packages=(clang libclang-rt-14-dev)

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

source_files() { # git's list in a checkout; in an unpacked archive every .cpp and .h outside build*/
    if [ -e .git ] && git ls-files '*.cpp' '*.h' 2>/dev/null; then return; fi
    find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print
}

check_format() {
    local files
    files=$(source_files)
    [ -z "$files" ] && return 0
    # shellcheck disable=SC2086
    if ! clang-format --dry-run -Werror $files; then
        echo "clang-format: the files above need formatting (clang-format -i FILE)." >&2
        return 1
    fi
}

fuzz() { # seconds per harness
    local seconds=$1 seeds name log
    for seeds in tests/fuzz/seeds/*/; do
        name=$(basename "$seeds")
        log=build-fuzz/fuzz-$name.log
        echo "Fuzzing $name for ${seconds}s"
        rm -rf "build-fuzz/corpus-$name" && mkdir -p "build-fuzz/corpus-$name"
        # New inputs go into a corpus of the build's own; the seeds stay as they are.
        if ! "build-fuzz/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=5 \
            -rss_limit_mb=2048 -dict="tests/fuzz/$name.dict" -artifact_prefix=build-fuzz/ \
            -print_final_stats=1 "build-fuzz/corpus-$name" "$seeds" >"$log" 2>&1; then
            tail -n 60 "$log" >&2
            echo "fuzz_$name failed; the input is in build-fuzz/, the log in $log" >&2
            return 1
        fi
        grep -E '^stat::number_of_executed_units|^Done' "$log" || true
    done
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
    bench/preview.sh build
    ;;
fuzz)
    export LC_ALL=C TZ=Europe/Berlin
    packages+=("${fuzz_packages[@]}")
    install_missing
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_WERROR=ON \
        -DCMAKE_CXX_COMPILER=clang++ -DTARVEX_FUZZ=ON >/dev/null
    cmake --build build-fuzz --target fuzz_opensrc fuzz_inifile fuzz_mainform
    ctest --test-dir build-fuzz --output-on-failure -R '^fuzz_.*_seeds$'
    fuzz "${2:-60}"
    ;;
*)
    sed -n '2,7p' "$0" | sed 's/^# //'
    exit 2
    ;;
esac
