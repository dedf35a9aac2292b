#!/usr/bin/env bash
# The soak run of `make fuzz`: long and large inputs through the real programs,
# each part with its wall time and peak memory; exits non-zero on any mismatch.
#
#   soak.sh <reelo-cli> <edit_soak> [work folder]
#
# 1. Hours of 44.1 kHz recording decoded by reelo-cli: tapes of 65535-byte
#    random blocks exported to 16-bit WAV and decoded back (preparation on);
#    the TAP must come back byte for byte, and the decode's peak memory must
#    not grow with the length (a ~1-hour and a ~10-hour recording; first a
#    recording of one block alone).
# 2. edit_soak: random edits of a 1000-block tape of mixed kinds through the
#    document, with undo and redo, each step checked against a plain model.
# 3. A 1000-block tape exported with ROM timings and decoded back.
# 4. reelo-cli play of a tape into the null sink of a private sound server:
#    it must run to the end in real time.
#
# Variables: SOAK_SHORT_BLOCKS (10) and SOAK_LONG_BLOCKS (100) blocks of the two
# recordings, SOAK_EDITS (10000), SOAK_SEED (1), SOAK_PLAYBACK_MINUTES (30; 0
# skips the playback), SOAK_PARTS (1234: the parts to run).
# The work folder (a new temporary one by default) keeps the logs; the big
# WAV files are removed as soon as they are checked.
set -uo pipefail

cli=$(realpath "$1")
edit_soak=$(realpath "$2")
work=${3:-$(mktemp -d /tmp/reelo-soak.XXXXXX)}
mkdir -p "$work"
work=$(realpath "$work")
short_blocks=${SOAK_SHORT_BLOCKS:-10}
long_blocks=${SOAK_LONG_BLOCKS:-100}
edits=${SOAK_EDITS:-10000}
seed=${SOAK_SEED:-1}
play_minutes=${SOAK_PLAYBACK_MINUTES:-30}
parts=${SOAK_PARTS:-1234}
failures=0

if [ ! -x /usr/bin/time ]; then
  echo "soak: /usr/bin/time is missing (package time)" >&2
  exit 2
fi
echo "soak: work folder $work"

fail() {
  echo "soak: FAILED: $*"
  failures=$((failures + 1))
}

# measure NAME COMMAND...: runs the command, keeps its output in NAME.log and
# its wall time and peak resident memory in NAME.time; prints them.
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1
  local status=$?
  read -r secs kb <"$work/$name.time" 2>/dev/null || { secs=?; kb=0; }
  # time writes "Command exited with non-zero status N" first on a failure.
  if [ "$status" -ne 0 ]; then read -r secs kb < <(tail -n 1 "$work/$name.time"); fi
  printf '  %-28s %9s s  peak %7d MB  exit %d\n' "$name" "$secs" $((kb / 1024)) "$status"
  eval "${name//-/_}_secs=\$secs; ${name//-/_}_kb=\$kb"
  return "$status"
}

# make_tape OUT BLOCKS KIND: a seeded TAP. KIND big: 65535-byte records of
# random data; small: a mix of headers and short data blocks; minute: records of
# 10000 random bytes, about a minute of signal each. Checksums are right.
make_tape() {
  python3 - "$1" "$2" "$3" "$seed" <<'EOF'
import random, struct, sys
out, count, kind, seed = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
rng = random.Random(seed * 1000 + count)
def record(body):
    s = 0
    for b in body:
        s ^= b
    body = body + bytes([s])
    return struct.pack('<H', len(body)) + body
with open(out, 'wb') as f:
    for i in range(count):
        if kind == 'big':
            f.write(record(b'\xff' + rng.randbytes(65533)))
        elif kind == 'minute':
            f.write(record(b'\xff' + rng.randbytes(9998)))
        elif rng.random() < 0.3:
            name = bytes(rng.randrange(0x20, 0x7f) for _ in range(10))
            f.write(record(bytes([0, rng.randrange(4)]) + name + rng.randbytes(6)))
        else:
            flag = 0xff if rng.random() < 0.9 else rng.randrange(256)
            f.write(record(bytes([flag]) + rng.randbytes(rng.randrange(1, 257))))
EOF
}

# The length of a WAV file in seconds.
wav_seconds() {
  python3 -c 'import sys, wave; w = wave.open(sys.argv[1]); print("%.1f" % (w.getnframes() / w.getframerate()))' "$1"
}

