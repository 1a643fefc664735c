#!/usr/bin/env bash
# Fetches a large body from a loopback server with http_fetch (net_bench_fetch)
# and with `curl -s -o /dev/null` in the same run, alternating, and reports
# the median wall time and peak resident set of each.
#
#   bench/net/run_fetch_bench.sh BUILD_DIR [BODY_MIB] [ROUNDS]
#
# Goals: http_fetch at most 1.15x curl's time; its peak resident set at most
# 1.3x the body plus 32 MiB. Two references are measured beside them, since
# curl writing to /dev/null never holds the body: curl writing the body to a
# file in /dev/shm (the body held in memory), and net_bench_hold, which only
# writes that many bytes into fresh memory in 1024-byte blocks, as the fetch
# does, without any network.
set -euo pipefail
build=${1:?usage: run_fetch_bench.sh BUILD_DIR [BODY_MIB] [ROUNDS]}
mib=${2:-256}
rounds=${3:-5}
server=$build/bench/net/net_bench_server
fetch=$build/bench/net/net_bench_fetch
hold=$build/bench/net/net_bench_hold
for tool in "$server" "$fetch" "$hold" /usr/bin/time curl; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

bytes=$((mib * 1024 * 1024))
work=$(mktemp -d)
shm=/dev/shm/qn-fetch-bench-$$
trap 'kill "$server_pid" 2>/dev/null || true; rm -rf "$work" "$shm"' EXIT
"$server" "$bytes" $((3 * rounds)) > "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/body"

# One measured run: "seconds kilobytes" appended to the named file.
measure() {
  local out=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/one" "$@"
  cat "$work/one" >> "$out"
}
for _ in $(seq "$rounds"); do
  measure "$work/curl" curl -s -o /dev/null "$url"
  measure "$work/fetch" "$fetch" "$url" "$bytes"
  measure "$work/shm" curl -s -o "$shm" "$url"
  rm -f "$shm"
  measure "$work/hold" "$hold" "$bytes"
done

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
curl_s=$(cut -d' ' -f1 "$work/curl" | median)
fetch_s=$(cut -d' ' -f1 "$work/fetch" | median)
curl_kb=$(cut -d' ' -f2 "$work/curl" | median)
fetch_kb=$(cut -d' ' -f2 "$work/fetch" | median)
shm_s=$(cut -d' ' -f1 "$work/shm" | median)
hold_s=$(cut -d' ' -f1 "$work/hold" | median)
hold_kb=$(cut -d' ' -f2 "$work/hold" | median)
limit_kb=$(( (bytes * 13 / 10 + 32 * 1024 * 1024) / 1024 ))
awk -v mib="$mib" -v rounds="$rounds" -v cs="$curl_s" -v fs="$fetch_s" \
    -v ck="$curl_kb" -v fk="$fetch_kb" -v lk="$limit_kb" \
    -v ss="$shm_s" -v hs="$hold_s" -v hk="$hold_kb" 'BEGIN {
  printf "body %d MiB, %d rounds, medians\n", mib, rounds
  printf "%-22s %8s %12s\n", "", "seconds", "peak RSS MiB"
  printf "%-22s %8.2f %12.1f\n", "curl -s -o /dev/null", cs, ck / 1024
  printf "%-22s %8.2f %12.1f\n", "http_fetch", fs, fk / 1024
  printf "references:\n"
  printf "%-22s %8.2f %12s\n", "curl -o /dev/shm/FILE", ss, "-"
  printf "%-22s %8.2f %12.1f\n", "holding the body only", hs, hk / 1024
  printf "time ratio %.2f (goal <= 1.15); peak RSS %.1f MiB (goal <= %.1f MiB)\n",
         (cs > 0 ? fs / cs : 0), fk / 1024, lk / 1024
}'
