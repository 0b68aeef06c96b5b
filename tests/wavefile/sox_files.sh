#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# WAV files made by other tools through `zorvane-cli analyze`:
#   - sox files at 8 and 16 bits, mono and stereo (16-bit), 8000 to 48000 Hz
#     and 16000 Hz: the peak lies within a quarter of a bin of the tone, on
#     the channel asked for;
#   - the same files rewritten by ffmpeg (which puts a LIST chunk before the
#     data) give the same peak;
#   - the CSV of a two-tone file (1 kHz at -6 dBFS, 5 kHz at -26 dBFS) shows
#     the two peaks 20 dB apart (within 0.5 dB);
#   - a 10 ms burst of 5 kHz at 1 s in 3 s of silence: analyze --all with
#     peak hold holds it at every size and overlap, 40 dB above where only
#     its edges splatter, and its blocks cover every sample;
#   - a file the analyzer cannot read is refused with its message and status 1.
# Exits 77 (skipped) without sox or ffmpeg.
set -uo pipefail
cli=${1:?usage: sox_files.sh ZORVANE_CLI}
for tool in sox ffmpeg awk; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# peak FILE [ARGS...]: the peak frequency zorvane-cli reads.
peak() {
  "$cli" analyze "$@" 2> "$work/err" | sed -n 's/^Peak Frequency = //p'
}

# check NAME FILE RATE TONE [ARGS...]: the peak within a quarter bin of TONE.
check() {
  local name=$1 file=$2 rate=$3 tone=$4
  shift 4
  local got
  got=$(peak "$file" "$@")
  if awk -v g="$got" -v t="$tone" -v r="$rate" 'BEGIN { d = g - t; if (d < 0) d = -d;
        exit !(g != "" && d <= r / 1024 / 4) }'; then
    echo "ok   $name: $got Hz for $tone Hz"
  else
    fail "$name: peak '${got}' Hz for $tone Hz (a quarter bin is $(awk -v r="$rate" 'BEGIN{print r/4096}') Hz)"
    sed 's/^/  /' "$work/err"
  fi
  echo "$got"  > "$work/last"
}

for rate in 8000 11025 16000 22050 44100 48000; do
  # Tones between the bins: 0.123 and 0.171 of the rate.
  left=$(awk -v r="$rate" 'BEGIN { printf "%.2f", r * 0.123 }')
  right=$(awk -v r="$rate" 'BEGIN { printf "%.2f", r * 0.171 }')
  for bits in 8 16; do
    mono="$work/m${rate}_${bits}.wav"
    sox -n -r "$rate" -b "$bits" -c 1 "$mono" synth 1.5 sine "$left" gain -3
    check "sox mono $bits-bit $rate Hz" "$mono" "$rate" "$left"
    sox_peak=$(cat "$work/last")
    codec=pcm_s16le; [ "$bits" = 8 ] && codec=pcm_u8
    ffmpeg -loglevel error -y -i "$mono" -c:a "$codec" "$work/f.wav"
    got=$(peak "$work/f.wav")
    [ "$got" = "$sox_peak" ] || fail "ffmpeg mono $bits-bit $rate Hz: $got Hz, sox's file $sox_peak Hz"
  done
  stereo="$work/s${rate}.wav"
  sox -n -r "$rate" -b 16 -c 2 "$stereo" synth 1.5 sine "$left" sine "$right" gain -3
  check "sox stereo $rate Hz left" "$stereo" "$rate" "$left" --channel left
  check "sox stereo $rate Hz right" "$stereo" "$rate" "$right" --channel right
  ffmpeg -loglevel error -y -i "$stereo" -c:a pcm_s16le "$work/f.wav"
  for side in left right; do
    want=$(peak "$stereo" --channel $side)
    got=$(peak "$work/f.wav" --channel $side)
    [ "$got" = "$want" ] || fail "ffmpeg stereo $rate Hz $side: $got Hz, sox's file $want Hz"
  done
done

# Two tones 20 dB apart, read off the CSV.
sox -n -r 44100 -b 16 -c 1 "$work/a.wav" synth 2 sine 1000 gain -6
sox -n -r 44100 -b 16 -c 1 "$work/b.wav" synth 2 sine 5000 gain -26
sox -m -v 1 "$work/a.wav" -v 1 "$work/b.wav" "$work/two.wav"
if "$cli" analyze "$work/two.wav" --blocks 4 --csv "$work/two.csv" > /dev/null; then
  apart=$(awk -F, 'NR > 1 && $1 > 800 && $1 < 1200 && (a == "" || $2 > a) { a = $2 }
                   NR > 1 && $1 > 4800 && $1 < 5200 && (b == "" || $2 > b) { b = $2 }
                   END { printf "%.2f", a - b }' "$work/two.csv")
  if awk -v d="$apart" 'BEGIN { exit !(d >= 19.5 && d <= 20.5) }'; then
    echo "ok   two tones 20 dB apart read $apart dB apart in the CSV"
  else
    fail "two tones 20 dB apart read $apart dB apart in the CSV"
  fi
else
  fail "analyze of the two-tone file failed"
fi

# A short burst: found wherever it falls, every sample counted once.
sox -r 44100 -n -b 16 -c 1 "$work/burst.wav" synth 0.01 sine 5000 gain -6 pad 1 1.99
for size in 1024 2048 4096 8192; do
  for overlap in 0 50 75; do
    printed=$("$cli" analyze "$work/burst.wav" --all --size $size --overlap $overlap --hold peak \
      --csv "$work/burst.csv")
    apart=$(awk -F, 'NR > 1 && $1 > 4900 && $1 < 5100 && (b == "" || $2 > b) { b = $2 }
                     NR > 1 && $1 > 14900 && $1 < 15100 && (e == "" || $2 > e) { e = $2 }
                     END { printf "%.1f", b - e }' "$work/burst.csv")
    hop=$((size * (100 - overlap) / 100))
    blocks=$(( (132300 - size + hop - 1) / hop + 1 ))
    if echo "$printed" | grep -qx "Blocks analysed = $blocks" &&
      echo "$printed" | grep -qx "Samples analysed = 132300 of 132300" &&
      awk -v d="$apart" 'BEGIN { exit !(d > 40) }'; then
      echo "ok   burst at $size points, $overlap % overlap: $apart dB over the splatter, $blocks blocks"
    else
      fail "burst at $size points, $overlap % overlap: $apart dB over the splatter; $printed"
    fi
  done
done

# A format the analyzer cannot read.
sox -n -r 44100 -b 24 -c 1 "$work/c.wav" synth 0.5 sine 1000
"$cli" analyze "$work/c.wav" > /dev/null 2> "$work/err"
rc=$?
if [ $rc -eq 1 ] && grep -q "Unsupported WAV format: 24-bit samples" "$work/err"; then
  echo "ok   a 24-bit file is refused: $(cat "$work/err")"
else
  fail "a 24-bit file: status $rc, $(cat "$work/err")"
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all files read as expected"