# round_trip NAME BLOCKS KIND CONVERT-OPTIONS...: export, decode, compare.
round_trip() {
  local name=$1 blocks=$2 kind=$3
  shift 3
  local tap="$work/$name.tap" wav="$work/$name.wav" back="$work/$name.back.tap"
  make_tape "$tap" "$blocks" "$kind"
  measure "$name-export" "$cli" convert "$tap" "$wav" "$@" || { fail "$name: the export failed (see $work/$name-export.log)"; return; }
  local secs
  secs=$(wav_seconds "$wav")
  echo "  $name: $blocks blocks, $(stat -c %s "$tap") bytes of TAP, $(awk -v s="$secs" 'BEGIN { printf "%.2f h (%s s)", s / 3600, s }') of signal, WAV $(( $(stat -c %s "$wav") / 1048576 )) MB"
  measure "$name-decode" "$cli" decode "$wav" "$back" || fail "$name: the decode failed (see $work/$name-decode.log)"
  rm -f "$wav"
  if cmp -s "$tap" "$back"; then
    echo "  $name: the decoded TAP equals the original byte for byte"
  else
    fail "$name: the decoded TAP differs from the original ($(cmp "$tap" "$back" 2>&1 | head -n 1))"
  fi
}

if [[ $parts == *1* ]]; then
  echo "== 1. Long 44.1 kHz recordings decoded through reelo-cli"
  # One long block alone: its few pilot pulses against the bits' full counters.
  round_trip one 1 big --rate 44100 --bits 16
  round_trip short "$short_blocks" big --rate 44100 --bits 16
  round_trip long "$long_blocks" big --rate 44100 --bits 16
  # Peak memory must not follow the length: allow half again plus 32 MB.
  if [ "${long_decode_kb:-0}" -gt $(( ${short_decode_kb:-0} * 3 / 2 + 32768 )) ]; then
    fail "the decode's peak memory grows with the length: ${short_decode_kb:-0} kB for $short_blocks blocks, ${long_decode_kb:-0} kB for $long_blocks"
  else
    echo "  decode peak memory: $(( ${short_decode_kb:-0} / 1024 )) MB for $short_blocks blocks, $(( ${long_decode_kb:-0} / 1024 )) MB for $long_blocks blocks"
  fi
fi

if [[ $parts == *2* ]]; then
  echo "== 2. Random edits with undo and redo on a 1000-block tape of mixed kinds"
  measure edits "$edit_soak" "$edits" "$seed" || fail "edit_soak (see $work/edits.log)"
  sed 's/^/  /' "$work/edits.log"
fi

if [[ $parts == *3* ]]; then
  echo "== 3. A 1000-block tape with ROM timings, exported and decoded"
  round_trip rom 1000 small --rate 44100 --bits 16 --rom-timings
fi

if [[ $parts == *4* && $play_minutes -gt 0 ]]; then
  echo "== 4. Playback of a $play_minutes-minute tape into a null sink"
  if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    fail "pulseaudio and pactl are needed (packages pulseaudio, pulseaudio-utils)"
  else
    pulse="$work/pulse"
    mkdir -p "$pulse/run"
    chmod 700 "$pulse/run"
    pa_env=(env -u PULSE_SERVER -u PULSE_SINK XDG_RUNTIME_DIR="$pulse/run" HOME="$pulse")
    # As root the server warns that it is not meant to run as root, and runs.
    "${pa_env[@]}" pulseaudio -n --daemonize=yes --exit-idle-time=-1 --use-pid-file=yes \
      --log-target=file:"$pulse/pulse.log" --load='module-null-sink sink_name=reelo_soak' \
      --load=module-native-protocol-unix >"$pulse/start.log" 2>&1
    for _ in $(seq 50); do "${pa_env[@]}" pactl info >/dev/null 2>&1 && break; sleep 0.1; done
    if ! "${pa_env[@]}" pactl set-default-sink reelo_soak >"$pulse/sink.log" 2>&1; then
      fail "the sound server did not start (see $pulse/start.log)"
    else
      tap="$work/play.tap"
      make_tape "$tap" "$play_minutes" minute
      "$cli" convert "$tap" "$work/play.wav" >/dev/null 2>&1
      length=$(wav_seconds "$work/play.wav")
      rm -f "$work/play.wav"
      echo "  play: $play_minutes blocks, $length s of signal"
      measure play "${pa_env[@]}" "$cli" play "$tap" </dev/null || fail "reelo-cli play failed (see $work/play.log)"
      # Real time: not faster than the signal (it was really played), and no
      # more than 2% + 5 s slower (no stalls on the way).
      if awk -v w="$play_secs" -v l="$length" 'BEGIN { exit !(w >= l - 1 && w <= l * 1.02 + 5) }'; then
        echo "  play: ran to the end in real time ($play_secs s for $length s of signal)"
      else
        fail "play took $play_secs s for $length s of signal"
      fi
    fi
    "${pa_env[@]}" pulseaudio --kill >/dev/null 2>&1
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "soak: $failures failed (logs in $work)"
  exit 1
fi
echo "soak: all passed (logs in $work)"
