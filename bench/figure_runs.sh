#!/usr/bin/env bash
# The cost of a figure on the 10M-row table, for differences too small for
# three medians on a shared machine: the plain run, -plot x.svg and
# -plot x.png, N times each (default 21), one after another in turn, and
# the fastest, first-quartile and median time of each.
#   bash bench/figure_runs.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-21}
rows=10000000
source bench/common.sh
f="$data/gwas_$rows.tsv"
[ -s "$f" ] || "$gen" "$rows" 1 $((rows / 33333)) > "$f"
cat "$f" > /dev/null # page cache
out="$data/figure_runs"
mkdir -p "$out"
run() { "$meter" "$q" -file "$f" -out "$out/r.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes "$@" 2>/dev/null | cut -d' ' -f1; }
times="$out/times.txt"
: > "$times"
for k in $(seq 1 "$n"); do
  echo "$(run) $(run -plot "$out/r.svg") $(run -plot "$out/r.png")" >> "$times"
done
echo "nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg), $n runs each"
for c in 1 2 3; do
  label=$(echo "plain -plot_x.svg -plot_x.png" | cut -d' ' -f"$c" | tr _ ' ')
  cut -d' ' -f"$c" "$times" | sort -g | awk -v label="$label" '
    { t[NR] = $1 }
    END { printf "%-14s fastest %.3f s  first quartile %.3f s  median %.3f s\n", label, t[1], t[int((NR + 3) / 4)], t[int((NR + 1) / 2)] }'
done
