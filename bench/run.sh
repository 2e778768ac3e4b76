#!/usr/bin/env bash
# Benchmark: generates realistic tables (1M and 10M rows, plain and gzipped,
# and a dense chromosome at 50k/100k/200k retained markers), then prints
# Quorlin's wall time and peak memory next to `cut -f1,2,8` and `gzip -dc`
# on the same files, measured in the same run.
#   bash bench/run.sh [SIZES...]      default sizes: 1000000 10000000
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 10000000)

source bench/common.sh
# measure CMD...: prints "seconds MB"
measure() { "$meter" "$@"; }
quorlin() { measure "$q" -file "$1" -out "$data/report.out" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes "${@:2}" 2>/dev/null; }

printf '%-26s %10s %9s %10s %10s %9s\n' case quorlin_s peak_MB tool_s tool ratio
for n in "${sizes[@]}"; do
  f="$data/gwas_$n.tsv"
  [ -s "$f" ] || "$gen" "$n" 1 $((n / 33333)) > "$f"
  [ -s "$f.gz" ] || gzip -c "$f" > "$f.gz"
  cat "$f" > /dev/null # page cache
  qp=$(quorlin "$f"); cp=$(measure cut -f1,2,8 "$f")
  printf '%-26s %10s %9s %10s %10s %9s\n' "plain $n" "$(secs "$qp")" "${qp#* }" "$(secs "$cp")" "cut" \
    "$(ratio "$(secs "$qp")" "$(secs "$cp")")"
  qg=$(quorlin "$f.gz"); gp=$(measure gzip -dc "$f.gz")
  printf '%-26s %10s %9s %10s %10s %9s\n' "gzip $n" "$(secs "$qg")" "${qg#* }" "$(secs "$gp")" "gzip -dc" \
    "$(ratio "$(secs "$qg")" "$(secs "$gp")")"
  # Reading alone: an inlimit that retains no marker leaves no analysis.
  qr=$(quorlin "$f" -inlimit 1e-300)
  printf '%-26s %10s %9s %10s %10s %9s\n' "plain $n, read only" "$(secs "$qr")" "${qr#* }" "$(secs "$cp")" "cut" \
    "$(ratio "$(secs "$qr")" "$(secs "$cp")")"
  qr=$(quorlin "$f.gz" -inlimit 1e-300)
  printf '%-26s %10s %9s %10s %10s %9s\n' "gzip $n, read only" "$(secs "$qr")" "${qr#* }" "$(secs "$gp")" "gzip -dc" \
    "$(ratio "$(secs "$qr")" "$(secs "$gp")")"
done

prev=""
for n in 50000 100000 200000; do
  f="$data/dense_$n.tsv"
  [ -s "$f" ] || "$gen" --dense "$n" 1 > "$f"
  t=$(quorlin "$f")
  growth=""
  [ -z "$prev" ] || growth="x$(ratio "$(secs "$t")" "$prev") vs half"
  printf '%-26s %10s %9s %21s\n' "dense $n" "$(secs "$t")" "${t#* }" "$growth"
  prev=$(secs "$t")
done
