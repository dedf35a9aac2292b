#!/usr/bin/env python3
"""Applies single-line faults to the source, one at a time, and runs the core
tests against each: a fault the tests notice is caught, one they let through
survived.

  python3 scripts/mutants.py [--faults tests/mutants/faults.txt] [--build build/mutants]
                             [--jobs 2] [--only NAME_OR_FOLDER ...] [--slow] [--check]

The fault list is tab-separated, one fault a line:
  name <TAB> file <TAB> the line as it stands <TAB> its replacement [<TAB> note]
The line is matched without its leading and trailing spaces and must occur
exactly once in the file. A fault whose line is no longer there (or is there
twice) is an error in the list: the run stops before building anything and
names every such fault, so the list is put right rather than quietly shrunk.
A note starting "equivalent:" marks a fault that cannot change what the
program does: it is listed, not run and not counted. One starting "slow:"
(in a header that most files include) runs only with --slow.

Each job keeps a tree of its own (a copy of the sources and a Release build
without windows, compiled through ccache when it is set up), so after the
first build a fault recompiles only the file it is in, and links and runs the
test programs of its folder one at a time (Google Test with --gtest_fail_fast),
stopping at the first that fails: the rest are not even linked. The file is then
put back by writing its original text. The table goes to standard output and
to BUILD/report.txt, with the wall and processor time and the load average.
"""

import argparse
import os
import queue
import resource
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# The core's test programs and where they are built.
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
# the folder's own, the ones that drive it from the next folder up, and the
# command line's, which runs every folder end to end. Each one listed is
# relinked for every fault of the folder, so the list is kept short.
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

# Files whose faults another folder's program notices first (the tape kinds
# are read, listed and sounded by the formats' tests): that program goes
# first, the folder's others follow.
FILE_FIRST = {
    "src/project/block_kinds.cpp": "formats_tests",
    "src/project/tape_block.h": "formats_tests",
    "src/sound/export/kind_signal.cpp": "formats_tests",
}


def programs_of(fault):
    programs = list(FOLDER_PROGRAMS[fault.folder])
    first = FILE_FIRST.get(fault.file)
    if first:
        programs = [first] + [p for p in programs if p != first]
    return programs


class Fault:
    def __init__(self, name, file, line, replacement, note, number):
        self.name, self.file, self.line, self.replacement, self.note = name, file, line, replacement, note
        self.number = number
        self.folder = next((f for f in sorted(FOLDER_PROGRAMS, key=len, reverse=True) if file.startswith(f + "/")), "")
        self.outcome, self.test, self.seconds = "", "", 0.0


def read_faults(path):
    faults = []
    for number, text in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not text.strip() or text.lstrip().startswith("#"):
            continue
        fields = text.split("\t")
        if len(fields) not in (4, 5):
            sys.exit(f"{path}:{number}: expected 4 or 5 tab-separated fields, found {len(fields)}")
        faults.append(Fault(*fields[:4], fields[4] if len(fields) == 5 else "", number))
    names = [f.name for f in faults]
    if len(set(names)) != len(names):
        sys.exit(f"{path}: two faults share a name")
    return faults


def mutate(tree, fault):
    """(original text, text with the fault) of the fault's file in tree, or a
    reason why the fault does not apply there."""
    path = tree / fault.file
    if not fault.folder:
        return f"{fault.file} is not in a core folder"
    if not path.exists():
        return f"{fault.file} does not exist"
    original = path.read_text(encoding="utf-8")
    lines = original.split("\n")
    hits = [i for i, text in enumerate(lines) if text.strip() == fault.line.strip()]
    if len(hits) != 1:
        return f"the line is in {fault.file} {len(hits)} times, not once"
    if fault.line.strip() == fault.replacement.strip():
        return "the replacement is the line itself"
    text = lines[hits[0]]
    indent = text[:len(text) - len(text.lstrip())]
    lines[hits[0]] = indent + fault.replacement.strip()
    return original, "\n".join(lines)


