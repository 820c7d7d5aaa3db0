#!/usr/bin/env bash
# Checks the Windows library and the 32-bit arithmetic, also on machines that cannot start 32-bit
# programs:
#   - builds the 32-bit QUAR1432.DLL with MinGW-w64 i686 and checks its import and export tables,
#     its resources and its code (no abort or exception path, no x87 arithmetic);
#   - runs one scenario program (tests/windows/dll_check.cpp) against four builds of the library
#     and compares every printout with the native 64-bit one, line by line:
#       the 64-bit Windows DLL (MinGW-w64 x86_64) under 64-bit Wine: the Windows layer;
#       the 32-bit Linux build (g++ -m32, SSE2) under qemu-i386: the 32-bit arithmetic;
#       the 32-bit Windows DLL under 32-bit Wine, where this system runs 32-bit programs.
# Installs what it needs (once). The last line is the verdict: "windows: N passed, M failed, K
# skipped"; the exit code is non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
ROOT=$(pwd)
WIN_BUILD=${WIN_BUILD:-$ROOT/build-win32}
WIN64_BUILD=${WIN64_BUILD:-$ROOT/build-win64}
I686_BUILD=${I686_BUILD:-$ROOT/build-i686}
NATIVE_BUILD=${NATIVE_BUILD:-$ROOT/build-win32-native}
WINE_BOOT_TIMEOUT=${WINE_BOOT_TIMEOUT:-300}
JOBS=${JOBS:-2}

passed=0
failed=0
skipped=0
pass() { passed=$((passed + 1)); echo "  ok: $*"; }
fail() { failed=$((failed + 1)); echo "  FAILED: $*"; }
skip() { skipped=$((skipped + 1)); echo "  skipped: $*"; }
verdict() {
  echo "windows: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit $?
}

# ---- Tools -----------------------------------------------------------------------------------
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
bash scripts/install-deps.sh || { fail "native build tools"; verdict; }
mkdir -p "$WIN_BUILD" "$WIN64_BUILD" "$I686_BUILD" "$NATIVE_BUILD"

# Wine's 32-bit loader is a 32-bit Linux program; some virtual machines switch the kernel's IA-32
# emulation off. A 93-byte 32-bit program that only exits tells whether one can run here.
PROBE=$WIN_BUILD/ia32-probe
python3 - "$PROBE" <<'PY'
import struct, sys
code = bytes([0xB8, 1, 0, 0, 0, 0x31, 0xDB, 0xCD, 0x80])  # exit(0) through int 0x80
base, size = 0x08048000, 52 + 32 + len(code)
elf = b"\x7fELF\x01\x01\x01" + bytes(9)
elf += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
open(sys.argv[1], "wb").write(elf + code)
PY
chmod +x "$PROBE"
if "$PROBE" 2>/dev/null; then RUNS_32BIT=1; else RUNS_32BIT=0; fi

need=()
for pkg in g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 g++-multilib qemu-user xvfb xauth; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ "$RUNS_32BIT" -eq 1 ]; then
  dpkg -s wine >/dev/null 2>&1 || need+=(wine)
  dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing ${need[*]}"
  if [[ " ${need[*]} " == *":i386 "* ]]; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null ||
    { fail "installing ${need[*]}"; verdict; }
fi

