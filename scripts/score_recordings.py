#!/usr/bin/python3
"""Scores the import on a set made by make_degraded_recordings.py.

For every recording of the set's manifest, reelo-cli decode (best automatic
settings, or the options given with --cli-args) and fuse-utils' audio2tape
(on a padded copy: 1 s of silence before, 0.5 s after and a 20 ms tone that
lets it close the last block; default Schmitt trigger; then tapeconv to TAP)
decode the recording, and their records are compared byte for byte with the
tape it holds. Prints the records recovered and the unmatched (garbage)
records per effect, per format and in all.

Usage: scripts/score_recordings.py SETDIR --cli build/src/cli/reelo-cli
       [--cli-args "--exact"] [--no-audio2tape] [--tsv results.tsv]
"""
import argparse
import collections
import os
import shlex
import subprocess
import sys
import tempfile


def tap_records(path):
    """The records of a TAP file (without their length fields)."""
    records = []
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return records
    i = 0
    while i + 2 <= len(data):
        length = data[i] | data[i + 1] << 8
        records.append(data[i + 2:i + 2 + length])
        i += 2 + length
    return records


def score(expected, found):
    """(records of expected found byte-exact, records found that match none)."""
    left = collections.Counter(found)
    recovered = 0
    for record in expected:
        if left[record] > 0:
            left[record] -= 1
            recovered += 1
    return recovered, sum(left.values())


def quiet(cmd):
    return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def decode_reelo(cli, extra, wav, tmp):
    out = os.path.join(tmp, "reelo.tap")
    if os.path.exists(out):
        os.remove(out)
    quiet([cli, "decode", wav, out] + extra)
    return tap_records(out)


def decode_audio2tape(wav, tmp):
    padded = os.path.join(tmp, "padded.wav")
    tone = os.path.join(tmp, "tone.wav")
    joined = os.path.join(tmp, "joined.wav")
    tzx = os.path.join(tmp, "a2t.tzx")
    tap = os.path.join(tmp, "a2t.tap")
    for path in (tzx, tap):
        if os.path.exists(path):
            os.remove(path)
    quiet(["sox", "-R", wav, padded, "pad", "1", "0.5"])
    quiet(["sox", "-R", wav, tone, "trim", "0", "0.02", "synth", "square", "800", "vol", "0.5"])
    quiet(["sox", "-R", padded, tone, joined])
    quiet(["audio2tape", joined, tzx])
    quiet(["tapeconv", tzx, tap])
    return tap_records(tap)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("setdir")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--cli-args", default="")
    parser.add_argument("--no-audio2tape", action="store_true")
    parser.add_argument("--tsv")
    args = parser.parse_args()
    extra = shlex.split(args.cli_args)

    with open(os.path.join(args.setdir, "manifest.tsv")) as f:
        rows = [line.rstrip("\n").split("\t") for line in f][1:]
    tools = ["reelo"] + ([] if args.no_audio2tape else ["audio2tape"])
    # totals[(group kind, group)][tool] = [expected, recovered, garbage]
    totals = collections.defaultdict(lambda: collections.defaultdict(lambda: [0, 0, 0]))
    lines = ["file\ttool\texpected\trecovered\tgarbage"]
    with tempfile.TemporaryDirectory() as tmp:
        for name, effect, fmt, tape in rows:
            wav = os.path.join(args.setdir, name)
            expected = tap_records(os.path.join(args.setdir, tape))
            for tool in tools:
                found = decode_reelo(args.cli, extra, wav, tmp) if tool == "reelo" else decode_audio2tape(wav, tmp)
                recovered, garbage = score(expected, found)
                lines.append("%s\t%s\t%d\t%d\t%d" % (name, tool, len(expected), recovered, garbage))
                for key in (("effect", effect), ("format", fmt), ("all", "all")):
                    t = totals[key][tool]
                    t[0] += len(expected)
                    t[1] += recovered
                    t[2] += garbage
            print(name, file=sys.stderr)
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("\n".join(lines) + "\n")

    header = "%-16s" % "" + "".join("%24s" % t for t in tools)
    for kind in ("effect", "format", "all"):
        print("\nper %s (recovered/expected, garbage)" % kind)
        print(header)
        for key in sorted(k for k in totals if k[0] == kind):
            cells = ""
            for tool in tools:
                e, r, g = totals[key][tool]
                cells += "%24s" % ("%d/%d %5.1f%% g%d" % (r, e, 100.0 * r / e if e else 0, g))
            print("%-16s%s" % (key[1], cells))


if __name__ == "__main__":
    main()
