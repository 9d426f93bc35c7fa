#!/bin/sh
# How many blocks the authoring tools add to a multiplexed film, by playing time:
# vcdimager for VCD and SVCD (.bin of 2352-byte sectors against the 2324-byte packs
# of the .mpg), dvdauthor and genisoimage for DVD (.iso against the 2048-byte VOB).
# The film is a still black picture with silence: the tools' overhead depends on
# the playing time and the GOPs, not on the bits. Usage: [FORMATS='vcd svcd dvd'] measure-authoring.sh DIR [SECONDS...]
set -eu
dir=$1
shift
[ $# -gt 0 ] || set -- 60 600 1800 3600 5400
mkdir -p "$dir"
cd "$dir"
printf '%-6s %8s %8s %8s %8s\n' format seconds mux image added
for s in "$@"; do
    for f in ${FORMATS:-vcd svcd dvd}; do
        case $f in
        vcd) size=352x288 codec=mpeg1video ar=44100 packet=2324 ;;
        svcd) size=480x576 codec=mpeg2video ar=44100 packet=2324 ;;
        dvd) size=720x576 codec=mpeg2video ar=48000 packet=2048 ;;
        esac
        ffmpeg -nostdin -v error -y -f lavfi -i "color=black:size=$size:rate=25:duration=$s" \
            -c:v $codec -q:v 31 -g 15 -bf 2 -sc_threshold 1000000000 -aspect 4:3 \
            $( [ $f = svcd ] && echo -scan_offset 1 ) -f ${codec} v.$f
        ffmpeg -nostdin -v error -y -f lavfi -i "anullsrc=r=$ar:cl=stereo" -t "$s" \
            -c:a mp2 -b:a 224k -f mp2 a.$f
        ffmpeg -nostdin -v error -y -fflags +genpts -i v.$f -i a.$f -map 0:v -map 1:a -c copy \
            -f $f -packetsize $packet m.$f.mpg
        rm -rf img.$f d.$f
        if [ $f = dvd ]; then
            VIDEO_FORMAT=PAL dvdauthor -o d.$f -t m.$f.mpg >/dev/null 2>&1
            VIDEO_FORMAT=PAL dvdauthor -o d.$f -T >/dev/null 2>&1
            mkdir -p d.$f/AUDIO_TS
            genisoimage -quiet -dvd-video -udf -V TARVEX_1 -o img.$f d.$f >/dev/null 2>&1
            image=$(($(stat -c %s img.$f) / 2048))
        else
            t=$([ $f = vcd ] && echo vcd2 || echo svcd)
            vcdimager -t $t -c img.$f.cue -b img.$f m.$f.mpg >/dev/null 2>&1
            image=$(($(stat -c %s img.$f) / 2352))
        fi
        mux=$(($(stat -c %s m.$f.mpg) / packet))
        printf '%-6s %8s %8s %8s %8s\n' $f "$s" $mux $image $((image - mux))
    done
done
rm -rf v.* a.* m.*.mpg img.* d.*
