#!/usr/bin/env bash
# Builds the release preset and runs the benchmarks; each prints its figures
# beside a baseline measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset linux-release >/dev/null && cmake --build --preset linux-release --target app_startup_bench
