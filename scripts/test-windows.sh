#!/usr/bin/env bash
# Builds the 32-bit Windows library QUAR1432.DLL with MinGW-w64, checks its import and export
# tables and resources, and runs the same scenario program twice: natively against
# libquar1432.so and under Wine against the DLL. The two printouts must be identical.
# Installs what it needs (once). The last line is the verdict: "windows: N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
WIN_BUILD=${WIN_BUILD:-$ROOT/build-win32}
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
mkdir -p "$WIN_BUILD"

# Wine's loader is a 32-bit Linux program; some virtual machines switch the kernel's IA-32
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
dpkg -s g++-mingw-w64-i686 >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
if [ "$RUNS_32BIT" -eq 1 ]; then
  dpkg -s wine >/dev/null 2>&1 || need+=(wine)
  dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "== installing ${need[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null ||
    { fail "installing ${need[*]}"; verdict; }
fi

# ---- Builds ----------------------------------------------------------------------------------
echo "== building QUAR1432.DLL"
cmake -S . -B "$WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$WIN_BUILD.log" 2>&1 &&
  cmake --build "$WIN_BUILD" -j "$JOBS" --target quar1432 dll_check >>"$WIN_BUILD.log" 2>&1
if [ -f "$WIN_BUILD/QUAR1432.DLL" ] && [ -f "$WIN_BUILD/tests/windows/dll_check.exe" ] &&
   ! grep -q 'warning:' "$WIN_BUILD.log"; then
  pass "QUAR1432.DLL and dll_check.exe built without warnings"
else
  grep -E 'error|warning' "$WIN_BUILD.log" | head -20
  fail "cross build (see $WIN_BUILD.log)"
  verdict
fi
DLL=$WIN_BUILD/QUAR1432.DLL

echo "== building the native library and scenario"
cmake -S . -B "$NATIVE_BUILD" -DQUAR_TESTS=OFF -DQUAR_BENCH=OFF -DQUAR_TOOLS=OFF >"$NATIVE_BUILD.log" 2>&1 &&
  cmake --build "$NATIVE_BUILD" -j "$JOBS" --target quar1432 >>"$NATIVE_BUILD.log" 2>&1 &&
  c++ -std=c++20 -O1 -Wall -Wextra -I include tests/windows/dll_check.cpp \
    -o "$NATIVE_BUILD/dll_check" -ldl >>"$NATIVE_BUILD.log" 2>&1
if [ -x "$NATIVE_BUILD/dll_check" ]; then pass "native library and scenario built"; else
  fail "native build (see $NATIVE_BUILD.log)"; verdict; fi

# ---- The DLL's tables ------------------------------------------------------------------------
echo "== import and export tables, resources"
OBJDUMP=i686-w64-mingw32-objdump
imports=$($OBJDUMP -p "$DLL" | awk '/DLL Name:/ {print tolower($3)}' | sort -u | tr '\n' ' ')
others=$(echo "$imports" | tr ' ' '\n' | grep -v -x -E 'kernel32.dll|user32.dll|msvcrt.dll|' || true)
if [ -z "$others" ]; then pass "imports only system DLLs: $imports"; else
  fail "imports other DLLs: $others"; fi

# "[  30] InitBP" in the name table: ordinal = index + 1 (the ordinal base is 1).
exports=$($OBJDUMP -p "$DLL" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
  on && /^[ \t]*\[ *[0-9]+\] / {gsub(/[\[\]]/, ""); print $2, $1 + 1; next} on && NF == 0 {on=0}' | sort)
wanted=$(awk '$2 ~ /^@[0-9]+$/ {sub("@", "", $2); print $1, $2}' src/addin/quar1432.def | sort)
if [ "$(echo "$exports" | wc -l)" -eq 36 ] && [ "$exports" = "$wanted" ]; then
  pass "36 undecorated exports at their ordinals"
else
  diff <(echo "$wanted") <(echo "$exports") | head -10
  fail "export table differs from quar1432.def"
fi

# The library's own code calls nothing that could end the process or raise.
fatal=$(find "$WIN_BUILD/CMakeFiles/quar_objects.dir" -name '*.obj' -exec i686-w64-mingw32-nm -u {} + |
  grep -E '_(abort|exit|_exit|_assert|raise)$|__cxa_|_Unwind_|terminate' | sort -u || true)
if [ -z "$fatal" ]; then pass "no abort, exit or exception path in the library's code"; else
  fail "library code refers to: $(echo $fatal)"; fi

if strings -el "$DLL" | grep -q 'Quarrow v1.42' && strings -el "$DLL" | grep -q 'MS Sans Serif' &&
   strings -el "$DLL" | grep -q '^1.42$'; then
  pass "title dialog and version resources present"
else
  fail "title dialog or version resource missing"
fi

# ---- The scenario ----------------------------------------------------------------------------
echo "== scenario, native"
NATIVE_OUT=$NATIVE_BUILD/dll_check.txt
if "$NATIVE_BUILD/dll_check" "$NATIVE_BUILD/libquar1432.so" >"$NATIVE_OUT" 2>&1; then
  pass "native scenario: $(tail -1 "$NATIVE_OUT")"
else
  grep FAILED "$NATIVE_OUT" | head; fail "native scenario: $(tail -1 "$NATIVE_OUT")"
fi

echo "== scenario, Windows DLL under Wine"
export WINEPREFIX=$WIN_BUILD/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$RUNS_32BIT" -eq 0 ]; then
  skip "Wine cannot run here: this system runs no 32-bit programs"
  verdict
fi
if ! timeout 30 wine --version >/dev/null 2>&1; then
  fail "wine does not start"
  verdict
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "  (creating the Wine prefix; the first time takes a while)"
  timeout "$WINE_BOOT_TIMEOUT" wineboot -i >/dev/null 2>&1
fi
if ! timeout 120 wine cmd /c exit 0 >/dev/null 2>&1; then
  wineserver -k >/dev/null 2>&1 || true
  skip "Wine did not start within its time"
  verdict
fi
cp "$WIN_BUILD/tests/windows/dll_check.exe" "$WIN_BUILD/dll_check.exe"
WINE_OUT=$WIN_BUILD/dll_check.txt
(cd "$WIN_BUILD" && timeout 300 wine dll_check.exe QUAR1432.DLL) 2>/dev/null | tr -d '\r' >"$WINE_OUT"
status=${PIPESTATUS[0]}
if [ "$status" -eq 0 ]; then pass "Wine scenario: $(tail -1 "$WINE_OUT")"; else
  grep FAILED "$WINE_OUT" | head; fail "Wine scenario (exit $status): $(tail -1 "$WINE_OUT")"; fi
if diff -u "$NATIVE_OUT" "$WINE_OUT" >"$WIN_BUILD/dll_check.diff"; then
  pass "Windows and native printouts identical ($(wc -l <"$NATIVE_OUT") lines)"
else
  head -20 "$WIN_BUILD/dll_check.diff"
  fail "Windows and native printouts differ (see $WIN_BUILD/dll_check.diff)"
fi
wineserver -k >/dev/null 2>&1 || true
verdict
