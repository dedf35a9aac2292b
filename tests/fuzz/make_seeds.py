#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into tests/fuzz/corpus/<target>/.

The seeds are small on purpose (a few KB each): libFuzzer mutates the whole
input on every execution, so a 100 KB seed would make every run slow. TAPs come
from zmakebas and pasmo when they are installed (as the interop tests use them)
and from blocks built here; recordings are tape signals built here with short
pilots, at the export's levels and at the 0/255 levels and ROM timings of
tape2wav. Run it again after changing an input layout of a target; the seeds
kept from findings are left in place.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
LOW, HIGH, REST = 95, 159, 127


def record(body):
    return struct.pack("<H", len(body)) + bytes(body)


def block(flag, data):
    x = flag
    for b in data:
        x ^= b
    return record(bytes([flag]) + bytes(data) + bytes([x]))


def header(kind, name, length, p1=0, p2=32768):
    return block(0, bytes([kind]) + name.encode().ljust(10)[:10] + struct.pack("<HHH", length, p1, p2))


def basic_line(number, text):
    body = text + b"\r"
    return struct.pack(">H", number) + struct.pack("<H", len(body)) + body


def tool_taps():
    """TAPs made by the tools of the interop tests, when they are here."""
    taps = {}
    with tempfile.TemporaryDirectory() as tmp:
        bas = os.path.join(tmp, "p.bas")
        with open(bas, "w") as f:
            f.write('10 PRINT "HELLO"\n20 FOR I=1 TO 10: BEEP .1,I: NEXT I\n30 GO TO 10\n')
        asm = os.path.join(tmp, "a.asm")
        with open(asm, "w") as f:
            f.write("\torg 32768\nstart:\tld a,2\n\tout (254),a\n\tret\n\tend start\n")
        runs = {"zmakebas": ["zmakebas", "-o", os.path.join(tmp, "zmakebas.tap"), "-n", "hello", bas],
                "pasmo": ["pasmo", "--tapbas", asm, os.path.join(tmp, "pasmo.tap")]}
        for name, command in runs.items():
            if shutil.which(command[0]) is None:
                continue
            subprocess.run(command, check=True, capture_output=True)
            with open(os.path.join(tmp, name + ".tap"), "rb") as f:
                taps[name] = f.read()
    return taps


class Signal:
    def __init__(self, low=LOW, high=HIGH, rest=REST):
        self.low, self.high, self.rest = low, high, rest
        # A WAV header and the five samples the decoder skips.
        self.samples = bytearray(b"RIFF\0\0\0\0WAVEfmt " + bytes(28)) + bytes([rest] * 5)

    def cycle(self, n):
        self.samples += bytes([self.low] * n + [self.high] * n)
        return self

    def byte(self, b, zero=5, one=10):
        for bit in range(7, -1, -1):
            self.cycle(one if (b >> bit) & 1 else zero)
        return self

    def block(self, body, pilot=20, pilot_half=13, sync=5, zero=5, one=10):
        for _ in range(pilot):
            self.cycle(pilot_half)
        self.cycle(sync)
        for b in body:
            self.byte(b, zero, one)
        self.cycle(zero)
        self.samples += bytes([self.rest] * 1100)
        return self


def recordings():
    rnd = random.Random(8)
    header_body = header(3, "screen", 6912)[2:]
    data_body = block(0xFF, bytes(rnd.randrange(256) for _ in range(24)))[2:]
    two = Signal().block(header_body).block(data_body)
    questioned = Signal().cycle(7).block(bytes([0x93, 0x00, 0xFF])).cycle(12)
    rom = Signal(low=0, high=255, rest=0).block(data_body, pilot=30, pilot_half=14, sync=4, zero=6, one=11)
    noisy = Signal().block(data_body)
    for i in range(60, len(noisy.samples), 97):
        noisy.samples[i] = rnd.randrange(256)
    return {
        "two_blocks": bytes(two.samples),
        "questioned_pulses": bytes(questioned.samples),
        "rom_timings": bytes(rom.samples),
        "noisy_block": bytes(noisy.samples),
        "silence": bytes([REST] * 600),
        "alternating": bytes([0, 255] * 300),
    }


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def tap_seeds(taps):
    built = header(0, "prog", 20, 10, 20) + block(0xFF, bytes(range(18))) + header(3, "code", 6, 32768)
    built += block(0xFF, b"\x3e\x02\xd3\xfe\xc9\x00")
    taps = dict(taps, built=built, truncated=built[:-3], odd_byte=built + b"\x07", empty=b"")
    fills = [b"\x10\x55", b"\x12\xff", b"\x04\x00", b"\x15\xaa"]
    for i, (name, tap) in enumerate(sorted(taps.items())):
        write("tap_file_fuzz", name, fills[i % len(fills)] + tap)


