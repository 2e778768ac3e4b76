#!/usr/bin/env bash
# Runs under address-space limits (ulimit -v, as clusters set with SGE's
# h_vmem) succeed or stop cleanly: at each limit of a sweep, start-up, a
# plain run of the example and of a larger generated table, a PNG figure,
# PNG regional figures and a list on two threads end with status 0 or 1,
# never a signal or a hang, and status 1 comes with a line on standard
# output and a reason on standard error. Below the limit at which the
# dynamic loader can map the program at all, the program never runs; those
# limits are only counted. Sanitizer builds reserve more address space than
# any such limit allows: the script says SKIP there.
set -u
bin=$1
examples=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

if ! (ulimit -v 1000000 && "$bin" --help >/dev/null 2>&1) 2>/dev/null; then
  echo "SKIP: this build does not run under an address-space limit (a sanitizer build?)"
  exit 0
fi

cp "$examples/example.tsv" example.tsv
# 220,000 markers on 22 chromosomes, with a strong peak every 2,000 markers.
awk 'BEGIN { srand(7); print "CHR\tBP\tSNP\tP"
  for (c = 1; c <= 22; c++) for (i = 1; i <= 10000; i++) {
    p = rand(); if (i % 2000 > 950 && i % 2000 < 1050) p *= 1e-12
    printf "%d\t%d\trs%d_%d\t%.4g\n", c, i * 300, c, i, p } }' > big.tsv
cp big.tsv big2.tsv
printf 'big.tsv\nbig2.tsv\n' > list.txt
example=(-file example.tsv -lcolumn 2 -pcolumn 8 -chrcolumn 1 -idcolumn 3 -header yes)
big=(-file big.tsv -lcolumn 2 -pcolumn 4 -chrcolumn 1 -idcolumn 3 -header yes)

# One run under the limit (in kB); checks its status and messages.
limited() {
  local limit=$1 label=$2
  shift 2
  rm -rf out && mkdir out
  (ulimit -v "$limit" && exec timeout -s KILL 20 "$bin" "$@" >stdout.txt 2>stderr.txt)
  local got=$?
  if [ "$got" = 127 ] && grep -q 'error while loading shared libraries' stderr.txt &&
    ! (ulimit -v "$limit" && "$bin" --help >/dev/null 2>&1); then
    unloaded=$((unloaded + 1))
    return
  fi
  case $got in
  0) ;;
  1)
    local line
    line=$(tail -n 1 stdout.txt)
    [ -n "$line" ] || fail "$label at $limit kB: status 1 without a line on standard output"
    grep -v -e "^quorlin: see 'quorlin --help'" -e '^quorlin: warning:' -e '^quorlin: summary:' stderr.txt |
      grep -q '^quorlin: ' || fail "$label at $limit kB: status 1 without a reason: $(tail -n 3 stderr.txt)"
    stops=$((stops + 1))
    ;;
  124 | 137) fail "$label at $limit kB: hung (killed after 20 s): $(tail -n 2 stderr.txt)" ;;
  *) fail "$label at $limit kB: status $got: $(tail -n 3 stderr.txt)" ;;
  esac
}

unloaded=0 stops=0 runs=0
# Dense near the least the program needs, where most things can fail.
for limit in 60000 70000 76000 80000 84000 88000 92000 100000 110000 120000 135000 150000 170000 190000 210000 \
  235000 250000 280000 330000 400000; do
  limited "$limit" "start-up" -file missing.tsv -out out/r.tsv -lcolumn 2 -pcolumn 8 -chrcolumn 1
  limited "$limit" "plain run" "${example[@]}" -out out/r.tsv
  limited "$limit" "larger table" "${big[@]}" -out out/r.tsv -bed out/r.bed -loci out/l.tsv
  limited "$limit" "PNG figure" "${example[@]}" -out out/r.tsv -plot out/x.png
  limited "$limit" "PNG regional figures" "${example[@]}" -out out/r.tsv -regional out -regional-format png -loci yes
  limited "$limit" "list on two threads" -list list.txt -outdir out -bed yes -threads 2 -lcolumn 2 -pcolumn 4 \
    -chrcolumn 1 -idcolumn 3 -header yes
  runs=$((runs + 6))
done

# The sweep must have reached both ends: runs that stop and runs that finish.
[ "$stops" -gt 0 ] || fail "no limit of the sweep was tight enough to stop a run"
[ $((runs - stops - unloaded)) -gt 0 ] || fail "no run of the sweep finished"
if [ "$fails" -gt 0 ]; then
  echo "$fails checks failed"
  exit 1
fi
echo "memory limits: $runs runs, $stops clean error stops, $unloaded below the loader's limit, no signal, no hang"
