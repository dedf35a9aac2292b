#!/usr/bin/python3
"""Builds a repeatable set of degraded tape recordings for measuring the import.

Two small tapes (BASIC from zmakebas, code blocks from pasmo with seeded random
bytes) are rendered by fuse-utils' tape2wav at 44100 Hz (ROM timings), passed
through one simulated cassette effect each, and written in five formats:

  u8_22050        8-bit unsigned mono, 22050 Hz
  s16_44100       16-bit mono, 44100 Hz
  s16_48000_st    16-bit stereo, 48000 Hz, one channel (chosen by the seed) worse
  s24_96000       24-bit mono, 96000 Hz (made from float by sox -R)
  f32_44100       32-bit float mono, 44100 Hz

Each effect belongs to a group: "ordinary" (one effect, noise to 10 dB SNR,
speed to +-5%), "hard" (combinations of them), "harsh" (noise to 6 dB SNR,
a 3 kHz head, azimuth error, +-8% speed, 3% wow, hum at -6 dB, -36 dBFS, a
dead or an antiphase channel, MP3 at 64 and 128 kbit/s and Ogg Vorbis through
lame and oggenc, FLAC, 8000 and 11025 Hz) and "intro" (a spoken title before the
tape, and speech alone, which holds no record). --groups lossy selects the
MP3, Ogg and FLAC recordings of the harsh group alone (their manifest still
says "harsh"). With --takes N a longer tape
of ten records (--take-records M: M records) is also recorded N times through one hard chain, as the same
cassette re-recorded: its dropouts in the same places, each take with its own
speed, level, wow, noise and dropouts (group "takes", files take_<i>__...).

Output folder: the recordings, the tapes they hold and manifest.tsv (file,
effect, format, tape, group). Everything follows from --seed, so the same seed
gives the same files.

Usage: scripts/make_degraded_recordings.py OUTDIR [--seed N] [--effects a,b]
       [--groups ordinary,hard,harsh,intro,lossy] [--formats u8_22050,s16_44100]
       [--takes N] [--take-records M]
Needs python3-numpy, python3-scipy, zmakebas, pasmo, tape2wav, sox, lame,
vorbis-tools, espeak-ng.
"""
import argparse
import os
import subprocess
import sys

import numpy as np
from scipy import signal
from scipy.io import wavfile

BASE_RATE = 44100
BASE_PEAK = 0.5  # -6 dBFS

BASIC_PROGRAM = """10 REM degraded recording test
20 BORDER 1: PAPER 7: INK 0: CLS
30 FOR i=1 TO 20
40 PRINT AT i,i;"REELO";i
50 NEXT i
60 LET a$="The quick brown fox"
70 PRINT a$( TO 9)
80 DATA 1,2,3,4,5,6,7,8,9,10
90 GO TO 30
"""


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def make_code_tap(path, name, data, workdir):
    asm = os.path.join(workdir, name + ".asm")
    with open(asm, "w") as f:
        f.write("org 32768\nstart:\n")
        for i in range(0, len(data), 16):
            f.write(" defb " + ",".join(str(b) for b in data[i:i + 16]) + "\n")
        f.write(" end start\n")
    run(["pasmo", "--tap", "--name", name, asm, path])


LONG_TAPE_SIZES = (200, 2000, 700, 1200, 400)


