#!/usr/bin/env bash
# Makes the sound pad's 18 built-in clips, mp3/DJ_*.mp3, from Mandarin speech (espeak-ng) and
# sox synthesis, encoded by lame. The MP3s are committed, so only whoever changes a clip needs
# these tools. Noise is seeded (sox -R), so a rerun gives the same sounds.
#   usage: make-clips.sh [OUTPUT_DIR]   (default: mp3/ next to this script)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/mp3}"

missing=()
for tool in sox lame espeak-ng; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "make-clips: needs sox, lame and espeak-ng; missing: ${missing[*]}" >&2
  echo "  on Debian: apt-get install sox lame espeak-ng" >&2
  exit 1
fi

mkdir -p "$out"
tmp="$(mktemp -d /tmp/lw52-clips-XXXXXX)"
trap 'rm -rf "$tmp"' EXIT
export LC_ALL=C.UTF-8

# Every intermediate is a 44.1 kHz mono WAV named by a short id in $tmp.
sx() { sox -R -V1 "$@"; }
w() { echo "$tmp/$1.wav"; }
# gen ID EFFECTS...: a synthesised sound.
gen() {
  local id=$1
  shift
  sx -n -r 44100 -c 1 -b 16 "$(w "$id")" "$@"
}
# fx IN OUT EFFECTS...
fx() {
  local in=$1 o=$2
  shift 2
  sx "$(w "$in")" "$(w "$o")" "$@"
}
# say ID TEXT [ESPEAK OPTIONS...]: Mandarin speech, leading and trailing silence trimmed.
say() {
  local id=$1 text=$2
  shift 2
  espeak-ng -v cmn "$@" -w "$tmp/$id.speech.wav" "$text"
  sx "$tmp/$id.speech.wav" -r 44100 "$(w "$id")" \
    silence 1 0.01 1% reverse silence 1 0.01 1% reverse
}
# at IN SECONDS OUT: IN delayed by SECONDS.
at() { sx "$(w "$1")" "$(w "$3")" pad "$2"; }
# mix OUT IN[:VOLUME]...: the inputs played together (each already placed with at).
mix() {
  local o=$1 args=() id vol
  shift
  for item in "$@"; do
    id="${item%%:*}"
    vol=1
    [ "$item" != "$id" ] && vol="${item#*:}"
    args+=(-v "$vol" "$(w "$id")")
  done
  sx -m "${args[@]}" "$(w "$o")"
}
# seq_ OUT IN...: the inputs one after the other (seq itself is the coreutils one).
seq_() {
  local o=$1 args=()
  shift
  for id in "$@"; do args+=("$(w "$id")"); done
  sx "${args[@]}" "$(w "$o")"
}
# encode NAME IN: peak at -2 dBFS, turned down further when that makes it louder than the
# others (RMS above 0.18), short fades, 64 kbit/s mono MP3.
encode() {
  sx "$(w "$2")" "$tmp/peak.wav" gain -n -2
  local down
  down=$(sx "$tmp/peak.wav" -n stat 2>&1 | awk '/^RMS +amplitude/ {
    db = 20 * log($3 / 0.18) / log(10); printf "%.2f", (db > 0 ? -db : 0) }')
  sx "$tmp/peak.wav" "$tmp/final.wav" gain "$down" fade q 0.005 -0 0.04
  lame --quiet --noreplaygain -m m --cbr -b 64 "$tmp/final.wav" "$out/$1.mp3"
}

# --- building blocks -------------------------------------------------------------------------

# A bell-like ding: plucked tones with an octave partial.
ding() {
  local id=$1 freq=$2
  gen "$id.a" synth 0.7 pluck "$freq"
  gen "$id.b" synth 0.7 sine "$((freq * 2))" fade l 0 0.7 0.65
  mix "$id" "$id.a" "$id.b:0.3"
}

# Applause: a dozen people clapping at their own pace, each clap a short resonant noise burst.
applause() {
  local id=$1 seconds=$2 parts=() i period freq offset repeats
  for i in $(seq 0 11); do
    period="0.$((190 + i * 9))"
    freq=$((900 + (i * 317) % 1500))
    offset="0.0$((i * 7 % 10))"
    repeats=$(awk -v s="$seconds" -v p="$period" 'BEGIN { printf "%d", s / p }')
    gen "$id.c$i" synth 0.012 whitenoise fade q 0.001 0.012 0.011 bandpass "$freq" 1.2q \
      pad 0 "$(awk -v p="$period" 'BEGIN { printf "%.3f", p - 0.012 }')" repeat "$repeats"
    at "$id.c$i" "$offset" "$id.p$i"
    parts+=("$id.p$i")
  done
  gen "$id.bed" synth "$seconds" pinknoise bandpass 1800 1.5q
  mix "$id.raw" "${parts[@]}" "$id.bed:0.15"
  fx "$id.raw" "$id" trim 0 "$seconds" fade q 0.15 "$seconds" 0.8 reverb 30 50 60
}

