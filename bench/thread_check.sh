#!/usr/bin/env bash
# Runs the benchmark with the default threads and with one thread, first on
# an idle machine, then while another process holds a core.
#   bench/thread_check.sh [BENCH] [SIZES] [KINDS] [PIECES]
set -euo pipefail
bench=${1:-build/release/bench/lscm_bench}
sizes=${2:-20000,200000}
kinds=${3:-wavy,cap}
pieces=${4:-1,47}

run() {
    "$bench" --no-cgal --no-verify --timeout 600 --sizes "$sizes" \
        --kinds "$kinds" --pieces "$pieces" | sed "s/^/  /"
}

for load in idle busy; do
    spinner=""
    if [[ $load == busy ]]; then
        (while :; do :; done) &
        spinner=$!
    fi
    echo "== $load machine, default threads"
    run
    echo "== $load machine, one thread (OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1)"
    OMP_NUM_THREADS=1 OPENBLAS_NUM_THREADS=1 run
    if [[ -n $spinner ]]; then
        kill "$spinner"
    fi
done
