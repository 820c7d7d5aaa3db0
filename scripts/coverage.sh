#!/usr/bin/env bash
# Line and region coverage of the library and the host by the whole test suite (clang's
# source-based coverage). Usage: scripts/coverage.sh [BUILD_DIR]. Prints one line per source
# folder and the total; the full report per file is left in BUILD_DIR/coverage.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath -m "${1:-build-cov}")
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
bash scripts/apt-install.sh clang-14 llvm-14
FLAGS="-fprofile-instr-generate -fcoverage-mapping"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUAR_BENCH=OFF -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" >/dev/null
cmake --build "$BUILD" -j "$JOBS"
rm -rf "$BUILD/profiles"
mkdir -p "$BUILD/profiles"
LLVM_PROFILE_FILE="$BUILD/profiles/%p-%m.profraw" \
  ctest --test-dir "$BUILD" -j "$JOBS" --output-on-failure >"$BUILD/ctest.log"
llvm-profdata-14 merge -sparse "$BUILD"/profiles/*.profraw -o "$BUILD/coverage.profdata"
objects=()
for t in "$BUILD"/tests/test_* "$BUILD"/tools/quarrow/test_quarrow "$BUILD"/tools/quarrow/quarrow; do
  [ -x "$t" ] && objects+=(-object "$t")
done
llvm-cov-14 report "${objects[@]:1}" -instr-profile="$BUILD/coverage.profdata" \
  -ignore-filename-regex='(/tests/|^/usr/)' >"$BUILD/coverage.txt"
# Columns of the report: file, regions, missed, cover, functions, missed, executed, lines,
# missed, cover, ...
awk -v root="$(pwd)/" '
  $1 ~ /\.(cpp|h)$/ {
    f = $1; sub(root, "", f); n = split(f, p, "/")
    dir = (n > 2) ? p[1] "/" p[2] : p[1]
    lines[dir] += $8; missed[dir] += $9; tl += $8; tm += $9
  }
  END {
    for (d in lines) if (lines[d] > 0) printf "%-22s %6d lines %6.1f%% covered\n", d, lines[d], 100 * (lines[d] - missed[d]) / lines[d]
    printf "%-22s %6d lines %6.1f%% covered\n", "total", tl, 100 * (tl - tm) / tl
  }' "$BUILD/coverage.txt" | sort