def viewer_seeds(taps):
    rnd = random.Random(5)
    program = basic_line(10, b'\xf5"HELLO"') + basic_line(20, b"\xeb I=1 \xcc 10: \xd7 .1,I: \xf3 I")
    screen = bytes(rnd.randrange(256) for _ in range(6912))
    seeds = {"program": block(0xFF, program), "header": header(0, "hello", len(program)),
             "text": block(0xFF, b"Line one\rLine two\x01\x7f\r"), "screen": block(0xFF, screen),
             "damaged": b"\xff\xff\xff\x00\x01", "empty": b""}
    if "zmakebas" in taps:
        seeds["zmakebas_program"] = taps["zmakebas"][21:]
    for name, data in seeds.items():
        write("viewers_fuzz", name, bytes([1 | (len(name) % 8) << 1]) + data)


def recording_seeds():
    plans = {  # decode_fuzz: defaults, Noise/One/Zero/Stop/Closed answers, no stop, project fill 0
        "decode_fuzz": bytes([0]) + bytes(6) + bytes([0, 0, 0]) + bytes([0, 2, 3, 5, 1, 4]),
        # pulse_fuzz: buffer 7, defaults, outside the data part, start 44, 40 pulses, answers
        "pulse_fuzz": bytes([6, 0]) + bytes(6) + bytes([0]) + struct.pack("<h", 44) + bytes([39, 0, 2, 3, 5]),
    }
    for target, steering in plans.items():
        assert len(steering) == 16, target
        for name, rec in recordings().items():
            write(target, name, steering + rec)


def export_seeds():
    rnd = random.Random(3)
    data = bytes(rnd.randrange(256) for _ in range(40))
    seeds = {
        "header_and_data": b"\x00\x01" + bytes([0xC0]) + header(3, "code", 40)[2:] + bytes([len(data)]) + data,
        "long_record": b"\x00\x10" + bytes([0x40]) + struct.pack("<H", 300) + data,
        "damaged": b"\x07\x00" + bytes([0x83, 0xFF, 0xFF, 1, 2, 3]),
        "empty_and_flag_only": b"\x00\x00" + bytes([0x00, 0x01, 0xAA]),
    }
    for name, data in seeds.items():
        write("wav_export_fuzz", name, data)


def cli_seeds():
    # Argument vectors, one argument per zero-separated piece.
    calls = {
        "decode": ["decode", "rec.wav", "out.tap", "--exact"],
        "bas2tap": ["bas2tap", "in.bas", "out.tap", "--autostart", "10"],
        "convert": ["convert", "a.tzx", "b.tap"],
        "view": ["view", "screen", "t.tap", "2", "o.png"],
        "help": ["list", "t.tap", "--help"],
        "play": ["play", "t.tap", "--from", "3"],
        "batch": ["convert", "--to", "tzx", "--out-dir", ".", "-j", "2", "t.tap", "t.tap", "none.tzx"],
        "batch_wav": ["convert", "--to", "wav", "--out-dir", ".", "--overwrite", "--bits", "16", "t.tap"],
    }
    for name, args in calls.items():
        write("cli_args_fuzz", name, b"\0".join(a.encode() for a in args))


def basic_seeds():
    texts = {
        "print": "10 PRINT \"HELLO\"\n20 GO TO 10\n",
        "numbers": "5 LET a=1.5e3: LET b=BIN 101: LET c=-0.25\n10 FOR i=1 TO 10 STEP 2: NEXT i\n",
        "defn": "10 DEF FN f(x,y)=x*y\n20 PRINT FN f(2,3)\n",
        "rem": "1 REM anything : goes \\* here\n9999 STOP\n",
        "escapes": "10 PRINT \"\\a\\b\\{16}\\{2}red\\::\\.'\"\n",
        "continued": "10 PRINT \\\n\"split\"\n",
    }
    for name, text in texts.items():
        write("basic_tokeniser_fuzz", name, text.encode())


def maker_seeds():
    # Steering (64 bytes: what to make, the name, addresses, header fields), then the file's bytes.
    steer = bytes([0, 6]) + b"loader" + bytes(56)
    write("block_makers_fuzz", "code", steer + bytes(range(200)))
    write("block_makers_fuzz", "screen", bytes([1, 4]) + b"scrn" + bytes(58) + bytes(6912))
    write("block_makers_fuzz", "program", bytes([2, 3]) + b"run" + bytes([10, 0]) + bytes(57) + b"10 PRINT 1\n")
    write("block_makers_fuzz", "header", bytes([3, 2]) + b"hd" + bytes(range(60)))


