#!/usr/bin/env bash
# The plain 10M-row run side by side with another binary and `cut -f1,2,8`:
# ROUNDS rounds (default 12), each running the three commands once in
# rotating order, so a shared machine's load falls on all of them alike.
# Prints every command's median and fastest wall time and its ratio to
# `cut`; the reports of the two binaries must be identical.
#   OTHER=path/to/quorlin bash bench/plain_rounds.sh [ROUNDS] [ROWS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-12}
rows=${2:-10000000}
: "${OTHER:?set OTHER to the binary to compare with}"

source bench/common.sh
f="$data/gwas_$rows.tsv"
[ -s "$f" ] || "$gen" "$rows" 1 $((rows / 33333)) > "$f"
cat "$f" > /dev/null # page cache

args=(-file "$f" -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes)
names=(this other cut)
run() {
  case $1 in
    0) "$meter" "$q" "${args[@]}" -out "$data/this.out" 2>/dev/null ;;
    1) "$meter" "$OTHER" "${args[@]}" -out "$data/other.out" 2>/dev/null ;;
    2) "$meter" cut -f1,2,8 "$f" ;;
  esac
}
declare -a times=("" "" "")
for ((i = 0; i < rounds; i++)); do
  for ((k = 0; k < 3; k++)); do
    j=$(((i + k) % 3))
    times[j]="${times[j]} $(secs "$(run "$j" </dev/null | tail -n 1)")"
  done
done
cmp -s "$data/this.out" "$data/other.out" || { echo "the two binaries' reports differ" >&2; exit 1; }

stats() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{v[NR] = $1} END {
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f", m, v[1] }'; }
read -r cutMedian cutFastest <<< "$(stats "${times[2]}")"
printf '%-8s %8s %8s %14s\n' binary median fastest "ratio to cut"
for j in 0 1 2; do
  read -r median fastest <<< "$(stats "${times[j]}")"
  printf '%-8s %8s %8s %14s\n' "${names[j]}" "$median" "$fastest" \
    "$(ratio "$median" "$cutMedian") / $(ratio "$fastest" "$cutFastest")"
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
