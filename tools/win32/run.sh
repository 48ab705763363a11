#!/usr/bin/env bash
# nelk-win32-run: runs a 32-bit Windows program (i686 PE) on this Linux machine, under Debian's
# own 32-bit wine, and exits with the program's own status.
#
#   nelk-win32-run PROGRAM [ARGS...]   run PROGRAM; its output is its own, nothing of wine's
#   nelk-win32-run --probe             say whether this machine can run one, and why not; fetches nothing
#   nelk-win32-run --prepare           fetch wine and make the prefix, run nothing
#   nelk-win32-run --stop              stop the prefix's wine server
#
# On first use wine32 and what it needs are fetched with apt-get into a private apt state and
# unpacked into a cache folder; nothing is installed into the system. The only system pieces used
# are the 32-bit loader and C library of the amd64 package libc6-i386. Later runs reuse the cache;
# a cache that is missing or incomplete is fetched again.
#
# Environment:
#   NELK_WIN32_CACHE    the cache folder (default ${XDG_CACHE_HOME:-$HOME/.cache}/nelk-win32)
#   NELK_WIN32_TIMEOUT  seconds a program may run before it is killed (default 600; 0: no limit)
#   NELK_WIN32_LINGER   seconds the wine server stays up after its last program (default 60)
#   NELK_WIN32_SKIP     set to 1 to skip every program, loudly, with status 125
#   WINEDEBUG           wine's debug channels; -all unless set
#
# Exit status: the program's own; 124 when it was killed at the timeout; 125 when this machine
# cannot run 32-bit Windows programs (the reason is printed); 126 when the program could not be
# started (not a 32-bit Windows program, or wine could not start it).
set -uo pipefail

me=nelk-win32-run
cache=${NELK_WIN32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/nelk-win32}
root=$cache/root
prefix=$cache/prefix
wine=$root/usr/lib/wine/wine
server=$root/usr/lib/wine/wineserver32

say() { echo "$me: $*" >&2; }
cannot() { say "$*"; say "32-bit Windows programs cannot run on this machine"; exit 125; }

# The kernel runs i386 programs if the 32-bit loader does; wine needs that loader anyway.
probe_kernel() {
    case $(uname -m) in
    x86_64 | i?86) ;;
    *) cannot "this is a $(uname -m) machine; wine runs 32-bit Windows programs only on x86" ;;
    esac
    [ -e /lib/ld-linux.so.2 ] ||
        cannot "the 32-bit loader /lib/ld-linux.so.2 is missing: install Debian's libc6-i386 (apt-get install libc6-i386)"
    local output
    if ! output=$(/lib/ld-linux.so.2 --version 2>&1); then
        cannot "this kernel does not run 32-bit x86 programs (/lib/ld-linux.so.2: ${output:-exec failed}); it needs IA32 emulation"
    fi
}

probe_tools() {
    local tool
    for tool in apt-get dpkg-deb flock timeout python3; do
        command -v "$tool" >/dev/null ||
            cannot "$tool is missing; wine is fetched from Debian's archive with apt-get and unpacked with dpkg-deb"
    done
}