def check_list(faults, tree, faults_path):
    """Every fault's line must be in the tree exactly once: a list that no
    longer fits the code is put right, not run with gaps."""
    wrong = [(f, reason) for f in faults if isinstance(reason := mutate(tree, f), str)]
    for fault, reason in wrong:
        print(f"{faults_path}:{fault.number}: {fault.name}: {reason}", file=sys.stderr)
    return not wrong


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


class Tree:
    """One job's copy of the sources and its Release build. The copy keeps the
    checkout's layout (sources, then build/release), so the compiler cache
    shares its objects with the other tree and with everyone's builds."""

    def __init__(self, work, index):
        self.root = work / f"tree{index}"
        self.build = self.root / "build" / "release"
        self.index = index

    def configure(self, log):
        command = ["cmake", "-S", str(self.root), "-B", str(self.build), "-DCMAKE_BUILD_TYPE=Release",
                   "-DREELO_BUILD_UI=OFF", "-DREELO_BUILD_TESTS=ON"]
        # Every fault relinks its test programs: the faster linker where there is one.
        if shutil.which("ld.lld"):
            command += ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"]
        if shutil.which("ccache"):
            command += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        return run(command, log) == 0

    def make(self, targets, jobs, log):
        return run(["cmake", "--build", str(self.build), "-j", str(jobs), "--target", *targets], log) == 0

    def program(self, name):
        return self.build / TEST_PROGRAMS[name] / name


def first_failure(log):
    """The first failing test named in a Google Test log."""
    for text in Path(log).read_text(errors="replace").splitlines():
        if text.startswith("[  FAILED  ]"):
            return text[len("[  FAILED  ]"):].strip().split(" (")[0].split(", where")[0]
    return ""


def run_program(tree, program, logs, timeouts):
    """The failing test (or how the program ended) when it fails, else ""."""
    log = logs / f"{program}.log"
    code = run([str(tree.program(program)), "--gtest_fail_fast", "--gtest_brief=1"], log,
               cwd=tree.build, timeout=timeouts.get(program, 300))
    if code is None:
        return "timed out"
    if code != 0:
        return first_failure(log) or f"exit status {code}"
    return ""


