#!/bin/sh
# A whole DVD as a user makes it, against its plan: a noisy test film of MINUTES
# minutes (12) with a tone and a text subtitle every 8 seconds in an SRT beside it,
# planned by tarvex-cli with the window's defaults for a PAL DVD (a title menu,
# chapters every 5 minutes, the subtitles the SRT carries) at KBPS kbps of video
# (6000), made with --make-disc. Prints the disc's report: the image against the
# plan, the menu's and the subtitles' blocks against their prediction
# (docs/disc-measurements.md).
#
#   bench/measure-whole-dvd.sh DIR [MINUTES [KBPS]]
set -eu
dir=$1
minutes=${2:-12}
kbps=${3:-6000}
cli=$(realpath "${CLI:-build/app/tarvex-cli}")
mkdir -p "$dir"
cd "$dir"
seconds=$((minutes * 60))
film=whole-$minutes.avi
if [ ! -f "$film" ]; then
    nice -n 10 ffmpeg -nostdin -v error -y \
        -f lavfi -i "testsrc2=size=720x576:rate=25:duration=$seconds,noise=alls=12:allf=t" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
        -c:v mpeg4 -q:v 5 -c:a pcm_s16le -f avi "$film.part"
    mv "$film.part" "$film"
fi
# Two lines shown for 4.5 seconds every 8 seconds.
awk -v end="$seconds" 'function t(s) { return sprintf("%02d:%02d:%02d,%03d", s / 3600, s % 3600 / 60, s % 60, (s - int(s)) * 1000) }
    BEGIN { for (s = 1; s + 5 < end; s += 8) { n++; printf "%d\n%s --> %s\nLine %d of the test film,\nspoken at %d seconds.\n\n", n, t(s), t(s + 4.5), n, s } }' \
    >"whole-$minutes.srt"
rm -rf "out-$minutes"
nice -n 10 "$cli" --ini "$dir/bench.ini" --open "$film" --select DestAspectBox=0 --select CDTypeBox=7 \
    --select MuxModeBox=8 --select AuthoringBox=6 --select Audio1kbps=9 --select RateModeBox=2 \
    --type Videokbps="$kbps" --make-disc "out-$minutes" 2>"out-$minutes.err" ||
    { tail -3 "out-$minutes.err"; exit 1; }
