#!/usr/bin/env bash
# How fast `tarvex-cli --open FILE --dump` reads a source, side by side with
# `ffprobe -v quiet -show_streams FILE`, on small films of each kind made here.
#   bench/open-speed.sh [TARVEX_CLI [OTHER_TARVEX_CLI]]
# TARVEX_CLI defaults to build/app/tarvex-cli. With OTHER_TARVEX_CLI (for example
# a build of an older commit) both are timed on every file. Needs ffmpeg and
# hyperfine; the table is also written to bench/open-speed.md.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$(realpath "${1:-build/app/tarvex-cli}")
other=${2:+$(realpath "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

media() { # name, ffmpeg arguments...
    local name=$1
    shift
    ffmpeg -nostdin -v error -y "$@" "$work/$name"
}
pal="-f lavfi -i testsrc=size=720x576:rate=25:duration=1"
hd="-f lavfi -i testsrc=size=1280x720:rate=24000/1001:duration=1"
# shellcheck disable=SC2086
{
    media dv.avi $pal -frames:v 25 -c:v dvvideo -pix_fmt yuv420p
    media film.vob $pal -frames:v 25 -c:v mpeg2video -aspect 16:9 -f vob
    media film.mkv $pal -frames:v 25 -c:v libx264 -aspect 16:9
    media hevc.mkv $pal -frames:v 25 -c:v libx265 -x265-params log-level=none -aspect 16:9
    media film.mp4 $hd -frames:v 24 -c:v libx264
    media film.ts $hd -frames:v 24 -c:v libx264
    media film.webm $pal -frames:v 25 -c:v libvpx -b:v 500k
}

# A settings file of its own, so that the runs neither read nor change the user's.
: >"$work/bench.ini"
commands=()
for f in dv.avi film.vob film.mkv hevc.mkv film.mp4 film.ts film.webm; do
    commands+=(-n "tarvex $f" "$cli --ini $work/bench.ini --open $work/$f --dump")
    [ -n "$other" ] && commands+=(-n "other $f" "$other --ini $work/bench.ini --open $work/$f --dump")
    commands+=(-n "ffprobe $f" "ffprobe -v quiet -show_streams $work/$f")
done
hyperfine -N --warmup 5 --runs "${RUNS:-50}" --export-markdown bench/open-speed.md "${commands[@]}"
