#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into tests/fuzz/corpus/<target>/.

The seeds are small on purpose (a few KB each): libFuzzer mutates the whole
input on every execution, so a 100 KB seed would make every run slow. TAPs come
from zmakebas and pasmo when they are installed (as the interop tests use them)
and from blocks built here; recordings are tape signals built here with short
pilots, at the export's levels and at the 0/255 levels and ROM timings of
tape2wav. Run it again after changing an input layout of a target.
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
    }
    for name, args in calls.items():
        write("cli_args_fuzz", name, b"\0".join(a.encode() for a in args))


def main():
    if os.path.isdir(CORPUS):
        shutil.rmtree(CORPUS)
    taps = tool_taps()
    tap_seeds(taps)
    viewer_seeds(taps)
    recording_seeds()
    export_seeds()
    cli_seeds()
    print("seeds written to", CORPUS, file=sys.stderr)


if __name__ == "__main__":
    main()
