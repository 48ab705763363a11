#!/usr/bin/env bash
# Instructions per operation of every path and of its floor, counted by callgrind: the same from
# run to run, where timings on a shared machine are not. Prints a table like nelk_bench's own.
#   bench/instructions.sh [BUILD_DIR [nelk_bench options, e.g. --benchmark_filter=slot]]
# BUILD_DIR (default build-bench) holds bin/nelk_bench, built with NELK_BUILD_BENCHMARKS=ON.
set -euo pipefail
build=${1:-build-bench}
shift || true
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# nelk_bench collects only its measured loops and dumps the count after each, labelled
# "nelk <benchmark> <iterations>".
valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$out/count.%p" \
    "$build/bin/nelk_bench" --benchmark_min_time=0.01 "$@" >"$out/log" 2>&1 || {
    cat "$out/log"
    exit 1
}

# Dumps in the order they were written; of the runs of one benchmark the longest counts.
cd "$out"
find . -name 'count.*.*' | sort -t. -k4,4n | xargs awk '
    /^desc: Trigger: Client Request: nelk / {
        label = substr($0, index($0, "nelk ") + 5)
        iterations = label
        sub(/.* /, "", iterations)
        sub(/ [0-9]+$/, "", label)
    }
    /^totals:/ {
        if (label == "") next
        if (!(label in runs)) order[++count] = label
        if (iterations + 0 >= runs[label] + 0) {
            runs[label] = iterations
            perOperation[label] = $2 / iterations
        }
        label = ""
    }
    END {
        print "| path | instructions/op | floor instructions/op | ratio |"
        print "|---|---|---|---|"
        for (i = 1; i <= count; ++i) {
            name = order[i]
            if (name !~ /\/component/) continue
            floor = name
            sub(/\/component/, "/floor", floor)
            if (!(floor in perOperation)) continue
            path = name
            sub(/\/component/, "", path)
            printf "| %s | %.0f | %.0f | %.2f |\n", path, perOperation[name], perOperation[floor],
                   perOperation[name] / perOperation[floor]
        }
    }'
