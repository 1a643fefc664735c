#!/usr/bin/env bash
# Sets up, builds the release preset and runs every benchmark; each prints
# its figures beside a baseline measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release

build=build/linux-release
echo "== text toolkit (64 MiB texts; baselines: memmem, memcpy)"
"$build/bench/text/text_bench"
echo "== regex matcher (16 MiB listing page; baseline: a bare PCRE2 JIT loop)"
"$build/bench/regex/regex_bench"
echo "== http_fetch (256 MiB body; baseline: curl -s -o /dev/null)"
bash bench/net/run_fetch_bench.sh "$build" 256 5
echo "== start-up to a filled list (baseline: curl | grep -oP)"
cmake --build --preset linux-release --target app_startup_bench
