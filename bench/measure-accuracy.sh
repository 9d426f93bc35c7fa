#!/bin/sh
# How exactly the plan predicts the disc images the real job makes: for each row below
# it makes a noisy test film with ffmpeg (once, kept in DIR), plans it with tarvex-cli
# as a user would (destination, disc, the rows measured for the tools, the video rate
# typed, no menu, no scene detection), makes the disc with --make-disc and prints the
# report's figures as one table row (docs/disc-measurements.md).
#
#   bench/measure-accuracy.sh DIR [ROW...]      a ROW is FORMAT-SYSTEM-KBPS[-ac3], e.g.
#                                               dvd-pal-6000, svcd-film-2600, vcd-ntsc
# SYSTEM is pal (25 fps), ntsc (29.97 fps) or film (23.976 fps on an NTSC disc, with
# soft pulldown on DVD and SVCD). FILM_SECONDS (60) sets the films' length, CLI the program
# (build/app/tarvex-cli), CHAPTER_MINUTES the minutes between chapters (5: none in a
# short film; with chapters a VCD or SVCD is authored by vcdxbuild). Runs niced; a
# one-minute row takes about half a minute.
set -eu
dir=$1
shift
[ $# -gt 0 ] || set -- dvd-pal-1000 dvd-pal-3000-ac3 dvd-pal-6000 dvd-pal-9400 dvd-pal-9800 \
    dvd-ntsc-1000-ac3 dvd-ntsc-6000-ac3 dvd-ntsc-9400-ac3 dvd-film-3000-ac3 dvd-film-8000-ac3 \
    svcd-pal-1500 svcd-pal-2600 svcd-ntsc-2000 svcd-film-2500 vcd-pal vcd-ntsc vcd-film
cli=$(realpath "${CLI:-build/app/tarvex-cli}")
seconds=${FILM_SECONDS:-60}
mkdir -p "$dir"
cd "$dir"

film() { # SYSTEM: the film's name, made once
    case $1 in
    pal) size=720x576 rate=25 ;;
    ntsc) size=720x480 rate=30000/1001 ;;
    film) size=720x480 rate=24000/1001 ;;
    esac
    name=$1-$seconds.avi
    if [ ! -f "$name" ]; then
        nice -n 10 ffmpeg -nostdin -v error -y \
            -f lavfi -i "testsrc2=size=$size:rate=$rate:duration=$seconds,noise=alls=12:allf=t" \
            -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
            -c:v mpeg4 -q:v 5 -c:a pcm_s16le -f avi "$name.part"
        mv "$name.part" "$name"
    fi
    echo "$name"
}

# A report line's real and predicted figures: "WHAT: REAL unit, predicted PRED (...)".
figures() { sed -n "s/^  $1: \([0-9]*\) [a-z]*, predicted \([0-9]*\) .*/\1 \2/p" "$2"; }

printf '| row | video kbps | planned image | real image | real - planned | layout (real - predicted) | authoring | from the streams |\n'
printf '|---|---|---|---|---|---|---|---|\n'
for row in "$@"; do
    IFS=- read -r format system kbps ac3 <<EOF
$row
EOF
    # Destination, disc, multiplexing and authoring rows, sound rate (the list's item).
    case $format in
    dvd) set -- --select DestAspectBox=0 --select CDTypeBox=7 --select MuxModeBox=8 \
        --select AuthoringBox=6 --select Audio1kbps=9 ;;
    svcd) set -- --select DestAspectBox=4 --select CDTypeBox=2 --select MuxModeBox=7 \
        --select AuthoringBox=3 --select Audio1kbps=8 ;;
    vcd) set -- --select DestAspectBox=6 --select CDTypeBox=2 --select MuxModeBox=6 \
        --select AuthoringBox=5 --select Audio1kbps=10 ;;
    esac
    [ "$system" = pal ] || set -- "$@" --check DestPALBox=0
    [ "${ac3:-}" = ac3 ] && set -- "$@" --check AC3Box=1
    [ "$format" = vcd ] && kbps=1150 # a VCD's only rate
    set -- "$@" --select RateModeBox=2 --type Videokbps="$kbps"
    chapters=${CHAPTER_MINUTES:-5}
    [ "$chapters" -lt 5 ] && set -- "$@" --down ChapterUpDown=$((5 - chapters))
    name=$(film "$system")
    rm -rf "out-$row"
    if ! nice -n 10 "$cli" --ini "$dir/bench.ini" --open "$name" "$@" --check SceneDetect=0 \
        --down MenuUpDown --make-disc "out-$row" >"$row.txt" 2>"$row.err"; then
        printf '| %s | failed: %s |\n' "$row" "$(grep -v '%' "$row.err" | tail -1)"
        continue
    fi
    set -- $(figures "image (whole plan)" "$row.txt") $(figures "multiplexed file (layout)" "$row.txt") \
        $(figures "image (authoring)" "$row.txt")
    real=$1 planned=$2 mux=$3 muxPredicted=$4 imagePredicted=$6
    streams=$((muxPredicted + imagePredicted - mux))
    pct() { awk -v d="$1" -v p="$2" 'BEGIN { printf "%+d (%+.3f %%)", d, d * 100 / p }'; }
    printf '| %s | %s | %s | %s | %s | %s | %s | %s |\n' "$row" "$kbps" "$planned" "$real" \
        "$(pct $((real - planned)) "$planned")" "$(pct $((mux - muxPredicted)) "$muxPredicted")" \
        "$(pct $((real - imagePredicted)) "$imagePredicted")" "$(pct $((real - streams)) "$streams")"
    rm -rf "out-$row"
done
