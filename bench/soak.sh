#!/usr/bin/env bash
# The soak: the whole program for an hour (or the seconds given) with receiver 1 on a
# pseudo-terminal and receiver 2 over UDP, both at 300,000 bytes/s of frames, the feed at
# 2,000 lines/s, logging on; one line a minute, then frames lost against what was sent,
# memory growth after the first minute, file descriptors and threads at start and end.
# Usage: bench/soak.sh [SECONDS]   (writes build/soak.log too)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target line_rate_bench
build/release/bench/line_rate_bench --soak --seconds "${1:-3600}" 2>&1 |
  grep --line-buffered -v '^QStandardPaths' |
  tee build/soak.log
