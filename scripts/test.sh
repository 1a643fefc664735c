#!/usr/bin/env bash
# Sets up the machine, builds both targets and the fuzz targets, and runs
# every test: Linux under ASan and UBSan, Windows under Wine on a virtual X
# display, and a bounded run of each fuzz target over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/lib/session.sh
qn_start_display
qn_start_wine

for preset in linux windows fuzz; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

failed=()
for preset in linux windows fuzz; do
  echo "== $preset: tests"
  ctest --preset "$preset" || failed+=("$preset")
done
if ((${#failed[@]})); then
  echo "FAILED: tests of ${failed[*]}"
  exit 1
fi
echo "All tests of linux, windows and fuzz passed."
