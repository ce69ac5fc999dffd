#!/bin/sh
# long_material.sh OUT RATE SECONDS
# A 16-bit stereo WAV made by sox: music-like chords with vibrato, noise
# bursts, silence and speech-like bands of noise, repeated to SECONDS.
set -e
out=$1 rate=$2 seconds=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
f="-r $rate -c 2 -b 16"
sox -n $f "$dir/tones.wav" synth 23 sine 220-330 sine 277-415 sine 660 tremolo 5 30 vol 0.45
sox -n $f "$dir/bursts.wav" synth 9 whitenoise tremolo 1.5 100 vol 0.7
sox -n $f "$dir/silence.wav" trim 0 4
sox -n $f "$dir/speech.wav" synth 17 pinknoise bandpass 900 700h tremolo 4.3 95 vol 0.9
sox "$dir/tones.wav" "$dir/bursts.wav" "$dir/silence.wav" "$dir/speech.wav" "$dir/all.wav"
sox "$dir/all.wav" "$out" repeat $((seconds / 53 + 1)) trim 0 "$seconds"
