#!/bin/sh
# Instructions per frame of a plug-in workload, counted by callgrind: the difference of a 2-second
# and a 1-second run divided by the frames in between, so that loading and set-up drop out.
#   bench/instructions_per_frame.sh PLUGIN.so busy|idle|factory BLOCK [BENCH]
set -eu
if [ $# -lt 3 ]; then
    echo "usage: $0 PLUGIN.so busy|idle|factory BLOCK [BENCH]" >&2
    exit 2
fi
so=$1
workload=$2
block=$3
bench=${4:-build/vorpalix_bench}
if [ ! -r "$so" ] || [ ! -x "$bench" ]; then
    echo "$0: cannot read $so or run $bench" >&2
    exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
count() { # seconds -> "instructions frames"
    VORPALIX_BENCH_PLUGIN=$so valgrind --tool=callgrind --callgrind-out-file="$tmp/out" \
        "$bench" --render "$workload" "$block" "$1" >"$tmp/frames" 2>"$tmp/log"
    ir=$(sed -n 's/^summary: //p' "$tmp/out")
    frames=$(sed -n 's/ frames$//p' "$tmp/frames")
    echo "$ir $frames"
}
set -- $(count 1) $(count 2)
awk -v i1="$1" -v f1="$2" -v i2="$3" -v f2="$4" \
    'BEGIN { printf "%.0f instructions per frame\n", (i2 - i1) / (f2 - f1) }'