# ---- Builds ----------------------------------------------------------------------------------
# Configures and builds in $1 with the toolchain file $2 (none: native); the rest are targets.
# Passes when the build succeeds without a warning.
build() {
  local dir=$1 toolchain=$2 what=$3
  shift 3
  local log=$dir/build.log options=()
  [ -n "$toolchain" ] && options+=(-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain")
  if cmake -S . -B "$dir" "${options[@]}" -DCMAKE_BUILD_TYPE=Release -DQUAR_TESTS=OFF \
       -DQUAR_BENCH=OFF -DQUAR_TOOLS=OFF >"$log" 2>&1 &&
     cmake --build "$dir" -j "$JOBS" --target "$@" >>"$log" 2>&1 && ! grep -q 'warning:' "$log"; then
    pass "$what built without warnings"
  else
    grep -E 'error|warning' "$log" | head -20
    fail "$what (see $log)"
    verdict
  fi
}

echo "== building"
build "$WIN_BUILD" mingw-i686.cmake "32-bit QUAR1432.DLL and its check programs" quar1432 dll_check \
  title_check
build "$WIN64_BUILD" mingw-x86_64.cmake "64-bit QUAR1432.DLL and its check programs" quar1432 \
  dll_check title_check
build "$NATIVE_BUILD" "" "native libquar1432.so" quar1432
build "$I686_BUILD" linux-i686.cmake "32-bit Linux library" quar_static
DLL=$WIN_BUILD/QUAR1432.DLL

# The scenario against the native library through dlopen, and linked in statically for i686 Linux
# so that the emulator needs no 32-bit loader or libraries.
SCENARIO_FLAGS=(-std=c++20 -O1 -Wall -Wextra -Werror -ffp-contract=off -I include)
if c++ "${SCENARIO_FLAGS[@]}" tests/windows/dll_check.cpp -o "$NATIVE_BUILD/dll_check" -ldl \
     >>"$NATIVE_BUILD/build.log" 2>&1 &&
   c++ -m32 -msse2 -mfpmath=sse "${SCENARIO_FLAGS[@]}" -DQUAR_LINKED tests/windows/dll_check.cpp \
     "$I686_BUILD/libquar_static.a" -static -o "$I686_BUILD/dll_check" >>"$I686_BUILD/build.log" 2>&1
then
  pass "native and 32-bit Linux scenario programs built"
else
  fail "scenario programs (see $NATIVE_BUILD/build.log, $I686_BUILD/build.log)"
  verdict
fi

# ---- The DLLs' tables ------------------------------------------------------------------------
echo "== import and export tables, resources, code"
# $1: objdump, $2: DLL, $3: its name in the messages.
check_tables() {
  local objdump=$1 dll=$2 name=$3 imports others exports wanted
  imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}' | sort -u | tr '\n' ' ')
  others=$(echo "$imports" | tr ' ' '\n' | grep -v -x -E 'kernel32.dll|user32.dll|msvcrt.dll|' || true)
  if [ -z "$others" ]; then pass "$name imports only system DLLs: $imports"; else
    fail "$name imports other DLLs: $others"; fi

  # "[  30] InitBP" in the name table: ordinal = index + 1 (the ordinal base is 1).
  exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
    on && /^[ \t]*\[ *[0-9]+\] / {gsub(/[\[\]]/, ""); print $2, $1 + 1; next} on && NF == 0 {on=0}' |
    sort)
  wanted=$(awk '$2 ~ /^@[0-9]+$/ {sub("@", "", $2); print $1, $2}' src/addin/quar1432.def | sort)
  if [ "$(echo "$exports" | wc -l)" -eq 36 ] && [ "$exports" = "$wanted" ]; then
    pass "$name: 36 undecorated exports at their ordinals"
  else
    diff <(echo "$wanted") <(echo "$exports") | head -10
    fail "$name: export table differs from quar1432.def"
  fi
}
check_tables i686-w64-mingw32-objdump "$DLL" "32-bit DLL"
check_tables x86_64-w64-mingw32-objdump "$WIN64_BUILD/QUAR1432.DLL" "64-bit DLL"

# The bytes of arguments each __stdcall export removes from the stack, as the add-in passes them
# (short, long and pointers take 4 bytes, doubles 8); xSetColumn is __cdecl and removes none.
# The compiler writes the count into each export's object-file name (_InitBP@48).
conventions=$(find "$WIN_BUILD/CMakeFiles/quar_objects.dir" -name '*.obj' \
  -exec i686-w64-mingw32-nm -g --defined-only {} + |
  awk '$2 == "T" && $3 !~ /^__Z|^_DllMain@/ {sub("^_", "", $3); sub("@", " ", $3); print $3}' | sort)