# ---- Tape files of the other formats ----------------------------------------

TZX_HEAD = b"ZXTape!\x1a\x01\x14"
ROM_PILOT, ROM_SYNC1, ROM_SYNC2, ROM_ZERO, ROM_ONE = 2168, 667, 735, 855, 1710


def tzx_standard(rec, pause=1000):
    return bytes([0x10]) + struct.pack("<H", pause) + rec


def tzx_turbo(rec, pause=500, pilot=1200, pilots=1600, zero=600, one=1200):
    data = rec[2:]
    return (bytes([0x11]) + struct.pack("<HHHHHH", pilot, 400, 450, zero, one, pilots) + bytes([8])
            + struct.pack("<H", pause) + struct.pack("<I", len(data))[:3] + data)


def tzx_pure_data(rec, pause=200, used_bits=8):
    data = rec[2:]
    return (bytes([0x14]) + struct.pack("<HH", ROM_ZERO, ROM_ONE) + bytes([used_bits])
            + struct.pack("<H", pause) + struct.pack("<I", len(data))[:3] + data)


def pzx_block(tag, body):
    return tag + struct.pack("<I", len(body)) + body


def pzx_file(records):
    out = pzx_block(b"PZXT", bytes([1, 0]) + b"seed\0")
    for rec in records:
        data = rec[2:]
        pilots = 8063 if data[0] < 128 else 3223
        out += pzx_block(b"PULS", struct.pack("<HHHH", 0x8000 | pilots, ROM_PILOT, ROM_SYNC1, ROM_SYNC2))
        out += pzx_block(b"DATA", struct.pack("<IHBB", 8 * len(data), 945, 2, 2)
                         + struct.pack("<HHHH", ROM_ZERO, ROM_ZERO, ROM_ONE, ROM_ONE) + data)
        out += pzx_block(b"PAUS", struct.pack("<I", 3500000))
    return out


def pzx_kinds_file(rec):
    """A PZX of every block the reader maps: a turbo loader with 6 bits in its
    last byte and a pause of no whole ms, a tone, single and overlong pulses,
    data of unequal pulses, stops, a browse point and header information."""
    data = rec[2:]
    out = pzx_block(b"PZXT", bytes([1, 0]) + b"Seed\0Author\0Me\0Note\0x\0")
    out += pzx_block(b"PULS", struct.pack("<HHHH", 0x8000 | 3000, 1500, 400, 450))
    out += pzx_block(b"DATA", struct.pack("<IHBB", 8 * len(data) - 2, 945, 2, 2)
                     + struct.pack("<HHHH", 500, 500, 1000, 1000) + data)
    out += pzx_block(b"PAUS", struct.pack("<I", 3500001))
    out += pzx_block(b"PULS", struct.pack("<HHHHHHH", 0x8000 | 100, 2168, 667, 735, 0x8001, 0x8001, 34464))
    out += pzx_block(b"DATA", struct.pack("<IHBB", 8, 0, 1, 2) + struct.pack("<HHH", 500, 500, 500) + b"\xa5")
    out += pzx_block(b"STOP", struct.pack("<H", 0)) + pzx_block(b"STOP", struct.pack("<H", 1))
    out += pzx_block(b"BRWS", b"Level 2\0") + pzx_block(b"XTRA", b"\1\2")
    return out


def rom_pulses(rec, rate, pilots=1000):
    """Pulse lengths in samples of one record's ROM signal (a short pilot)."""
    scale = rate / 3500000.0
    ticks = [ROM_PILOT] * pilots + [ROM_SYNC1, ROM_SYNC2]
    for byte in rec[2:]:
        for bit in range(7, -1, -1):
            ticks += [ROM_ONE if (byte >> bit) & 1 else ROM_ZERO] * 2
    ticks.append(3500)
    pulses, clock, edge = [], 0.0, 0
    for t in ticks:
        clock += t * scale
        pulses.append(max(1, round(clock) - edge))
        edge += pulses[-1]
    return pulses


def csw_rle(pulses):
    out = b""
    for p in pulses:
        out += bytes([p]) if p < 256 else b"\0" + struct.pack("<I", p)
    return out


