#!/usr/bin/env bash
# Sets up the machine, builds the Linux program (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release --target quennick
exec build/linux-release/src/app/gtk/quennick
