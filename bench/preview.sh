#!/usr/bin/env bash
# Benchmarks of the border detection and the preview's frame access, each beside
# ffmpeg doing the same work. Run through `./build.sh bench`, which builds first.
#   bench/preview.sh BUILD_DIR
# Makes a two-hour 720x576 MPEG-2 film once (about 500 MB in BUILD_DIR/bench-films).
set -euo pipefail
build=${1:-build}
bench=$build/bench/tarvex_preview_bench
dir=$build/bench-films
film=$dir/two_hours.vob
mkdir -p "$dir"

if [ ! -f "$film" ]; then
    echo "Making a two-hour film (once)..."
    # One minute of letterboxed test picture at a low rate, joined 120 times without
    # re-encoding. (-v fatal: the DVD muxer complains about its buffer at such rates.)
    ffmpeg -nostdin -v fatal -y -f lavfi -i testsrc2=size=720x436:rate=25:duration=60 \
        -vf pad=720:576:0:70 -c:v mpeg2video -b:v 300k -maxrate 1500k -bufsize 1835k \
        -g 12 -bf 2 -f vob "$dir/minute.vob"
    for _ in $(seq 120); do echo "file 'minute.vob'"; done >"$dir/minutes.txt"
    ffmpeg -nostdin -v fatal -y -f concat -safe 0 -i "$dir/minutes.txt" -c copy -f vob "$film.part"
    mv "$film.part" "$film"
    rm "$dir/minute.vob" "$dir/minutes.txt"
fi
ffprobe -v error -show_entries format=duration,size -of default=noprint_wrappers=1 "$film"

# ffmpeg's cropdetect on the keyframes at the same 30 positions, one ffmpeg each.
mapfile -t times < <("$bench" times "$film")
{
    echo 'set -e'
    for t in "${times[@]}"; do
        echo "ffmpeg -nostdin -v error -ss $t -noaccurate_seek -i '$film' -frames:v 1" \
            "-vf cropdetect=limit=24:round=2:skip=0 -f null -"
    done
} >"$dir/cropdetect.sh"
middle=${times[15]}

echo
echo "== Film area of the two-hour film: Tarvex (30 keyframes) and cropdetect (same keyframes)"
"$bench" detect "$film"
hyperfine --warmup 1 --runs 5 -N --export-markdown "$dir/detect.md" \
    -n "tarvex detection" "$bench detect $film" \
    -n "cropdetect at the same 30 positions" "bash $dir/cropdetect.sh"

echo
echo "== A new preview position: Tarvex (keyframe, luma and RGB) and ffmpeg (one frame)"
"$bench" seek "$film"
hyperfine --warmup 2 --runs 20 -N --export-markdown "$dir/seek.md" \
    -n "ffmpeg, one keyframe at ${middle}s" \
    "ffmpeg -nostdin -v error -ss $middle -noaccurate_seek -i $film -frames:v 1 -f null -"

echo
echo "== Accuracy on the test films (area as width x height at left,top)"
"$bench" films "$dir/films"