# fetch_wine: wine32 and every package it needs, downloaded into a private apt state (its own
# architecture list, package lists and an empty status file, so that every dependency is taken)
# and unpacked into $root. Packages are never installed into the system: there they would
# upgrade the image's own amd64 libraries to match.
fetch_wine() {
    local apt=$cache/apt
    rm -rf "$root" "$prefix" "$apt"
    mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$root" || cannot "cannot make $cache"
    : >"$apt/state/status"
    cat >"$apt/apt.conf" <<EOF
APT::Architecture "i386";
APT::Architectures { "i386"; };
Dir::State "$apt/state";
Dir::State::lists "$apt/state/lists";
Dir::State::status "$apt/state/status";
Dir::Cache "$apt/cache";
Dir::Cache::archives "$apt/cache/archives";
APT::Install-Recommends "false";
EOF
    say "fetching Debian's wine32 into $cache (once; about 140 MB)"
    local log=$cache/fetch.log
    # A mirror being synced fails an index now and then ("File has unexpected size"): tried again
    # after a pause; an update that still fails for one index (the security one, say) leaves the
    # others, from which wine32 may still be had, so only a download that fails is fatal.
    local tries=0 updated=no
    : >"$log"
    while [ $tries -lt 3 ]; do
        tries=$((tries + 1))
        if APT_CONFIG=$apt/apt.conf apt-get -q update >>"$log" 2>&1; then
            updated=yes
            break
        fi
        [ $tries -lt 3 ] && sleep $((tries * 10))
    done
    [ $updated = yes ] || say "apt-get update failed $tries times (an index of the archive; $log); trying the download anyway"
    if ! APT_CONFIG=$apt/apt.conf apt-get -q -y -d install wine32 >>"$log" 2>&1; then
        tail -n 5 "$log" >&2
        if [ $updated = yes ]; then
            cannot "wine32 could not be downloaded ($log)"
        fi
        cannot "Debian's archive cannot be reached (apt-get update failed; $log)"
    fi
    local package
    for package in "$apt"/cache/archives/*.deb; do
        # The system's libc6-i386 gives the loader; its C library must be the one beside it.
        case ${package##*/} in libc6_*) continue ;; esac
        dpkg-deb -x "$package" "$root" || cannot "cannot unpack ${package##*/}"
    done
    [ -x "$wine" ] && [ -x "$server" ] || cannot "the wine32 package holds no $wine"
    # wine starts the server found beside it; Debian's wrapper there looks in /usr/lib/wine, the
    # system's, which may be another wine's. This tree's own 32-bit server it is.
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$server" >"$root/usr/lib/wine/wineserver" || cannot "cannot write the server's wrapper"
    # What libwine's install script would do: zlib1.dll from libz-mingw-w64, stamped as one of
    # wine's builtin DLLs (its text at offset 64).
    python3 - "$root" <<'EOF' || cannot "cannot put zlib1.dll into wine's library folder"
import sys, pathlib
root = pathlib.Path(sys.argv[1])
for mingw, windows in (("i686-w64-mingw32", "i386-windows"), ("x86_64-w64-mingw32", "x86_64-windows")):
    source = root / "usr" / mingw / "lib" / "zlib1.dll"
    target = root / "usr/lib/i386-linux-gnu/wine" / windows / "zlib1.dll"
    if source.exists() and target.parent.exists():
        image = bytearray(source.read_bytes())
        image[64:96] = b"Wine builtin DLL".ljust(32, b"\0")
        target.write_bytes(bytes(image))
EOF
    rm -rf "$apt/cache/archives"
    touch "$root/.nelk-complete"
}