def csw_v1(pulses, rate=44100):
    return b"Compressed Square Wave\x1a" + bytes([1, 1]) + struct.pack("<H", rate) + bytes([1, 0, 0, 0, 0]) + csw_rle(pulses)


def csw_v2(pulses, rate=44100, compression=1, count=None):
    import zlib
    data = csw_rle(pulses)
    if compression == 2:
        data = zlib.compress(data)
    count = len(pulses) if count is None else count
    return (b"Compressed Square Wave\x1a" + bytes([2, 0]) + struct.pack("<II", rate, count)
            + bytes([compression, 0, 0]) + b"seeds".ljust(16, b"\0") + data)


def tape_format_seeds():
    hd = header(3, "code", 8, 32768)
    data = block(0xFF, bytes(range(1, 9)))
    tzx = (TZX_HEAD + tzx_standard(hd) + tzx_standard(data) + bytes([0x20]) + struct.pack("<H", 700)
           + bytes([0x30, 5]) + b"seeds" + tzx_turbo(data) + tzx_pure_data(block(0xFF, b"pure")))
    pulses = rom_pulses(data, 44100)
    seeds = {  # steering byte: project fill (low 2 bits), save and reload (0x10)
        "tzx_mixed": bytes([0x10]) + tzx,
        "tzx_standard_full": bytes([0x13]) + TZX_HEAD + tzx_standard(hd) + tzx_standard(data),
        "tzx_cut_short": bytes([0x01]) + tzx[:-3],
        "pzx": bytes([0x10]) + pzx_file([data]),
        "pzx_kinds": bytes([0x10]) + pzx_kinds_file(data),
        "csw_v1": bytes([0x10]) + csw_v1(pulses),
        "csw_v2_rle": bytes([0x12]) + csw_v2(pulses),
        "csw_v2_zrle": bytes([0x10]) + csw_v2(pulses, compression=2),
        # What a CSW file gets wrong: a count that lies, data cut inside a
        # long pulse, packed data cut short or damaged, a rate of 0 or huge.
        "csw_count_lies": bytes([0x10]) + csw_v2(pulses, count=7),
        "csw_cut_in_long_pulse": bytes([0x10]) + csw_v2(pulses + [70000])[:-2],
        "csw_zrle_cut": bytes([0x10]) + csw_v2(pulses, compression=2)[:-9],
        "csw_zrle_damaged": bytes([0x10]) + csw_v2(pulses, compression=2)[:60] + bytes([0xFF] * 8),
        "csw_rate_zero": bytes([0x10]) + csw_v2(pulses, rate=0),
        "csw_rate_huge": bytes([0x10]) + csw_v2(pulses, rate=0xFFFFFFFF),
        "tap": bytes([0x10]) + hd + data,
    }
    for name, seed in seeds.items():
        write("tape_formats_fuzz", name, seed)


# ---- Recordings to prepare --------------------------------------------------

def wav_file(samples, rate, bits=8, channels=1):
    width = bits // 8
    data = bytes(samples) if bits == 8 else b"".join(struct.pack("<h", v) for v in samples)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, channels, rate,
            rate * width * channels, width * channels, bits) + b"data" + struct.pack("<I", len(data)) + data)


def square(pulses, low, high):
    out, level = [], low
    for p in pulses:
        out += [level] * p
        level = high if level == low else low
    return out


def preparation_seeds():
    # Steering: the way (0 a file, 1 samples, 2 a tape signal), options (bit 0
    # cleaning, bits 1-2 the channel, bit 3 the quality report), then the way's own.
    data = block(0xFF, bytes([0x12, 0x34]))
    at_22050 = square(rom_pulses(data, 22050, pilots=600), 64, 192)
    at_11025 = square(rom_pulses(data, 11025, pilots=600), -9000, 9000)
    rnd = random.Random(5)
    seeds = {
        "file_wav8": bytes([0, 1]) + bytes(6) + wav_file(at_22050, 22050),
        "file_wav16_plain": bytes([0, 0]) + bytes(6) + wav_file(at_11025, 11025, bits=16),
        "file_junk": bytes([0, 9]) + bytes(6) + bytes(rnd.randrange(256) for _ in range(300)),
        # samples: rate 44100, 2 channels, float WAV, each repeated 16 times
        "samples_stereo": bytes([1, 1, 1, 1, 4, 15]) + bytes(2) + bytes(rnd.randrange(256) for _ in range(800)),
        "samples_flac": bytes([1, 9, 0, 0, 8, 3]) + bytes(2) + bytes(rnd.randrange(256) for _ in range(800)),
        "samples_u8_8k": bytes([1, 1, 3, 0, 0, 31]) + bytes(2) + bytes(range(256)) * 2,
        # tape signals: rate, depth, polarity, timings, channels; then flag and checksum bytes
        "signal_exact": bytes([2, 1, 0x00, 0x7F, 0x0A]) + bytes(3) + b"\x01\x02\x03",
        "signal_rom_48k_stereo": bytes([2, 9, 0x36, 0x00, 0x55]) + bytes(3) + b"ab",
        "signal_rom_inverted_16bit": bytes([2, 3, 0x1C, 0x40, 0x00]) + bytes(3) + bytes(8),
    }
    for name, seed in seeds.items():
        write("recording_fuzz", name, seed)