def try_fault(tree, fault, logs, timeouts):
    texts = mutate(tree.root, fault)
    if isinstance(texts, str):
        fault.outcome, fault.test = "not applying", texts
        return
    original, mutated = texts
    path = tree.root / fault.file
    path.write_text(mutated, encoding="utf-8")
    try:
        fault_logs = logs / fault.name
        fault_logs.mkdir(exist_ok=True)
        # One program linked and run at a time: once one fails, the others
        # need not be linked at all.
        for program in programs_of(fault):
            if not tree.make([program], 1, fault_logs / f"build-{program}.log"):
                fault.outcome, fault.test = "not compiling", "see " + str(fault_logs / f"build-{program}.log")
                return
            failure = run_program(tree, program, fault_logs, timeouts)
            if failure:
                fault.outcome, fault.test = "caught", f"{program}: {failure}"
                return
        fault.outcome = "SURVIVED"
    finally:
        path.write_text(original, encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=str(ROOT / "tests/mutants/faults.txt"))
    parser.add_argument("--build", default=str(ROOT / "build/mutants"))
    parser.add_argument("--jobs", type=int, default=2, help="faults tried at once, each in a tree of its own")
    parser.add_argument("--source", default=str(ROOT), help="the tree to copy (default: this checkout)")
    parser.add_argument("--only", nargs="*", help="fault names or folders (src/cli) to run")
    parser.add_argument("--slow", action="store_true", help="also run the faults marked slow (in headers most files include)")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies to the source")
    args = parser.parse_args()

    source = Path(args.source).resolve()
    faults = read_faults(args.faults)
    if not check_list(faults, source, args.faults):
        sys.exit("the fault list does not fit the source: put the lines above right (or remove the faults)")
    if args.check:
        print(f"all {len(faults)} faults apply")
        return
    if args.only:
        faults = [f for f in faults if f.name in args.only or f.folder in args.only]

    started = time.monotonic()
    cpu_before = resource.getrusage(resource.RUSAGE_CHILDREN)
    loads = [os.getloadavg()[0]]
    work = Path(args.build).resolve()
    logs = work / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    trees = [Tree(work, i) for i in range(max(1, args.jobs))]
    for tree in trees:
        sync_tree(source, tree.root)
        if not tree.configure(logs / f"configure{tree.index}.log"):
            sys.exit(f"configuring failed: see {logs / f'configure{tree.index}.log'}")

    # The first tree is built with every job, the others then come mostly
    # from the compiler cache while the first one's tests run unchanged.
    programs = list(TEST_PROGRAMS)
    print(f"building the unchanged tree ({len(programs)} test programs, {len(trees)} copies)...", flush=True)
    if not trees[0].make(programs, args.jobs, logs / "build-unchanged0.log"):
        sys.exit(f"the unchanged tree does not build: see {logs / 'build-unchanged0.log'}")
    built = {}

    def build_rest():
        for tree in trees[1:]:
            built[tree.index] = tree.make(programs, 1, logs / f"build-unchanged{tree.index}.log")

    builder = threading.Thread(target=build_rest)
    builder.start()
    # The unchanged tree must pass, and its times set each program's limit.
    timeouts = {}
    for program in programs:
        begin = time.monotonic()
        code = run([str(trees[0].program(program)), "--gtest_brief=1"], logs / f"unchanged-{program}.log",
                   cwd=trees[0].build, timeout=600)
        seconds = time.monotonic() - begin
        if code != 0:
            builder.join()
            sys.exit(f"{program} fails on the unchanged tree: see {logs / f'unchanged-{program}.log'}")
        timeouts[program] = max(60.0, seconds * 4 + 30)
        print(f"  {program}: passes in {seconds:.1f} s", flush=True)
    builder.join()
    for index, ok in built.items():
        if not ok:
            sys.exit(f"the unchanged tree does not build: see {logs / f'build-unchanged{index}.log'}")

    todo = queue.Queue()
    for fault in faults:
        if fault.note.startswith("equivalent"):
            fault.outcome = "equivalent"
        elif fault.note.startswith("slow") and not args.slow:
            fault.outcome = "not run"
        else:
            todo.put(fault)
    done = [0]
    lock = threading.Lock()

    def worker(tree):
        while True:
            try:
                fault = todo.get_nowait()
            except queue.Empty:
                return
            begin = time.monotonic()
            try_fault(tree, fault, logs, timeouts)
            fault.seconds = time.monotonic() - begin
            with lock:
                done[0] += 1
                loads.append(os.getloadavg()[0])
                print(f"[{done[0]}] {fault.name}: {fault.outcome} {fault.test} ({fault.seconds:.0f} s)", flush=True)

    threads = [threading.Thread(target=worker, args=(tree,)) for tree in trees]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()

    cpu_after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (cpu_after.ru_utime - cpu_before.ru_utime) + (cpu_after.ru_stime - cpu_before.ru_stime)
    report = table(faults, time.monotonic() - started, cpu, loads, len(trees))
    (work / "report.txt").write_text(report, encoding="utf-8")
    print(report)
    if any(f.outcome == "not compiling" for f in faults):
        sys.exit(1)


def table(faults, seconds, cpu, loads, jobs):
    rows = [f"{'fault':34} {'folder':20} {'outcome':13} test"]
    for f in faults:
        rows.append(f"{f.name:34} {f.folder:20} {f.outcome:13} {f.test or f.note}")
    rows.append("")
    rows.append(f"{'folder':20} {'caught':>7} {'of':>4} {'rate':>6}   (not counted: equivalent, not run, not compiling)")
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
    rows.append(f"time: {seconds / 60:.1f} min wall, {cpu / 60:.1f} min of processor time "
                f"({jobs} jobs; on an idle machine about {cpu / 60 / jobs:.1f} min wall)")
    rows.append(f"load average (1 min) over the run: from {min(loads):.1f} to {max(loads):.1f}, "
                f"mean {sum(loads) / len(loads):.1f}")
    return "\n".join(rows) + "\n"


if __name__ == "__main__":
    main()
