#!/usr/bin/env bash
# tools/win32/run.sh as an author's CI meets it: a program's own status comes back, what is no
# 32-bit program is refused (126) rather than passed, a hang is killed (124), and the opt-out
# skips loudly (125).
#   win32_runner_test.sh RUNNER BIN_DIR WORK_DIR
set -uo pipefail
run=$1 bin=$2 work=$3
failures=0
rm -rf "$work" && mkdir -p "$work"

# expect NAME STATUS PATTERN COMMAND...: the command ends with STATUS and its output holds PATTERN.
expect() {
    local name=$1 status=$2 pattern=$3 output actual
    shift 3
    output=$("$@" 2>&1)
    actual=$?
    if [ $actual -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$output"; then
        echo "FAIL $name: status $actual (expected $status), output:"
        echo "$output" | sed 's/^/    /'
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

printf 'not a program\n' >"$work/text.exe"
# A PE header for x86-64 (machine 0x8664) after a DOS header that points at it.
python3 - "$work/x64.exe" <<'PY'
import struct, sys
image = bytearray(512)
image[0:2] = b"MZ"
struct.pack_into("<I", image, 60, 128)
image[128:132] = b"PE\0\0"
struct.pack_into("<H", image, 132, 0x8664)
open(sys.argv[1], "wb").write(image)
PY

expect "the program's own status" 2 "usage: visual_cpp_host" "$run" "$bin/visual_cpp_host.exe"
expect "a missing program" 126 "no such program" "$run" "$work/missing.exe"
expect "a text file" 126 "is not a Windows program" "$run" "$work/text.exe"
expect "a 64-bit program" 126 "another machine, not 32-bit x86" "$run" "$work/x64.exe"
expect "a DLL" 126 "is a DLL, not a program" "$run" "$bin/Corvane.dll"
expect "the opt-out" 125 "SKIPPED .*NELK_WIN32_SKIP" env NELK_WIN32_SKIP=1 "$run" "$bin/visual_cpp_host.exe"
# The prompt waits for input that a sleeping writer never sends.
exec 7< <(sleep 60)
writer=$!
expect "a hang" 124 "did not end within 3 s" env NELK_WIN32_TIMEOUT=3 "$run" "$bin/nelk-host.exe" repl <&7
exec 7<&-
kill "$writer" 2>/dev/null
[ $failures -eq 0 ] && echo "every case held"
exit $((failures != 0))
