#!/usr/bin/env python3
"""Applies single-line faults to a copy of the source tree, one at a time, and
runs the core tests against each: a fault the tests notice is caught, one they
let through survived.

  python3 scripts/mutants.py [--faults tests/mutants/faults.txt] [--build build/mutants]
                             [--jobs 2] [--only NAME_OR_FOLDER ...]

The fault list is tab-separated, one fault a line:
  name <TAB> file <TAB> the line as it stands <TAB> its replacement [<TAB> equivalent: why]
The line is matched without its leading and trailing spaces and must occur
exactly once in the file; a fault whose line is no longer there (or is there
twice) is reported as not applying and is not counted. A fault marked
equivalent cannot change what the program does; it is listed, not counted.
One marked slow (in a header nearly every file includes) runs only with --slow.

Every fault is built alone (Release, no windows, ccache when it is set up) and
runs the test programs its folder can affect, two at a time, stopping at the
first failing test. The table goes to standard output and to BUILD/report.txt.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# The core's test programs and the core folders each one exercises. A fault in
# a folder runs the programs that list it (its own first), never the windows'.
TEST_PROGRAMS = {
    "project_tests": "tests/project",
    "formats_tests": "tests/formats",
    "sound_export_tests": "tests/sound_export",
    "sound_import_tests": "tests/sound_import",
    "recording_tests": "tests/recording",
    "blocks_tests": "tests/blocks",
    "viewers_tests": "tests/viewers",
    "cli_tests": "tests/cli",
    "robustness_tests": "tests/robustness",
}
# The programs a fault of each folder runs, the most likely to notice first:
# the folder's own, and the command line's, which runs every folder end to end
# (the others are left out for time: each one a fault runs is linked again).
FOLDER_PROGRAMS = {
    "src/project": ["project_tests", "robustness_tests", "formats_tests", "cli_tests"],
    "src/formats": ["formats_tests", "cli_tests"],
    "src/sound/export": ["sound_export_tests", "cli_tests"],
    "src/sound/import": ["sound_import_tests", "recording_tests", "cli_tests"],
    "src/sound/recording": ["recording_tests", "cli_tests"],
    "src/blocks": ["blocks_tests", "cli_tests"],
    "src/viewers": ["viewers_tests", "cli_tests"],
    "src/cli": ["cli_tests"],
}


class Fault:
    def __init__(self, name, file, line, replacement, note):
        self.name, self.file, self.line, self.replacement, self.note = name, file, line, replacement, note
        self.folder = next((f for f in sorted(FOLDER_PROGRAMS, key=len, reverse=True) if file.startswith(f + "/")), "")
        self.outcome, self.test = "", ""


def read_faults(path):
    faults = []
    for number, text in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not text.strip() or text.lstrip().startswith("#"):
            continue
        fields = text.split("\t")
        if len(fields) not in (4, 5):
            sys.exit(f"{path}:{number}: expected 4 or 5 tab-separated fields, found {len(fields)}")
        faults.append(Fault(*fields[:4], fields[4] if len(fields) == 5 else ""))
    names = [f.name for f in faults]
    if len(set(names)) != len(names):
        sys.exit(f"{path}: two faults share a name")
    return faults


def run(command, log, cwd=None, timeout=None):
    with open(log, "w") as out:
        try:
            return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None


def sync_tree(root, tree):
    """The files of root (not its builds or history) copied to tree; files
    that did not change keep their times, so they are not built again."""
    seen = set()
    for source in root.rglob("*"):
        relative = source.relative_to(root)
        if relative.parts[0] in ("build", ".git") or not source.is_file():
            continue
        seen.add(relative)
        target = tree / relative
        if not target.exists() or target.read_bytes() != source.read_bytes():
            # A fresh time (not the source's): a file put back after a fault
            # must be newer than what was built from the fault.
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(source, target)
    for target in tree.rglob("*"):
        relative = target.relative_to(tree)
        if relative.parts[0] != "build" and target.is_file() and relative not in seen:
            target.unlink()


def configure(tree, build, log):
    env_cmake = ["cmake", "-S", str(tree), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                 "-DREELO_BUILD_UI=OFF", "-DREELO_BUILD_TESTS=ON"]
    if shutil.which("ccache"):
        env_cmake += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    return run(env_cmake, log) == 0


def build(build_dir, targets, jobs, log):
    return run(["cmake", "--build", str(build_dir), "-j", str(jobs), "--target", *targets], log) == 0


def first_failure(log):
    """The first failing test named in a Google Test log."""
    for text in Path(log).read_text(errors="replace").splitlines():
        if text.startswith("[  FAILED  ]"):
            return text[len("[  FAILED  ]"):].strip().split(" (")[0].split(", where")[0]
    return ""


def run_programs(build_dir, programs, jobs, logs, timeouts):
    """Runs the programs, jobs at a time, until one fails. Returns (program,
    failing test or how it ended) of the first failure, or None."""
    failed = []

    def one(program):
        if failed:
            return
        exe = build_dir / TEST_PROGRAMS[program] / program
        log = logs / f"{program}.log"
        code = run([str(exe), "--gtest_fail_fast", "--gtest_brief=1"], log, cwd=build_dir,
                   timeout=timeouts.get(program, 300))
        if code is None:
            failed.append((program, "timed out"))
        elif code != 0:
            failed.append((program, first_failure(log) or f"exit status {code}"))

    with ThreadPoolExecutor(max_workers=jobs) as pool:
        list(pool.map(one, programs))
    return failed[0] if failed else None


def apply(tree, fault):
    """The fault's file with the line replaced, or None when the line is not
    there exactly once."""
    path = tree / fault.file
    if not path.exists():
        return None
    original = path.read_text(encoding="utf-8")
    lines = original.split("\n")
    hits = [i for i, text in enumerate(lines) if text.strip() == fault.line.strip()]
    if len(hits) != 1:
        return None
    text = lines[hits[0]]
    indent = text[:len(text) - len(text.lstrip())]
    lines[hits[0]] = indent + fault.replacement.strip()
    return original, "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=str(ROOT / "tests/mutants/faults.txt"))
    parser.add_argument("--build", default=str(ROOT / "build/mutants"))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--source", default=str(ROOT), help="the tree to copy (default: this checkout)")
    parser.add_argument("--only", nargs="*", help="fault names or folders (src/cli) to run")
    parser.add_argument("--slow", action="store_true", help="also run the faults marked slow (in headers most files include)")
    parser.add_argument("--check", action="store_true", help="only say which faults apply to the working tree")
    args = parser.parse_args()
    if args.check:
        for fault in read_faults(args.faults):
            if apply(ROOT, fault) is None:
                print(f"{fault.name}: the line is not in {fault.file} exactly once")
        return

    started = time.monotonic()
    faults = read_faults(args.faults)
    if args.only:
        faults = [f for f in faults if f.name in args.only or f.folder in args.only]
    # The copy keeps the checkout's layout (sources, then build/<dir>), so the
    # compiler cache shares its objects with everyone's ordinary builds.
    work = Path(args.build).resolve()
    tree = work / "tree"
    build_dir = tree / "build" / "release"
    logs = work / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    sync_tree(Path(args.source).resolve(), tree)
    if not configure(tree, build_dir, logs / "configure.log"):
        sys.exit(f"configuring failed: see {logs / 'configure.log'}")
    programs = list(TEST_PROGRAMS)
    print(f"building the unchanged tree ({len(programs)} test programs)...", flush=True)
    if not build(build_dir, programs, args.jobs, logs / "build-unchanged.log"):
        sys.exit(f"the unchanged tree does not build: see {logs / 'build-unchanged.log'}")
    # The unchanged tree must pass, and its times set each program's limit.
    timeouts = {}
    for program in programs:
        begin = time.monotonic()
        code = run([str(build_dir / TEST_PROGRAMS[program] / program), "--gtest_brief=1"],
                   logs / f"unchanged-{program}.log", cwd=build_dir, timeout=600)
        seconds = time.monotonic() - begin
        if code != 0:
            sys.exit(f"{program} fails on the unchanged tree: see {logs / f'unchanged-{program}.log'}")
        timeouts[program] = max(60.0, seconds * 4 + 30)
        print(f"  {program}: passes in {seconds:.1f} s", flush=True)

    for number, fault in enumerate(faults, 1):
        begin = time.monotonic()
        if fault.note.startswith("equivalent"):
            fault.outcome = "equivalent"
        elif fault.note.startswith("slow") and not args.slow:
            fault.outcome = "not run"
        elif not fault.folder:
            fault.outcome = "not applying"
            fault.test = "not in a core folder"
        elif (texts := apply(tree, fault)) is None:
            fault.outcome = "not applying"
            fault.test = "the line is not there exactly once"
        else:
            original, mutated = texts
            path = tree / fault.file
            path.write_text(mutated, encoding="utf-8")
            try:
                fault_logs = logs / fault.name
                fault_logs.mkdir(exist_ok=True)
                wanted = FOLDER_PROGRAMS[fault.folder]
                if not build(build_dir, wanted, args.jobs, fault_logs / "build.log"):
                    fault.outcome = "not compiling"
                    fault.test = "see " + str(fault_logs / "build.log")
                else:
                    failure = run_programs(build_dir, wanted, args.jobs, fault_logs, timeouts)
                    fault.outcome = "caught" if failure else "SURVIVED"
                    fault.test = f"{failure[0]}: {failure[1]}" if failure else ""
            finally:
                path.write_text(original, encoding="utf-8")
        print(f"[{number}/{len(faults)}] {fault.name}: {fault.outcome} {fault.test} "
              f"({time.monotonic() - begin:.0f} s)", flush=True)

    report = table(faults, time.monotonic() - started)
    (work / "report.txt").write_text(report, encoding="utf-8")
    print(report)


def table(faults, seconds):
    rows = [f"{'fault':34} {'folder':20} {'outcome':13} test"]
    for f in faults:
        rows.append(f"{f.name:34} {f.folder:20} {f.outcome:13} {f.test or f.note}")
    rows.append("")
    rows.append(f"{'folder':20} {'caught':>7} {'of':>4} {'rate':>6}   (not counted: equivalent, not run, not applying, not compiling)")
    total_caught = total = 0
    for folder in FOLDER_PROGRAMS:
        counted = [f for f in faults if f.folder == folder and f.outcome in ("caught", "SURVIVED")]
        caught = sum(f.outcome == "caught" for f in counted)
        other = [f for f in faults if f.folder == folder and f.outcome not in ("caught", "SURVIVED")]
        total_caught += caught
        total += len(counted)
        rate = f"{100 * caught / len(counted):.0f}%" if counted else "-"
        rows.append(f"{folder:20} {caught:7} {len(counted):4} {rate:>6}   {len(other)}")
    rate = f"{100 * total_caught / total:.0f}%" if total else "-"
    rows.append(f"{'all':20} {total_caught:7} {total:4} {rate:>6}")
    rows.append(f"time: {seconds / 60:.1f} min")
    return "\n".join(rows) + "\n"


if __name__ == "__main__":
    main()