expected=$(sort <<'EOF2'
WEP 4
CkArray 4
Init 44
SetWeights 8
RandomizeWeights 16
SetColumn 12
SetParams 40
RunNet 8
GetWeights 4
GetOutputs 4
CleanUp 0
Parse 16
GetParsed 0
DBWndProc 16
TestArray 4
GetBlankFlags 0
WeightHistStr 20
SetEnhanced 36
PlotError 0
SetCutoffs 24
InitSuper 52
InitPop 20
TrainNextSchema 32
GenNextPop 36
UnloadPop 0
ReloadPop 4
GetSchema 8
SelectDataMode 16
SetColumnEx 16
GetOutputsEx 12
InitBP 48
TestXLOPER 4
ReturnXLOPER 4
CountSymbols 4
InitQRWTitle 0
xSetColumn
EOF2
)
if [ "$conventions" = "$expected" ]; then
  pass "calling conventions: 35 exports remove their arguments' bytes, xSetColumn none"
else
  diff <(echo "$expected") <(echo "$conventions") | head -10
  fail "calling conventions or argument sizes differ"
fi

# The library's own code calls nothing that could end the process or raise.
fatal=$(find "$WIN_BUILD/CMakeFiles/quar_objects.dir" -name '*.obj' -exec i686-w64-mingw32-nm -u {} + |
  grep -E '_(abort|exit|_exit|_assert|raise)$|__cxa_|_Unwind_|terminate' | sort -u || true)
if [ -z "$fatal" ]; then pass "no abort, exit or exception path in the library's code"; else
  fail "library code refers to: $(echo "$fatal" | tr '\n' ' ')"; fi

# The 32-bit code computes doubles in SSE2 registers only. x87 instructions may load, store,
# compare and take magnitudes (all exact); the one arithmetic allowed is the add of 2^64 that
# follows a 64-bit integer load when an unsigned 64-bit value is converted (exact as well).
# $1: objdump, $2: object directory. Prints the offending instructions, one per line.
x87_arithmetic() {
  find "$2" -name '*.o' -o -name '*.obj' | sort | xargs "$1" -d --no-show-raw-insn |
    awk '/^[0-9a-f]+ <[^.].*>:$/ {fn = $2}
         $2 ~ /^fild/ {fild = NR}
         $2 ~ /^(f(add|sub|mul|div|sqrt|sin|cos|sincos|ptan|patan|2xm1|yl2x|scale|prem|rndint|xtract)|fi(add|sub|mul|div))/ {
           if ($2 ~ /^fadd/ && NR - fild <= 3) next
           print $2, "in", fn
         }' | sort -u
}
check_x87() {
  local x87
  x87=$(x87_arithmetic "$1" "$2/CMakeFiles/quar_objects.dir")
  if [ -z "$x87" ]; then pass "$3: no x87 arithmetic"; else
    fail "$3: x87 arithmetic: $(echo "$x87" | head -5 | tr '\n' ';')"; fi
}
check_x87 i686-w64-mingw32-objdump "$WIN_BUILD" "32-bit DLL"
check_x87 objdump "$I686_BUILD" "32-bit Linux library"

if strings -el "$DLL" | grep -q 'Quarrow v1.42' && strings -el "$DLL" | grep -q 'MS Sans Serif' &&
   strings -el "$DLL" | grep -q '^1.42$'; then
  pass "title dialog and version resources present"
else
  fail "title dialog or version resource missing"
fi

# ---- The scenario ----------------------------------------------------------------------------
# $1: printout, $2: what ran it; $3: its exit status. Compares the printout with the native one.
compare() {
  local out=$1 what=$2 status=$3
  if [ "$status" -eq 0 ]; then pass "$what: $(tail -1 "$out")"; else
    grep FAILED "$out" | head; fail "$what (exit $status): $(tail -1 "$out")"; fi
  if diff -u "$NATIVE_OUT" "$out" >"$out.diff"; then
    pass "$what: printout identical to the native one ($(wc -l <"$NATIVE_OUT") lines)"
  else
    head -20 "$out.diff"
    fail "$what: printout differs from the native one (see $out.diff)"
  fi
}