wine_environment() {
    export WINEPREFIX=$prefix WINEARCH=win32 WINESERVER=$server
    export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
    export LD_LIBRARY_PATH=$root/usr/lib/i386-linux-gnu:$root/lib/i386-linux-gnu${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
    unset DISPLAY WAYLAND_DISPLAY
}

# make_prefix: a win32 prefix, accepted only once a 32-bit program has started in it and
# printed what it was asked to (wine64 in WoW64 mode starts nothing and exits 0).
make_prefix() {
    rm -rf "$prefix"
    local log=$cache/prefix.log
    if ! "$wine" wineboot --init >"$log" 2>&1; then
        tail -n 5 "$log" >&2
        cannot "wine could not make its prefix ($log)"
    fi
    local marker
    marker=$("$wine" cmd /c echo nelk-win32-started 2>>"$log" | tr -d '\r')
    [ "$marker" = nelk-win32-started ] || cannot "wine made a prefix but started no 32-bit program in it ($log)"
    touch "$prefix/.nelk-ready"
}

# prepare: the cache and the prefix, made by one process at a time.
prepare() {
    probe_kernel
    mkdir -p "$cache" || cannot "cannot make $cache"
    exec 9>"$cache/.lock"
    flock 9
    if [ ! -e "$root/.nelk-complete" ] || [ ! -x "$wine" ]; then
        probe_tools
        fetch_wine
    fi
    wine_environment
    [ -e "$prefix/.nelk-ready" ] || make_prefix
    flock -u 9
    exec 9>&-
}

# start_server: one server for the prefix, kept up between programs and ending by itself. When
# it starts, so do wine's own services, which live as long as it does; they are started here on
# /dev/null, since on a program's descriptors they would hold its output open (a caller reading
# it to the end would wait for the server's end).
start_server() {
    if "$server" -p"${NELK_WIN32_LINGER:-60}" </dev/null >/dev/null 2>&1; then
        "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1
    fi
}

# is_win32_program FILE: a PE image for the i386 machine (0x14c) that is a program; 2 for
# another machine, 3 for a DLL, 1 for no PE image at all.
is_win32_program() {
    python3 - "$1" <<'EOF'
import struct, sys
with open(sys.argv[1], "rb") as image:
    data = image.read(4096)
if data[:2] != b"MZ" or len(data) < 64:
    sys.exit(1)
pe = struct.unpack_from("<I", data, 60)[0]
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit(1)
machine, characteristics = struct.unpack_from("<H", data, pe + 4)[0], struct.unpack_from("<H", data, pe + 22)[0]
if machine != 0x14c:
    sys.exit(2)
sys.exit(3 if characteristics & 0x2000 else 0)  # IMAGE_FILE_DLL
EOF
}

run_program() {
    local program=$1
    shift
    [ -f "$program" ] || { say "no such program: $program"; exit 126; }
    is_win32_program "$program"
    case $? in
    0) ;;
    2) say "$program is a Windows program for another machine, not 32-bit x86"; exit 126 ;;
    3) say "$program is a DLL, not a program: give the program that loads it"; exit 126 ;;
    *) say "$program is not a Windows program"; exit 126 ;;
    esac
    prepare
    start_server
    local limit=${NELK_WIN32_TIMEOUT:-600} status
    if [ "$limit" = 0 ]; then
        "$wine" "$program" "$@"
        status=$?
    else
        timeout -k 10 "$limit" "$wine" "$program" "$@"
        status=$?
        if [ $status -eq 124 ] || [ $status -eq 137 ]; then
            say "${program##*/} did not end within $limit s (NELK_WIN32_TIMEOUT) and was killed"
            exit 124
        fi
    fi
    # 0xc0000135 and 0xc0000142 end a process whose DLLs could not be found or initialised.
    if [ $status -eq 53 ] || [ $status -eq 66 ]; then
        say "${program##*/} ended with status $status, which is also how Windows ends a program whose DLLs" \
            "it could not load; WINEDEBUG=err+module shows which"
    fi
    exit $status
}

if [ -n "${NELK_WIN32_SKIP:-}" ] && [ "${NELK_WIN32_SKIP}" != 0 ]; then
    say "SKIPPED ${1:-}: NELK_WIN32_SKIP is set, so no 32-bit Windows program runs"
    exit 125
fi
case ${1:-} in
"" | -h | --help)
    sed -n '2,/^set -uo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    [ -n "${1:-}" ]
    exit
    ;;
--probe)
    probe_kernel
    if [ -e "$root/.nelk-complete" ] && [ -e "$prefix/.nelk-ready" ]; then
        say "this machine runs 32-bit Windows programs (wine in $cache)"
    else
        probe_tools
        say "this machine can run 32-bit Windows programs; wine will be fetched into $cache on first use"
    fi
    ;;
--prepare) prepare && say "ready: wine in $root, prefix $prefix" ;;
--stop)
    [ -x "$server" ] && WINEPREFIX=$prefix "$server" -k 2>/dev/null
    exit 0
    ;;
-*) say "unknown option $1 (see --help)"; exit 2 ;;
*) run_program "$@" ;;
esac