def make_long_tape(outdir, rng, records=10):
    """records records (an even number): code blocks of 200 to 2000 bytes with
    their headers, the sizes taken in turn from LONG_TAPE_SIZES."""
    work = os.path.join(outdir, "work")
    os.makedirs(work, exist_ok=True)
    path = os.path.join(outdir, "tape_long.tap")
    with open(path, "wb") as out:
        for i in range(records // 2):
            size = LONG_TAPE_SIZES[i % len(LONG_TAPE_SIZES)]
            part = os.path.join(work, "long_%d.tap" % i)
            make_code_tap(part, "long%d" % i, rng.integers(0, 256, size), work)
            with open(part, "rb") as f:
                out.write(f.read())
    return path


def make_tapes(outdir, rng):
    """Two tapes of four records each; returns their paths."""
    work = os.path.join(outdir, "work")
    os.makedirs(work, exist_ok=True)
    bas = os.path.join(work, "prog.bas")
    with open(bas, "w") as f:
        f.write(BASIC_PROGRAM)
    basic_tap = os.path.join(work, "basic.tap")
    run(["zmakebas", "-n", "reelo", "-a", "10", "-o", basic_tap, bas])
    code_a = os.path.join(work, "code_a.tap")
    code_b = os.path.join(work, "code_b.tap")
    make_code_tap(code_a, "codea", rng.integers(0, 256, 600), work)
    make_code_tap(code_b, "codeb", rng.integers(0, 256, 900), work)
    tapes = {}
    for name, parts in (("tape1", [basic_tap, code_a]), ("tape2", [code_b, basic_tap])):
        path = os.path.join(outdir, name + ".tap")
        with open(path, "wb") as out:
            for part in parts:
                with open(part, "rb") as f:
                    out.write(f.read())
        tapes[name] = path
    return tapes


def render(tap, rate, workdir):
    """The tape's sound from tape2wav at the given rate, as floats in -1..1."""
    wav = os.path.join(workdir, "render_%d.wav" % rate)
    run(["tape2wav", "-r", str(int(round(rate))), tap, wav])
    _, data = wavfile.read(wav)
    return (data.astype(np.float64) - 127.5) / 127.5


def lowpass(x, hz, order=2, rate=BASE_RATE):
    b, a = signal.butter(order, hz / (rate / 2))
    return signal.lfilter(b, a, x)


def highpass(x, hz, order=1, rate=BASE_RATE):
    b, a = signal.butter(order, hz / (rate / 2), "high")
    return signal.lfilter(b, a, x)


def rms(x):
    return float(np.sqrt(np.mean(x * x)))


def white(n, rng):
    return rng.standard_normal(n)


def pink(n, rng):
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.arange(len(spectrum), dtype=np.float64)
    f[0] = 1.0
    noise = np.fft.irfft(spectrum / np.sqrt(f), n)
    return noise / rms(noise)


def add_noise(x, snr_db, rng, kind="white"):
    noise = white(len(x), rng) if kind == "white" else pink(len(x), rng)
    return x + noise * (rms(x) / 10 ** (snr_db / 20))


def warp(x, speed):
    """Plays x with a time-varying speed (an array, 1 = nominal)."""
    position = np.cumsum(speed)
    position = position[position < len(x) - 1]
    return np.interp(position, np.arange(len(x)), x)


def cassette(x, rng, lp=8000, hp=30, snr=45):
    """The chain every degraded recording goes through: head and amplifier."""
    return add_noise(highpass(lowpass(x, lp), hp), snr, rng)


def wow(n, rng, wow_depth=0.006, flutter_depth=0.002):
    t = np.arange(n) / BASE_RATE
    return (1 + wow_depth * np.sin(2 * np.pi * 0.6 * t + rng.uniform(0, 6))
            + flutter_depth * np.sin(2 * np.pi * 9.0 * t + rng.uniform(0, 6)))


def dropouts(x, rng, count=8, deepest=16):
    gain = np.ones(len(x))
    for _ in range(count):
        length = int(rng.uniform(0.005, 0.03) * BASE_RATE)
        start = int(rng.uniform(0, len(x) - length))
        depth = 10 ** (-rng.uniform(6, deepest) / 20)
        shape = 1 - (1 - depth) * np.sin(np.linspace(0, np.pi, length))
        gain[start:start + length] *= shape
    return x * gain


# Each effect: (name, function(tape, rng, workdir) -> float signal at BASE_RATE).
def effect_table():
    def plain(tap, rng, work):
        return render(tap, BASE_RATE, work) * BASE_PEAK

    def chain(extra):
        def build(tap, rng, work):
            return extra(cassette(plain(tap, rng, work), rng), rng)
        return build

    def speed(factor):
        def build(tap, rng, work):
            # Rendered at a lower rate and played at the base rate = faster.
            x = render(tap, BASE_RATE / factor, work) * BASE_PEAK
            return cassette(x, rng)
        return build

    def hum(x, rng):
        t = np.arange(len(x)) / BASE_RATE
        return x + 0.3 * BASE_PEAK * np.sin(2 * np.pi * 50 * t) + 0.1 * BASE_PEAK * np.sin(2 * np.pi * 150 * t)

    def deep_dropouts(x, rng):
        return dropouts(x, rng, count=12, deepest=30)

    def worn(tap, rng, work):
        x = render(tap, BASE_RATE / 0.97, work) * BASE_PEAK
        x = warp(lowpass(x, 4000, order=4), wow(len(x), rng, 0.008, 0.003))
        x = highpass(x, 100, order=2)
        t = np.arange(len(x)) / BASE_RATE
        x = x + 0.1 * BASE_PEAK * np.sin(2 * np.pi * 50 * t)
        return add_noise(x, 18, rng, "pink")

    def combo(tap, rng, work):
        x = render(tap, BASE_RATE / 0.98, work) * BASE_PEAK
        x = warp(lowpass(x, 6000), wow(len(x), rng, 0.004, 0.0015))
        x = highpass(x, 60, order=2)
        t = np.arange(len(x)) / BASE_RATE
        x = x + 0.05 * BASE_PEAK * np.sin(2 * np.pi * 50 * t) + 0.03
        return add_noise(x, 25, rng)

    def speech(work):
        wav = os.path.join(work, "speech.wav")
        run(["espeak-ng", "-s", "150", "-w", wav,
             "Side one. Reelo test tape number three. Press play on tape, then any key. Loading now."])
        rate, data = wavfile.read(wav)
        x = data.astype(np.float64) / 32768.0
        x = resample_from(x, rate)
        return 0.9 * BASE_PEAK * x / max(1e-9, float(np.max(np.abs(x))))

    def intro(tap, rng, work):
        words = speech(work)
        gap = np.zeros(int(0.4 * BASE_RATE))
        return cassette(np.concatenate([words, gap, plain(tap, rng, work)]), rng)

    def speech_only(tap, rng, work):
        words = speech(work)
        music = 0.3 * BASE_PEAK * np.sin(2 * np.pi * 440 * np.arange(len(words)) / BASE_RATE) * \
            (np.arange(len(words)) % (BASE_RATE // 2) < BASE_RATE // 4)
        return cassette(np.concatenate([words, music, words]), rng)

    def azimuth(x, rng):
        # Two tracks of the head a few microseconds apart, summed, and the
        # phase smear of a misaligned head (a first-order all-pass at 1.5 kHz).
        delay = rng.uniform(40e-6, 70e-6) * BASE_RATE
        shifted = np.interp(np.arange(len(x)) - delay, np.arange(len(x)), x)
        c = (np.tan(np.pi * 1500 / BASE_RATE) - 1) / (np.tan(np.pi * 1500 / BASE_RATE) + 1)
        return lowpass(signal.lfilter([c, 1], [1, c], 0.5 * (x + shifted)), 6000)

    def hum_6db(x, rng):
        t = np.arange(len(x)) / BASE_RATE
        return x + 0.5 * BASE_PEAK * np.sin(2 * np.pi * 50 * t + rng.uniform(0, 6)) + \
            0.15 * BASE_PEAK * np.sin(2 * np.pi * 150 * t)

    return [
        ("clean", plain),
        ("lowpass_5k", lambda tap, rng, work: cassette(plain(tap, rng, work), rng, lp=5000)),
        ("highpass_100", lambda tap, rng, work: cassette(plain(tap, rng, work), rng, hp=100)),
        ("speed_plus5", speed(1.05)),
        ("speed_minus5", speed(0.95)),
        ("speed_minus2", speed(0.98)),
        ("wow_flutter", chain(lambda x, rng: warp(x, wow(len(x), rng)))),
        ("white_20db", chain(lambda x, rng: add_noise(x, 20, rng))),
        ("white_15db", chain(lambda x, rng: add_noise(x, 15, rng))),
        ("pink_15db", chain(lambda x, rng: add_noise(x, 15, rng, "pink"))),
        ("hum_50hz", chain(hum)),
        ("dropouts", chain(dropouts)),
        ("dc_offset", chain(lambda x, rng: x + 0.25)),
        ("polarity", chain(lambda x, rng: -x)),
        ("quiet_24db", chain(lambda x, rng: x * 10 ** (-18 / 20))),
        ("clipped_12db", chain(lambda x, rng: np.clip(x * 4.0, -1.0, 1.0))),
        ("cassette_mix", combo),
        ("dc_offset_large", chain(lambda x, rng: x + 0.45)),
        ("white_12db", chain(lambda x, rng: add_noise(x, 12, rng))),
        ("wow_strong", chain(lambda x, rng: warp(x, wow(len(x), rng, 0.015, 0.005)))),
        ("dropouts_deep", chain(lambda x, rng: deep_dropouts(x, rng))),
        ("speed_plus5_noise", lambda tap, rng, work: add_noise(speed(1.05)(tap, rng, work), 20, rng)),
        ("clipped_dc", chain(lambda x, rng: np.clip((x + 0.3) * 4.0, -1.0, 1.0))),
        ("worn_tape", worn),
        ("white_10db", chain(lambda x, rng: add_noise(x, 10, rng))),
        ("pink_12db", chain(lambda x, rng: add_noise(x, 12, rng, "pink"))),
        ("lowpass_3k", lambda tap, rng, work: cassette(plain(tap, rng, work), rng, lp=3000)),
        ("wow_noise", chain(lambda x, rng: add_noise(warp(x, wow(len(x), rng, 0.01, 0.004)), 15, rng))),
        ("hum_strong", chain(lambda x, rng: hum(x, rng) * 0.5 + hum(np.zeros(len(x)), rng))),
        ("dc_drift", chain(lambda x, rng: x + 0.35 * np.sin(2 * np.pi * 0.4 * np.arange(len(x)) / BASE_RATE))),
        ("quiet_30db_noise", chain(lambda x, rng: add_noise(x * 10 ** (-24 / 20), 20, rng))),
        ("white_6db", chain(lambda x, rng: add_noise(x, 6, rng))),
        ("pink_6db", chain(lambda x, rng: add_noise(x, 6, rng, "pink"))),
        ("white_8db", chain(lambda x, rng: add_noise(x, 8, rng))),
        ("lowpass_3k_noise", lambda tap, rng, work: add_noise(lowpass(plain(tap, rng, work), 3000, order=4), 20, rng)),
        ("azimuth", chain(azimuth)),
        ("speed_plus8", speed(1.08)),
        ("speed_minus8", speed(0.92)),
        ("wow_3pct", chain(lambda x, rng: warp(x, wow(len(x), rng, 0.03, 0.004)))),
        ("hum_6db", chain(hum_6db)),
        ("quiet_36dbfs", chain(lambda x, rng: x * 10 ** (-30 / 20))),
        ("dead_channel", chain(lambda x, rng: x)),
        ("antiphase", chain(lambda x, rng: x)),
        ("mp3_64", chain(lambda x, rng: x)),
        ("mp3_128", chain(lambda x, rng: x)),
        ("ogg_q2", chain(lambda x, rng: x)),
        ("rate_8000", chain(lambda x, rng: add_noise(x, 25, rng))),
        ("rate_11025", chain(lambda x, rng: add_noise(x, 25, rng))),
        ("spoken_intro", intro),
        ("speech_only", speech_only),
        ("flac", chain(lambda x, rng: add_noise(x, 20, rng))),
    ]


ORDINARY = {"clean", "lowpass_5k", "highpass_100", "speed_plus5", "speed_minus5", "speed_minus2", "wow_flutter",
            "white_20db", "white_15db", "pink_15db", "hum_50hz", "dropouts", "dc_offset", "polarity", "quiet_24db",
            "clipped_12db", "dc_offset_large", "white_12db", "wow_strong", "white_10db", "pink_12db", "dc_drift"}
HARD = {"cassette_mix", "dropouts_deep", "speed_plus5_noise", "clipped_dc", "worn_tape", "wow_noise", "hum_strong",
        "quiet_30db_noise"}
INTRO = {"spoken_intro", "speech_only"}
# The harsh effects that go through a lossy (or lossless) coder: --groups lossy.
LOSSY = {"mp3_64", "mp3_128", "ogg_q2", "flac"}
# Harsh effects written in one form of their own instead of the five formats.
SPECIAL_FORMAT = {"dead_channel": "s16_44100_dead", "antiphase": "s16_44100_anti", "mp3_64": "mp3_64",
                  "mp3_128": "mp3_128", "ogg_q2": "ogg_q2", "flac": "flac", "rate_8000": "s16_8000",
                  "rate_11025": "s16_11025"}


def group_of(effect):
    if effect in ORDINARY:
        return "ordinary"
    if effect in HARD:
        return "hard"
    if effect in INTRO:
        return "intro"
    return "harsh"


def resample_from(x, rate):
    """x at rate, brought to BASE_RATE."""
    if rate == BASE_RATE:
        return x
    g = np.gcd(int(rate), BASE_RATE)
    return signal.resample_poly(x, BASE_RATE // g, int(rate) // g)


def resample(x, rate):
    if rate == BASE_RATE:
        return x
    g = np.gcd(int(rate), BASE_RATE)
    return signal.resample_poly(x, int(rate) // g, BASE_RATE // g)


def write_wav(path, x, rate, kind, workdir):
    x = np.clip(x, -1.0, 1.0)
    if kind == "u8":
        wavfile.write(path, rate, np.round(x * 127.5 + 127.5).astype(np.uint8))
    elif kind == "s16":
        wavfile.write(path, rate, np.round(x * 32767).astype(np.int16))
    elif kind == "f32":
        wavfile.write(path, rate, x.astype(np.float32))
    elif kind == "s24":
        tmp = os.path.join(workdir, "float.wav")
        wavfile.write(tmp, rate, x.astype(np.float32))
        run(["sox", "-R", tmp, "-b", "24", "-e", "signed-integer", path])


def write_lossy(path, x, kind, workdir):
    """An MP3 or Ogg file of x at BASE_RATE, and the WAV it decodes back to
    (written at path): the lossy file is kept beside it."""
    tmp = os.path.join(workdir, "lossy_in.wav")
    wavfile.write(tmp, BASE_RATE, np.round(np.clip(x, -1, 1) * 32767).astype(np.int16))
    if kind.startswith("mp3"):
        lossy = path[:-4] + ".mp3"
        run(["lame", "--quiet", "-b", kind.split("_")[1], "-m", "m", tmp, lossy])
        run(["lame", "--quiet", "--decode", lossy, path])
    else:
        lossy = path[:-4] + ".ogg"
        run(["oggenc", "--quiet", "-q", kind.split("_q")[1], "-o", lossy, tmp])
        run(["oggdec", "--quiet", "-o", path, lossy])


def write_special(path, x, fmt, erng, workdir):
    if fmt in ("mp3_64", "mp3_128", "ogg_q2"):
        write_lossy(path, x, fmt, workdir)
    elif fmt == "flac":
        write_wav(path, x, BASE_RATE, "s16", workdir)
        run(["sox", "-R", path, path[:-4] + ".flac"])
    elif fmt.startswith("s16_44100_"):
        if fmt.endswith("dead"):
            other = add_noise(np.zeros(len(x)), 0, erng) * 1e-4
        else:
            other = -x
        y = np.stack([x, other] if erng.integers(0, 2) else [other, x], axis=1)
        write_wav(path, y, BASE_RATE, "s16", workdir)
    else:
        rate = int(fmt.split("_")[1])
        write_wav(path, resample(x, rate), rate, "s16", workdir)


def dropout_places(n, rng, count):
    """Where a cassette's own dropouts lie (start, length in samples)."""
    places = []
    for _ in range(count):
        length = int(rng.uniform(0.005, 0.03) * BASE_RATE)
        places.append((int(rng.uniform(0, n - length)), length))
    return places


def apply_dropouts(x, places, rng, shallowest, deepest):
    gain = np.ones(len(x))
    for start, length in places:
        if start + length > len(x):
            continue
        depth = 10 ** (-rng.uniform(shallowest, deepest) / 20)
        gain[start:start + length] *= 1 - (1 - depth) * np.sin(np.linspace(0, np.pi, length))
    return x * gain


def make_takes(outdir, count, seed, work, rows, records=10):
    """count takes of the long tape through one hard chain: pink noise near
    9 dB, a 3.5 kHz head, wow and deep dropouts. The takes are re-recordings of
    one cassette: its own dropouts lie at the same places of the tape in every
    take (each take's contact makes them deeper or shallower), and each take
    has its own speed (the deck's motor), level, wow, noise and dropouts of
    its own. One take alone loses about one record in five. The dropouts
    are as many per record on a longer tape as on the ten-record one."""
    tape = make_long_tape(outdir, np.random.default_rng([seed, 999]), records)
    dropout_count = max(1, round(6 * records / 10))
    base = render(tape, BASE_RATE / 0.97, work) * BASE_PEAK
    base = lowpass(base, 3500, order=4)
    shared = dropout_places(len(base), np.random.default_rng([seed, 998]), dropout_count)
    for take in range(count):
        trng = np.random.default_rng([seed, 1000 + take])
        speed = 1 + trng.uniform(-0.015, 0.015)
        x = apply_dropouts(base, shared, trng, 4, 20)
        x = warp(x, speed * wow(len(base), trng, trng.uniform(0.008, 0.014), trng.uniform(0.003, 0.005)))
        x = apply_dropouts(x, dropout_places(len(x), trng, dropout_count), trng, 6, 26)
        x = highpass(x, 80, order=2) * 10 ** (trng.uniform(-4, 2) / 20)
        x = add_noise(x, trng.uniform(8, 10), trng, "pink")
        name = "take_%d__s16_44100.wav" % (take + 1)
        write_wav(os.path.join(outdir, name), x, BASE_RATE, "s16", work)
        rows.append((name, "takes", "s16_44100", "tape_long.tap", "takes"))


FORMATS = [
    ("u8_22050", 22050, "u8", 1),
    ("s16_44100", 44100, "s16", 1),
    ("s16_48000_st", 48000, "s16", 2),
    ("s24_96000", 96000, "s24", 1),
    ("f32_44100", 44100, "f32", 1),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("outdir")
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--effects", default="")
    parser.add_argument("--groups", default="ordinary,hard,harsh,intro")
    parser.add_argument("--formats", default=",".join(f[0] for f in FORMATS))
    parser.add_argument("--takes", type=int, default=0)
    parser.add_argument("--take-records", type=int, default=10,
                        help="records on the tape of the takes (even; 10 keeps the sets made before)")
    args = parser.parse_args()
    groups = set(args.groups.split(","))
    formats = [f for f in FORMATS if f[0] in args.formats.split(",")]
    os.makedirs(args.outdir, exist_ok=True)
    work = os.path.join(args.outdir, "work")
    rng = np.random.default_rng(args.seed)
    tapes = make_tapes(args.outdir, rng)
    wanted = set(filter(None, args.effects.split(",")))
    rows = []
    for index, (effect, build) in enumerate(effect_table()):
        chosen = group_of(effect) in groups or ("lossy" in groups and effect in LOSSY)
        if (wanted and effect not in wanted) or not chosen:
            continue
        tape = "tape1" if index % 2 == 0 else "tape2"
        erng = np.random.default_rng([args.seed, index])
        x = build(tapes[tape], erng, work)
        if effect in SPECIAL_FORMAT:
            fmt = SPECIAL_FORMAT[effect]
            name = "%s__%s.wav" % (effect, fmt)
            write_special(os.path.join(args.outdir, name), x, fmt, erng, work)
            rows.append((name, effect, fmt, tape + ".tap", group_of(effect)))
            print(effect, file=sys.stderr)
            continue
        if effect == "speech_only":
            tape = "none"
        # A second, worse take of the same signal for the stereo files.
        worse = lowpass(add_noise(x, 8, erng), 2500)
        worse_left = bool(erng.integers(0, 2))
        for fmt, rate, kind, channels in formats:
            y = resample(x, rate)
            if channels == 2:
                w = resample(worse, rate)[:len(y)]
                y = np.stack([w, y] if worse_left else [y, w], axis=1)
            name = "%s__%s.wav" % (effect, fmt)
            write_wav(os.path.join(args.outdir, name), y, rate, kind, work)
            rows.append((name, effect, fmt, tape + ".tap", group_of(effect)))
        print(effect, file=sys.stderr)
    if args.takes > 0:
        make_takes(args.outdir, args.takes, args.seed, work, rows, max(2, args.take_records // 2 * 2))
    with open(os.path.join(args.outdir, "none.tap"), "wb"):
        pass
    with open(os.path.join(args.outdir, "manifest.tsv"), "w") as f:
        f.write("file\teffect\tformat\ttape\tgroup\n")
        for row in rows:
            f.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
