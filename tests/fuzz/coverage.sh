#!/usr/bin/env bash
# Line coverage of src/ by the fuzz targets: builds them for llvm-cov in a tree
# of their own, replays each target's corpus once (the corpus `make fuzz` grew,
# or the seeds when there is none) and prints llvm-cov's report for src/.
#
#   coverage.sh <coverage build tree> [fuzz build tree whose corpora to replay]
set -euo pipefail

tree=$1
fuzz_tree=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
profdata=$(command -v llvm-profdata || command -v llvm-profdata-14)
cov=$(command -v llvm-cov || command -v llvm-cov-14)

CC=clang CXX=clang++ cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREELO_BUILD_FUZZ=ON \
  -DREELO_FUZZ_COVERAGE=ON -DREELO_BUILD_UI=OFF -DREELO_BUILD_TESTS=OFF >/dev/null
cmake --build "$tree" -j "$(nproc)" >/dev/null

rm -rf "$tree/profiles" && mkdir -p "$tree/profiles"
objects=()
for seeds in "$here"/corpus/*/; do
  t=$(basename "$seeds")
  corpus=$seeds
  if [ -n "$fuzz_tree" ] && [ -d "$fuzz_tree/corpus/$t" ]; then corpus="$fuzz_tree/corpus/$t"; fi
  LLVM_PROFILE_FILE="$tree/profiles/$t.profraw" "$tree/tests/fuzz/$t" -runs=0 "$corpus" >/dev/null 2>&1
  objects+=(-object "$tree/tests/fuzz/$t")
done
"$profdata" merge -sparse "$tree"/profiles/*.profraw -o "$tree/profiles/all.profdata"
"$cov" report -instr-profile="$tree/profiles/all.profdata" "${objects[@]:1}" "$root/src"
