#!/usr/bin/env bash
# Makes the MP3 clips the upload tests and the benchmark decode, fixtures/*.mp3, with sox and
# lame. The files are committed, so only whoever changes one needs the tools; a rerun gives
# the same files.
#   stereo30.mp3   30 s, 44.1 kHz stereo: a rising sweep left, a falling one right
#   short04.mp3    0.4 s, 44.1 kHz stereo tone burst
#   mono22k.mp3    3 s, 22.05 kHz mono, two alternating tones
#   nothing.mp3    text, no MPEG frame in it: decodes to nothing
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/fixtures"
for tool in sox lame; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make-fixtures: needs $tool (apt-get install sox lame)" >&2; exit 1; }
done
mkdir -p "$out"
tmp="$(mktemp -d /tmp/lw52-upload-fixtures-XXXXXX)"
trap 'rm -rf "$tmp"' EXIT

sox -R -V1 -n -r 44100 -c 1 -b 16 "$tmp/l.wav" synth 30 sine 200-3000 vol 0.6
sox -R -V1 -n -r 44100 -c 1 -b 16 "$tmp/r.wav" synth 30 sine 2500-300 tremolo 3 60 vol 0.5
sox -R -V1 -M "$tmp/l.wav" "$tmp/r.wav" "$tmp/stereo30.wav"
lame --quiet --noreplaygain -b 96 --resample 44.1 -m s "$tmp/stereo30.wav" "$out/stereo30.mp3"

sox -R -V1 -n -r 44100 -c 2 -b 16 "$tmp/short.wav" synth 0.4 sine 660 fade 0.02 0.4 0.05 vol 0.7
lame --quiet --noreplaygain -b 128 -m s "$tmp/short.wav" "$out/short04.mp3"

sox -R -V1 -n -r 22050 -c 1 -b 16 "$tmp/a.wav" synth 0.5 sine 440 vol 0.6
sox -R -V1 -n -r 22050 -c 1 -b 16 "$tmp/b.wav" synth 0.5 sine 880 vol 0.6
sox -R -V1 "$tmp/a.wav" "$tmp/b.wav" "$tmp/a.wav" "$tmp/b.wav" "$tmp/a.wav" "$tmp/b.wav" "$tmp/mono.wav"
lame --quiet --noreplaygain -b 48 --resample 22.05 -m m "$tmp/mono.wav" "$out/mono22k.mp3"

printf 'This file is named like a clip but holds no audio at all.\n' > "$out/nothing.mp3"
ls -l "$out"