# ---- The period decoder, the repair and the take merger -------------------

def signal_decoder_seeds():
    # Steering: the way (1: bytes are half-waves), the rate's index, piece sizes
    # (word, byte), the level, three spare; then the sound.
    def halves(rec, rate):
        return bytes(min(255, max(1, p)) for p in rom_pulses(rec, rate, pilots=600))
    data = block(0xFF, bytes([0x12, 0x34, 0x56]))
    hd = header(3, "seed", 3, 32768)
    rnd = random.Random(11)
    seeds = {
        "halves_22050": bytes([1, 2, 0x00, 0x10, 7, 200, 0, 0]) + halves(data, 22050) + bytes([0]),
        "halves_8000_two": bytes([1, 0, 0x05, 0x00, 1, 120, 0, 0]) + halves(hd, 8000) + bytes([0]) +
        halves(data, 8000),
        "halves_44100_cut": bytes([1, 3, 0x40, 0x00, 33, 255, 0, 0]) + halves(data, 44100)[:-20],
        "raw_noise": bytes([0, 3, 0x00, 0x01, 3, 255, 0, 0]) + bytes(rnd.randrange(256) for _ in range(3000)),
        # A header and its data block with a dropout inside the data: a few
        # milliseconds of short noise half-waves, then the bits go on.
        "halves_44100_dropout": bytes([1, 3, 0x00, 0x08, 50, 255, 0, 0]) + halves(hd, 44100) + bytes([0]) +
        halves(block(0xFF, bytes(range(40))), 44100)[:900] + bytes(rnd.randrange(1, 6) for _ in range(60)) +
        halves(block(0xFF, bytes(range(40))), 44100)[930:] + bytes([0]),
        # A data block with no header whose checksum is 0, the level held after it.
        "halves_22050_headerless_zero": bytes([1, 2, 0x00, 0x02, 9, 255, 0, 0]) +
        halves(block(0xFF, bytes([0x12, 0x34, 0x56, 0xFF ^ 0x12 ^ 0x34 ^ 0x56])), 22050) + bytes([40, 0]),
    }
    for name, seed in seeds.items():
        write("signal_decoder_fuzz", name, seed)


def take_repair_seeds():
    # Steering: repair limit, takes, flip pattern (word); then records: length
    # byte (mod 24, + 2), the bytes, one confidence byte per byte.
    def rec(body, conf):
        return bytes([len(body) - 2]) + body + conf
    good = block(0xFF, bytes([0x12, 0x34, 0x56]))[2:]
    bad = bytes([good[0], good[1] ^ 4]) + good[2:]
    seeds = {
        "good_and_bad_three_takes": bytes([3, 2, 5, 0]) + rec(good, bytes([200] * 5)) +
        rec(bad, bytes([200, 20, 200, 200, 200])),
        "header_two_takes": bytes([2, 1, 9, 1]) + rec(header(3, "seed", 3, 32768)[2:], bytes([90] * 19)),
        # A longer record (same length in every take, bits flipped per take):
        # matched by place, combined after lining up.
        "long_record_three_takes": bytes([3, 2, 77, 3]) + rec(block(0xFF, bytes(range(20)))[2:], bytes([60] * 22)),
    }
    for name, seed in seeds.items():
        write("take_repair_fuzz", name, seed)


def main():
    # The named seeds are written over; inputs kept from fuzzing findings
    # (named by their hash) stay, since they guard against the faults they found.
    taps = tool_taps()
    tap_seeds(taps)
    viewer_seeds(taps)
    recording_seeds()
    export_seeds()
    cli_seeds()
    basic_seeds()
    maker_seeds()
    tape_format_seeds()
    preparation_seeds()
    signal_decoder_seeds()
    take_repair_seeds()
    print("seeds written to", CORPUS, file=sys.stderr)


if __name__ == "__main__":
    main()