echo "== scenario, native 64-bit"
NATIVE_OUT=$NATIVE_BUILD/dll_check.txt
if "$NATIVE_BUILD/dll_check" "$NATIVE_BUILD/libquar1432.so" >"$NATIVE_OUT" 2>&1; then
  pass "native scenario: $(tail -1 "$NATIVE_OUT")"
else
  grep FAILED "$NATIVE_OUT" | head; fail "native scenario: $(tail -1 "$NATIVE_OUT")"
fi

echo "== scenario, 32-bit Linux build under qemu-i386"
I686_OUT=$I686_BUILD/dll_check.txt
timeout 300 qemu-i386 "$I686_BUILD/dll_check" linked >"$I686_OUT" 2>&1
compare "$I686_OUT" "32-bit Linux scenario" $?

# $1: build directory, $2: WINEARCH, $3: the Wine loader, $4: the wineserver. Creates the
# build's Wine prefix when needed, runs dll_check.exe against the DLL and compares the printouts,
# then loads the DLL once more on a virtual display to see its title window.
run_under_wine() {
  local dir=$1 arch=$2 wine=$3 server=$4 what=$5 out=$1/dll_check.txt started status
  local -x WINEPREFIX=$dir/wineprefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$arch" = win64 ]; then local -x WINELOADER=$wine WINESERVER=$server; fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    started=$(date +%s)
    timeout "$WINE_BOOT_TIMEOUT" "$wine" wineboot --init >/dev/null 2>&1
    echo "  (Wine prefix created in $(($(date +%s) - started)) s)"
  fi
  if ! timeout 120 "$wine" cmd /c exit 0 >/dev/null 2>&1; then
    "$server" -k >/dev/null 2>&1 || true
    fail "$what: Wine did not start within its time"
    return
  fi
  cp "$dir/tests/windows/dll_check.exe" "$dir/dll_check.exe"
  (cd "$dir" && timeout 300 "$wine" dll_check.exe QUAR1432.DLL) 2>/dev/null | tr -d '\r' >"$out"
  status=${PIPESTATUS[0]}
  "$server" -k >/dev/null 2>&1 || true
  compare "$out" "$what" "$status"

  cp "$dir/tests/windows/title_check.exe" "$dir/title_check.exe"
  # shellcheck disable=SC2016 # expanded by the inner shell
  (cd "$dir" && timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
    sh -c '"$0" title_check.exe QUAR1432.DLL; status=$?; "$1" -w; exit $status' "$wine" "$server") \
    2>"$dir/title_check.log" | tr -d '\r' >"$dir/title_check.txt"
  status=${PIPESTATUS[0]}
  "$server" -k >/dev/null 2>&1 || true
  if [ "$status" -eq 0 ]; then pass "$what: $(tr '\n' ' ' <"$dir/title_check.txt")"; else
    fail "$what: title window (exit $status): $(tr '\n' ' ' <"$dir/title_check.txt")"; fi
}

# Debian's wine command starts the 32-bit loader whenever wine32 is installed; the 64-bit loader
# is called by its own name.
echo "== scenario, 64-bit Windows DLL under 64-bit Wine"
run_under_wine "$WIN64_BUILD" win64 /usr/lib/wine/wine64 /usr/lib/wine/wineserver64 \
  "64-bit Windows scenario"

echo "== scenario, 32-bit Windows DLL under Wine"
if [ "$RUNS_32BIT" -eq 0 ]; then
  skip "32-bit Wine: this system runs no 32-bit programs"
  verdict
fi
if ! timeout 30 wine --version >/dev/null 2>&1; then
  fail "wine does not start"
  verdict
fi
run_under_wine "$WIN_BUILD" win32 wine wineserver "32-bit Windows scenario"
verdict
