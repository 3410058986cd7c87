#!/usr/bin/env bash
# Regenerates the media of fixture/ (effect files and sound clips) and copies the valid
# firmware package of the firmware tests; names.txt and firmware/upgrade.json are written by
# hand. Needs a built lw52-effectgen (first argument,
# default build/bin/lw52-effectgen) and the Debian packages sox, libsox-fmt-mp3 and lame.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
effectgen="${1:-$here/../../build/bin/lw52-effectgen}"
fx="$here/fixture"

effect() {  # category file seed block-counts... -- params
    local dir="$fx/effects/$1" file="$2" seed="$3"
    shift 3
    mkdir -p "$dir"
    "$effectgen" "$dir/$file" --seed "$seed" "$@" >/dev/null
}
effect 人声美化 clear-voice.dteff 11 --blocks 60 30 20 --param 36 0 100 20 --param 40 0 100 55
effect 人声美化 warm-voice.dteff 12 --blocks 80 40 20 --param 36 0 100 35
effect 人声美化 bright-voice.dteff 13 --blocks 120 60 40 --param 36 0 100 10 --param 41 0 24 12
effect K歌混响 small-room.dteff 21 --blocks 40 20 10 --param 36 0 100 40
effect K歌混响 concert-hall.dteff 22 --blocks 200 100 60 --param 36 0 100 80 --param 37 0 100 70
effect K歌混响 ktv-echo.dteff 23 --blocks 150 80 40 --param 36 0 100 65
effect 搞怪变声 robot.dteff 31 --blocks 90 50 30 --param 44 0 12 9
effect 搞怪变声 chipmunk.dteff 32 --blocks 70 30 20 --param 44 0 12 12

clip() {  # category file sox-synth-arguments...
    local dir="$fx/sounds/$1" file="$2"
    shift 2
    mkdir -p "$dir"
    sox -n -r 22050 -c 1 -b 16 /tmp/lw52-clip.wav synth "$@" vol 0.5 fade 0.02 -0 0.05
    lame --quiet -m m -b 32 /tmp/lw52-clip.wav "$dir/$file"
    rm -f /tmp/lw52-clip.wav
}
clip 掌声欢呼 applause.mp3 0.9 pinknoise tremolo 14 90
clip 掌声欢呼 cheer.mp3 0.8 brownnoise
clip 掌声欢呼 ding.mp3 0.5 sine 1320
clip 搞笑音效 boing.mp3 0.7 sine 300-900
clip 搞笑音效 buzzer.mp3 0.6 square 160
clip 搞笑音效 whistle.mp3 0.8 sine 2000-1200
clip 综艺效果 drumroll.mp3 1.0 brownnoise tremolo 30 80
clip 综艺效果 tada.mp3 0.6 sine 523:1047
clip 游戏音效 coin.mp3 0.3 square 988:1319
clip 游戏音效 laser.mp3 0.4 sine 1800-300

# The firmware package the upgrade answer names (hardware 1.0: version 1.2, steps L1.1 and L1.2).
cp "$here/../../firmware/core/tests/packages/valid.zip" "$fx/firmware/LW52-1.2.zip"
