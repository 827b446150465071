#!/bin/sh
# Times the plug-in workloads of two builds one after the other, several rounds, so that both see
# the same machine load:  bench/compare_plugins.sh OLD.so NEW.so [ROUNDS] [BENCH]
# BENCH is the bench program (default build/vorpalix_bench). Prints one line per run:
# round, which build, benchmark, real-time factor.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: $0 OLD.so NEW.so [ROUNDS] [BENCH]" >&2
    exit 2
fi
old=$1
new=$2
rounds=${3:-3}
bench=${4:-build/vorpalix_bench}
for f in "$old" "$new" "$bench"; do
    if [ ! -r "$f" ]; then
        echo "$0: cannot read $f" >&2
        exit 1
    fi
done
round=1
while [ "$round" -le "$rounds" ]; do
    for which in old new; do
        if [ "$which" = old ]; then so=$old; else so=$new; fi
        VORPALIX_BENCH_PLUGIN=$so "$bench" --benchmark_filter='BM_Plugin' \
            --benchmark_format=csv 2>/dev/null |
            awk -F, -v r="$round" -v w="$which" \
                '/^"BM_Plugin/ { gsub(/"/, "", $1); sub(/\/min_time.*/, "", $1);
                                 printf "%d %s %-20s %8.1fx\n", r, w, $1, $NF }'
    done
    round=$((round + 1))
done
