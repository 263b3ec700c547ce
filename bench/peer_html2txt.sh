#!/usr/bin/env bash
# Times bench_html2txt and, on the very same HTML files, `lynx -dump` and `w3m -dump`, and prints
# the figures side by side (CPU seconds, best of three runs, and MB/s of input).
# Usage: bench/peer_html2txt.sh [path/to/bench_html2txt]   (default: build/bench_html2txt)
set -euo pipefail

bench=${1:-build/bench_html2txt}
[[ -x "$bench" ]] || { echo "no benchmark at $bench (build target bench_html2txt)" >&2; exit 1; }

missing=()
command -v lynx >/dev/null || missing+=(lynx)
command -v w3m >/dev/null || missing+=(w3m)
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The benchmark writes html2txt_1x.html and html2txt_4x.html into $dir before it runs.
HTML2TXT_BENCH_DIR=$dir "$bench" --benchmark_format=json --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true >"$dir/bench.json" 2>/dev/null

# CPU seconds (user + system) of the best of three runs of a command.
best_cpu() {
  local best="" t
  for _ in 1 2 3; do
    /usr/bin/time -o "$dir/time" -f "%U %S" "$@" >/dev/null 2>&1
    t=$(awk '{ print $1 + $2 }' "$dir/time")
    if [[ -z "$best" ]] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$t
    fi
  done
  echo "$best"
}

printf '%-22s %6s %10s %10s\n' converter input "CPU s" "MB/s"
/usr/bin/python3 - "$dir/bench.json" <<'PY'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        scale = b["run_name"].split("/")[-1]
        cpu = b["cpu_time"] / 1000.0  # reported in milliseconds
        print("%-22s %5sx %10.3f %10.1f" % ("HTML2txt", scale, cpu, b["bytes_per_second"] / 1048576))
PY
for scale in 1 4; do
  file="$dir/html2txt_${scale}x.html"
  mb=$(awk -v s="$(stat -c %s "$file")" 'BEGIN { print s / 1048576 }')
  for peer in lynx w3m; do
    if [[ $peer == lynx ]]; then
      cpu=$(best_cpu lynx -dump -force_html -nolist -width=75 "$file")
    else
      cpu=$(best_cpu w3m -dump -T text/html -cols 75 "$file")
    fi
    awk -v n="$peer -dump" -v s="$scale" -v c="$cpu" -v m="$mb" \
      'BEGIN { printf "%-22s %5sx %10.3f %10.1f\n", n, s, c, (c > 0 ? m / c : 0) }'
  done
done
