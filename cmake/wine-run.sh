#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix, quietly.
# The test script sets DISPLAY and WINEPREFIX; defaults suit a manual run.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
exec wine "$@"
