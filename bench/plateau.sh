#!/usr/bin/env bash
# Plateau benchmark: one chromosome of 20k..100k equal strong p-values (as
# capped or imputed tables give) 100 bp apart, the same 30 bp apart, and a
# staircase of five stretches of different equal values, timed with their
# growth against the size before.
#   bash bench/plateau.sh [SIZES...]   default: 20000 40000 100000
#   QUORLIN=path/to/quorlin compares another binary (default: a fresh Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(20000 40000 100000)

source bench/common.sh
quorlin() { "$meter" "$q" -file "$1" -out "$data/plateau.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes 2>/dev/null; }

printf '%-34s %10s %9s %21s\n' case quorlin_s peak_MB growth
for shape in "100 1" "30 1" "100 5"; do
  read -r gap levels <<<"$shape"
  prev=""; prevn=""
  for n in "${sizes[@]}"; do
    f="$data/plateau_${n}_${gap}_${levels}.tsv"
    [ -s "$f" ] || "$gen" --plateau "$n" "$gap" "$levels" > "$f"
    t=$(quorlin "$f")
    growth=""
    [ -z "$prev" ] || growth="x$(ratio "$(secs "$t")" "$prev") for x$(ratio "$n" "$prevn") size"
    label="plateau $n, gap $gap"
    [ "$levels" = 1 ] || label="$label, $levels levels"
    printf '%-34s %10s %9s %21s\n' "$label" "$(secs "$t")" "${t#* }" "$growth"
    prev=$(secs "$t"); prevn=$n
  done
done