# Laughter: several voices laughing, each at its own pitch, speed and start.
laughter() {
  local id=$1 n=0 parts=() item text pitch speed start
  shift
  for item in "$@"; do
    IFS=/ read -r text pitch speed start <<<"$item"
    say "$id.v$n" "$text" -p "$pitch" -s "$speed"
    at "$id.v$n" "$start" "$id.a$n"
    parts+=("$id.a$n")
    n=$((n + 1))
  done
  mix "$id.raw" "${parts[@]}"
  fx "$id.raw" "$id" tremolo 6 30 reverb 40 50 70
}

# A hit: a noise crack over a falling low thump.
hit() {
  local id=$1 crackHz=$2 thumpHz=$3
  gen "$id.crack" synth 0.09 whitenoise highpass "$crackHz" fade l 0 0.09 0.088
  gen "$id.thump" synth 0.14 sine "$thumpHz-45" fade l 0 0.14 0.13
  mix "$id" "$id.crack" "$id.thump:0.8"
}

# A brass-like note: sawtooth and square, softened, with a slight swell.
brass() {
  local id=$1 freq=$2 seconds=$3
  gen "$id" synth "$seconds" sawtooth "$freq" synth "$seconds" square mix "$freq" \
    lowpass 2200 overdrive 6 fade t 0.02 "$seconds" 0.06
}

# --- the clips -------------------------------------------------------------------------------

# 非诚勿扰: a rising chime, then the line in a roomy voice.
ding fcwr.d1 659
ding fcwr.d2 784
ding fcwr.d3 1047
at fcwr.d2 0.14 fcwr.e2
at fcwr.d3 0.28 fcwr.e3
say fcwr.s "非诚勿扰" -p 60 -s 140
fx fcwr.s fcwr.sr reverb 50 50 80 pad 0.55
mix fcwr.mix fcwr.d1:0.5 fcwr.e2:0.5 fcwr.e3:0.5 fcwr.sr
encode DJ_FCWR fcwr.mix

# 鄙视: a low, slow sneer and a sad trombone.
say bs.s "鄙视" -p 15 -s 110
brass bs.t1 233 0.32
brass bs.t2 220 0.32
brass bs.t3 208 0.32
gen bs.t4 synth 0.9 sawtooth 196 lowpass 1400 overdrive 4 tremolo 5 60 fade t 0.02 0.9 0.4
seq_ bs.tb bs.t1 bs.t2 bs.t3 bs.t4
at bs.tb 0.1 bs.tbp
seq_ bs.mix bs.s bs.tbp
encode DJ_BS bs.mix

# 欢呼: a crowd's roar with whoops and a whistle.
gen hh.roar synth 2.2 pinknoise bandpass 900 1q fade q 0.25 2.2 1.0
say hh.w1 "哇哦" -p 70 -s 160
say hh.w2 "耶" -p 90 -s 150
say hh.w3 "哇" -p 40 -s 140
say hh.w4 "好耶" -p 80 -s 180
at hh.w1 0.05 hh.a1
at hh.w2 0.3 hh.a2
at hh.w3 0.45 hh.a3
at hh.w4 0.8 hh.a4
gen hh.wh synth 0.5 sine 1800-2600 fade q 0.05 0.5 0.2
at hh.wh 1.1 hh.a5
mix hh.voices hh.a1 hh.a2 hh.a3 hh.a4 hh.a5:0.4
fx hh.voices hh.vr reverb 60 50 90
mix hh.mix hh.roar:0.6 hh.vr
encode DJ_HH hh.mix

# 掌声: applause.
applause zs 2.6
encode DJ_ZS zs

# 大哄笑: a room bursting out laughing.
laughter dhx "哈哈哈哈哈/40/220/0" "哈哈哈哈/75/250/0.12" "哈哈哈哈哈哈/55/280/0.2" \
  "嘿嘿嘿嘿/90/240/0.35" "哈哈哈/25/200/0.5" "哈哈哈哈/65/230/0.6"
encode DJ_DHX dhx

# 小哄笑: a couple of chuckles.
laughter xhx "嘿嘿嘿/60/220/0" "哈哈/80/240/0.25"
encode DJ_XHX xhx

# 打耳光: a sharp slap ringing in a small room.
hit deg.hit 1500 260
fx deg.hit deg pad 0 0.35 reverb 30 50 40
encode DJ_DEG deg

