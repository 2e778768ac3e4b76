#!/usr/bin/env bash
# Benchmark of the optional outputs and of threads, beside the plain run and
# `cut` on the same 10M-row table, measured in the same run:
#   -idcolumn with -bed, -plot, -threads 2 against -threads 1, and a list of
#   8 tables with -threads 2 against -threads 1.
#   bash bench/features.sh [ROWS]      default: 10000000
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-10000000}

source bench/common.sh
f="$data/gwas_$rows.tsv"
[ -s "$f" ] || "$gen" "$rows" 1 $((rows / 33333)) > "$f"
cat "$f" > /dev/null # page cache

run() { "$meter" "$q" -file "$f" -out "$data/r.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes "$@" 2>/dev/null; }
row() { printf '%-34s %10s %9s %12s\n' "$1" "$(secs "$2")" "${2#* }" "$3"; }

printf '%-34s %10s %9s %12s\n' case seconds peak_MB ratio
cutrun=$("$meter" cut -f1,2,8 "$f")
row "cut -f1,2,8" "$cutrun" ""
for limit in "" 1e-300; do
  extra=(); label=""
  [ -z "$limit" ] || { extra=(-inlimit "$limit"); label=", read only"; }
  plain=$(run "${extra[@]}")
  row "plain$label" "$plain" "x$(ratio "$(secs "$plain")" "$(secs "$cutrun")") cut"
  bed=$(run "${extra[@]}" -idcolumn 3 -bed "$data/r.bed")
  row "-idcolumn -bed$label" "$bed" "x$(ratio "$(secs "$bed")" "$(secs "$plain")") plain"
  plot=$(run "${extra[@]}" -plot "$data/r.svg")
  row "-plot$label" "$plot" "x$(ratio "$(secs "$plot")" "$(secs "$plain")") plain"
done
one=$(run -threads 1); two=$(run -threads 2)
row "-threads 1" "$one" ""
row "-threads 2" "$two" "x$(ratio "$(secs "$two")" "$(secs "$one")") 1 thread"

# A list of 8 tables of a tenth of the rows each.
list="$data/list.txt"
: > "$list"
for k in 1 2 3 4 5 6 7 8; do
  t="$data/list_$k.tsv"
  [ -s "$t" ] || "$gen" $((rows / 10)) "$k" $((rows / 333330)) > "$t"
  echo "$t" >> "$list"
done
lone=$("$meter" "$q" -list "$list" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -threads 1 2>/dev/null)
ltwo=$("$meter" "$q" -list "$list" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -threads 2 2>/dev/null)
row "list of 8, -threads 1" "$lone" ""
row "list of 8, -threads 2" "$ltwo" "x$(ratio "$(secs "$ltwo")" "$(secs "$lone")") 1 thread"
