#!/usr/bin/env bash
# Points Wine's browser launcher at a recording stand-in for the end-to-end
# test, and takes it away again.
#   stand_in_browser.sh install DIR WINE_RUN   writes DIR/record-browser.sh, which
#       appends each argument it is started with to DIR/opened-links.txt,
#       and names it in HKCU\Software\Wine\WineBrowser\Browsers
#   stand_in_browser.sh remove DIR WINE_RUN    deletes that registry value
set -euo pipefail
action=$1 dir=$2 wine_run=$3
key='HKCU\Software\Wine\WineBrowser'
case $action in
  install)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)  # winebrowser runs in the program's folder
    : > "$dir/opened-links.txt"
    cat > "$dir/record-browser.sh" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >> '$dir/opened-links.txt'
SCRIPT
    chmod +x "$dir/record-browser.sh"
    "$wine_run" reg add "$key" /v Browsers /d "$dir/record-browser.sh" /f >/dev/null
    ;;
  remove)
    "$wine_run" reg delete "$key" /v Browsers /f >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 install|remove DIR WINE_RUN" >&2
    exit 2
    ;;
esac