# 么么哒: two kisses, then the line, sweet and high.
gen qz.k synth 0.05 sine 500-2200 fade q 0.005 0.05 0.04 highpass 300
at qz.k 0.18 qz.k2
mix qz.kisses qz.k qz.k2
say qz.s "么么哒" -p 95 -s 170
fx qz.s qz.sp pad 0.45
mix qz.mix qz.kisses:0.7 qz.sp
encode DJ_QZ qz.mix

# 乌鸦: three hoarse caws outdoors.
gen wy.caw synth 0.3 sawtooth 560-420 synth 0.3 sine amod 35 overdrive 14 highpass 600 \
  bandpass 1500 0.8q fade q 0.02 0.3 0.12
at wy.caw 0.45 wy.c2
at wy.caw 0.9 wy.c3
mix wy.raw wy.caw wy.c2 wy.c3
fx wy.raw wy pad 0 0.35 reverb 50 60 100
encode DJ_WY wy

# 点关注: a ding, the line, a brighter ding.
ding dgz.d1 880
ding dgz.d2 1319
say dgz.s "点关注" -p 60 -s 150
fx dgz.s dgz.sp pad 0.3
at dgz.d2 1.15 dgz.e2
mix dgz.mix dgz.d1:0.6 dgz.sp dgz.e2:0.6
encode DJ_DGZ dgz.mix

# 欢迎大哥: the greeting over applause.
applause hydg.ap 2.4
say hydg.s "欢迎大哥" -p 55 -s 150
fx hydg.s hydg.sp pad 0.25
mix hydg.mix hydg.ap:0.5 hydg.sp
encode DJ_HYDG hydg.mix

# 来了老弟: a whoosh, then the line with a slap-back echo.
gen llld.wh synth 0.4 pinknoise bandpass 1200 2q fade q 0.3 0.4 0.1
say llld.s "来了老弟" -p 45 -s 155
fx llld.s llld.se echo 0.8 0.7 120 0.3 pad 0.3
mix llld.mix llld.wh:0.5 llld.se
encode DJ_LLLD llld.mix

# 666: three beats, the last one higher.
say lh.s1 "六" -p 50 -s 200
say lh.s3 "六" -p 80 -s 200
gen lh.kick synth 0.16 sine 150-45 fade l 0 0.16 0.15
mix lh.b1 lh.s1 lh.kick:0.8
mix lh.b3 lh.s3 lh.kick:0.8
at lh.b1 0.32 lh.b2
at lh.b3 0.64 lh.b3p
mix lh.mix lh.b1 lh.b2 lh.b3p
fx lh.mix lh pad 0 0.3
encode DJ_LH lh

# 贼拉拉: the line with a sparkle after it.
say zll.s "贼拉拉" -p 65 -s 160
ding zll.d1 1568
ding zll.d2 2093
at zll.d1 0.9 zll.e1
at zll.d2 1.0 zll.e2
mix zll.mix zll.s zll.e1:0.4 zll.e2:0.4
encode DJ_ZLL zll.mix

# 打他: the shout, then two punches.
say dt.s "打他" -p 40 -s 170
hit dt.p 400 120
at dt.p 0.75 dt.p1
at dt.p 1.0 dt.p2
mix dt.mix dt.s dt.p1 dt.p2
fx dt.mix dt reverb 20 50 30
encode DJ_DT dt

# 胜利: a fanfare ending on a major chord.
brass sl.n1 392 0.13
brass sl.n2 523 0.13
brass sl.n3 659 0.13
brass sl.n4 784 0.3
brass sl.n5 659 0.13
brass sl.c1 784 1.0
brass sl.c2 523 1.0
brass sl.c3 330 1.0
mix sl.chord sl.c1 sl.c2 sl.c3
seq_ sl.seq sl.n1 sl.n2 sl.n3 sl.n4 sl.n5 sl.chord
fx sl.seq sl reverb 50 50 90
encode DJ_SL sl

# 打的不错: the praise, with a little applause.
applause ddbc.ap 2.2
say ddbc.s "打的不错" -p 55 -s 150
fx ddbc.ap ddbc.apl vol 0.5
mix ddbc.mix ddbc.s ddbc.apl:0.6
encode DJ_DDBC ddbc.mix

# 救命: a high, frantic call, twice, echoing.
say jm.s1 "救命" -p 85 -s 200
say jm.s2 "救命啊" -p 99 -s 210
at jm.s2 0.65 jm.s2p
mix jm.raw jm.s1 jm.s2p
fx jm.raw jm echo 0.8 0.6 180 0.35
encode DJ_JM jm

for clip in "$out"/DJ_*.mp3; do
  printf "%6d %s\n" "$(stat -c %s "$clip")" "${clip##*/}"
done
