#!/usr/bin/python3
"""Scores the import on a set made by make_degraded_recordings.py.

For every recording of the set's manifest, reelo-cli decode (best automatic
settings, or the options given with --cli-args) and fuse-utils' audio2tape
(on a padded copy: 1 s of silence before, 0.5 s after and a 20 ms tone that
lets it close the last block; default Schmitt trigger; then tapeconv to TAP)
decode the recording, and their records are compared byte for byte with the
tape it holds. Prints the records recovered and the unmatched (garbage)
records per effect, per format, per group and in all.

Given several sets (the same generator with other seeds), it also prints for
each group the mean over the sets and the worst set. The takes of a set (group
"takes") are scored one by one and, for reelo-cli, all together in one
decode (row "takes_merged").

MP3, Ogg and FLAC recordings are read by reelo-cli as they are and by
audio2tape as the WAV the set holds beside them. With --formats only the recordings of those formats are scored (the harsh
effects written in a form of their own always are). audio2tape's records of a
recording are kept beside it (FILE.a2t.tap) and read again while the recording
is unchanged, so scoring another build of reelo-cli costs only its own runs.

Usage: scripts/score_recordings.py SETDIR [SETDIR...] --cli build/src/cli/reelo-cli
       [--cli-args "--exact"] [--no-audio2tape] [--tsv results.tsv] [--quiet]
       [--formats u8_22050,s16_44100]
"""
import argparse
import collections
import os
import shlex
import subprocess
import sys
import tempfile


# The formats every ordinary effect is written in (the harsh ones that are a
# format of their own are not among them).
FIVE_FORMATS = {"u8_22050", "s16_44100", "s16_48000_st", "s24_96000", "f32_44100"}


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
    kept = wav + ".a2t.tap"
    if os.path.exists(kept) and os.path.getmtime(kept) >= os.path.getmtime(wav):
        return tap_records(kept)
    records = run_audio2tape(wav, tmp)
    with open(kept, "wb") as f:
        for r in records:
            f.write(bytes((len(r) & 0xFF, len(r) >> 8)) + r)
    return records


def run_audio2tape(wav, tmp):
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


def decode_reelo_takes(cli, extra, wavs, tmp):
    out = os.path.join(tmp, "reelo.tap")
    if os.path.exists(out):
        os.remove(out)
    quiet([cli, "decode"] + wavs + [out] + extra)
    return tap_records(out)


def score_set(setdir, cli, extra, tools, lines, formats=None):
    """totals[(kind, group)][tool] = [expected, recovered, garbage] of one set."""
    with open(os.path.join(setdir, "manifest.tsv")) as f:
        rows = [line.rstrip("\n").split("\t") for line in f][1:]
    totals = collections.defaultdict(lambda: collections.defaultdict(lambda: [0, 0, 0]))

    def add(keys, tool, expected, recovered, garbage):
        for key in keys:
            t = totals[key][tool]
            t[0] += expected
            t[1] += recovered
            t[2] += garbage

    takes = collections.defaultdict(list)
    with tempfile.TemporaryDirectory() as tmp:
        for row in rows:
            name, effect, fmt, tape = row[:4]
            group = row[4] if len(row) > 4 else "all"
            if formats and fmt in FIVE_FORMATS and fmt not in formats and group != "takes":
                continue
            wav = os.path.join(setdir, name)
            expected = tap_records(os.path.join(setdir, tape))
            if group == "takes":
                takes[tape].append(wav)
            # An MP3, Ogg or FLAC recording is kept beside the WAV it decodes
            # to: reelo-cli reads the compressed file, audio2tape the WAV.
            compressed = [wav[:-4] + ext for ext in (".mp3", ".ogg", ".flac") if os.path.exists(wav[:-4] + ext)]
            for tool in tools:
                if tool == "reelo":
                    found = decode_reelo(cli, extra, compressed[0] if compressed else wav, tmp)
                else:
                    found = decode_audio2tape(wav, tmp)
                recovered, garbage = score(expected, found)
                lines.append("%s\t%s\t%s\t%d\t%d\t%d" % (setdir, name, tool, len(expected), recovered, garbage))
                add((("effect", effect), ("format", fmt), ("group", group), ("all", "all")), tool, len(expected),
                    recovered, garbage)
            print(name, file=sys.stderr)
        for tape, wavs in takes.items():
            expected = tap_records(os.path.join(setdir, tape))
            recovered, garbage = score(expected, decode_reelo_takes(cli, extra, wavs, tmp))
            lines.append("%s\t%s\treelo\t%d\t%d\t%d" % (setdir, "takes_merged", len(expected), recovered, garbage))
            add((("group", "takes_merged"),), "reelo", len(expected), recovered, garbage)
    return totals


def cell(t):
    e, r, g = t
    return "%d/%d %5.1f%% g%d" % (r, e, 100.0 * r / e if e else 0, g)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("setdirs", nargs="+")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--cli-args", default="")
    parser.add_argument("--no-audio2tape", action="store_true")
    parser.add_argument("--tsv")
    parser.add_argument("--quiet", action="store_true", help="only the summary over the sets")
    parser.add_argument("--formats", default="", help="score only these of the five formats")
    args = parser.parse_args()
    extra = shlex.split(args.cli_args)
    tools = ["reelo"] + ([] if args.no_audio2tape else ["audio2tape"])
    lines = ["set\tfile\ttool\texpected\trecovered\tgarbage"]
    formats = set(filter(None, args.formats.split(",")))
    per_set = [score_set(d, args.cli, extra, tools, lines, formats) for d in args.setdirs]
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("\n".join(lines) + "\n")

    header = "%-18s" % "" + "".join("%24s" % t for t in tools)
    if not args.quiet:
        for setdir, totals in zip(args.setdirs, per_set):
            print("\n== %s" % setdir)
            for kind in ("effect", "format", "group", "all"):
                print("\nper %s (recovered/expected, garbage)" % kind)
                print(header)
                for key in sorted(k for k in totals if k[0] == kind):
                    print("%-18s%s" % (key[1], "".join("%24s" % cell(totals[key][tool]) for tool in tools)))

    # Over the sets: per group, the mean share, the worst set's share and the
    # unmatched records in all.
    print("\nover %d sets: per group mean / worst set (recovered share), unmatched records in all" % len(per_set))
    print("%-18s" % "" + "".join("%42s" % t for t in tools))
    keys = sorted({k for totals in per_set for k in totals if k[0] in ("group", "all")})
    for key in keys:
        cells = ""
        for tool in tools:
            shares, garbage, expected, recovered = [], 0, 0, 0
            for totals in per_set:
                if key in totals and tool in totals[key]:
                    e, r, g = totals[key][tool]
                    if e:
                        shares.append(100.0 * r / e)
                    garbage += g
                    expected += e
                    recovered += r
            if not shares and not garbage:
                cells += "%42s" % "-"
                continue
            mean = sum(shares) / len(shares) if shares else 0
            worst = min(shares) if shares else 0
            cells += "%42s" % ("%d/%d mean %5.1f%% worst %5.1f%% g%d" % (recovered, expected, mean, worst, garbage))
        print("%-18s%s" % (key[1], cells))


if __name__ == "__main__":
    main()
