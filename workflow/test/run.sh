#!/usr/bin/env bash
# End-to-end test of the Snakemake workflow (workflow/Snakefile).
#
#   bash workflow/test/run.sh [QUORLIN_BINARY]     (default: build/quorlin)
#
# Builds nothing: it takes the Quorlin binary as its argument. It makes three
# small tables from examples/example.tsv (two with the same base name in
# different folders, one whitespace-delimited with a per-table override, one
# gzip-compressed with quotes, `$` and braces in its name), runs the workflow
# with `snakemake --cores 2` in a temporary folder, runs Quorlin directly on
# each table and compares the reports byte for byte, checks every summary row
# against its report and against summarize.py run by hand, checks that a
# second run has nothing to do, and that a table Quorlin rejects fails its
# job (status 1, message in its log) while the others still get their reports,
# and that with keep_going the summary still comes, naming it, until fixed
# (the failing job scheduled first, or last with QUORLIN_WORKFLOW_FAILING=last).
# A table's own `extra` adds to the global one; tables that differ in -genes
# are refused with loci.
# With loci: per-table loci files equal direct runs, and the study-wide loci
# table equals `quorlin -list -loci yes` (also after a failure with
# keep_going); workflow/scripts/study_loci.py by hand equals it on generated
# tables with mixed chromosome names and, with QUORLIN_REAL_DATA, on two
# real tables with gene columns.
#
# Prints PASS or FAIL (exit status 1); prints SKIP and exits 0 when snakemake
# is not installed. Keeps its temporary folder on failure.
set -uo pipefail

if ! command -v snakemake >/dev/null 2>&1; then
  echo "SKIP: snakemake not installed (Debian: apt-get install snakemake)"
  exit 0
fi

. "$(cd "$(dirname "$0")" && pwd)/common.sh"
snakefile="$repo/workflow/Snakefile"
example="$repo/examples/example.tsv"

start_ns=$(date +%s%N)
elapsed() { echo "$(( ($(date +%s%N) - start_ns) / 1000000 )) ms"; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quorlin-workflow-test.XXXXXX")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  if [ "$failures" -eq 0 ]; then
    rm -rf "$tmp"
    echo "PASS: workflow test ($(snakemake --version | head -n 1), $(elapsed))"
    exit 0
  fi
  echo "FAIL: workflow test, $failures check(s) failed; files kept in $tmp"
  exit 1
}

echo "workflow test: snakemake $(snakemake --version | head -n 1), quorlin $bin, in $tmp"
cd "$tmp" || exit 1

# --- three tables: the example's header and a group of its chromosomes each
name_a="data/cohort A/gwas.tsv"                # peaks on chromosomes 2, 4, 5, 6
name_b="data/cohort_B/gwas.tsv"                # same base name; one peak (13)
name_c="data/odd/p'value \$(x) {1}.tsv.gz"     # no peak at all
mkdir -p "data/cohort A" data/cohort_B data/odd
awk -F'\t' 'NR == 1 || ($1 >= 1 && $1 <= 7)' "$example" > "$name_a"
# Whitespace-delimited, several blanks between columns: needs -delim whitespace.
awk -F'\t' -v OFS='   ' 'NR == 1 || ($1 >= 8 && $1 <= 13) { $1 = $1; print }' "$example" > "$name_b"
awk -F'\t' 'NR == 1 || ($1 >= 14 && $1 <= 22 && $1 != 21)' "$example" | gzip -n > "$name_c"

common=(-lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -delim tab)
args_a=("${common[@]}")
args_b=(-lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -delim whitespace)
args_c=("${common[@]}")

# Config as JSON (valid YAML too), written by python3 so that no name needs
# escaping by hand. Table A is listed, B is listed with its own delimiter,
# the glob matches all three (A and B again: they must run once).
python3 - "$bin" "$name_a" "$name_b" > config.json <<'EOF'
import json, sys
binary, a, b = sys.argv[1:]
json.dump({
    "quorlin": binary,
    "tables": [a, {"path": b, "delim": "whitespace"}],
    "glob": "data/*/*.tsv*",
    "lcolumn": 2, "pcolumn": 8, "chrcolumn": 1, "header": True, "delim": "tab",
    "outdir": "results",
}, sys.stdout, indent=1)
EOF

# --- the workflow run
if ! snakemake -s "$snakefile" --cores 2 --configfile config.json > snakemake.log 2>&1; then
  fail "snakemake run failed; its output:"
  tail -n 40 snakemake.log
  finish
fi
echo "workflow run done ($(elapsed))"

# --- direct runs and comparisons
mkdir direct
summary=results/summary.tsv
[ -f "$summary" ] || { fail "no $summary"; finish; }
expected_header=$'table\tpeaks\tstrongest_peak\tstrongest_max\treport'
[ "$(head -n 1 "$summary")" = "$expected_header" ] || fail "summary header is '$(head -n 1 "$summary")'"
rows=$(($(wc -l < "$summary") - 1))
[ "$rows" -eq 3 ] || fail "summary has $rows rows, expected 3 (one per table, no duplicates)"

declare -A report_of
check_table() {  # label name args...
  local label=$1 name=$2; shift 2
  local direct="direct/$label.out"
  if ! "$bin" -file "$name" -out "$direct" "$@" > "direct/$label.log" 2>&1; then
    fail "direct quorlin run on '$name' failed"; return
  fi
  local row
  row=$(name="$name" awk -F'\t' 'NR > 1 && $1 == ENVIRON["name"]' "$summary")
  if [ "$(printf '%s\n' "$row" | grep -c .)" -ne 1 ]; then
    fail "summary has no single row for '$name'"; return
  fi
  local peaks peak peak_max report
  peaks=$(printf '%s\n' "$row" | cut -f2)
  peak=$(printf '%s\n' "$row" | cut -f3)
  peak_max=$(printf '%s\n' "$row" | cut -f4)
  report=$(printf '%s\n' "$row" | cut -f5)
  if [ ! -f "$report" ]; then fail "report '$report' of '$name' missing"; return; fi
  case "$report" in results/*.out) ;; *) fail "report '$report' is not in the output folder";; esac
  cmp -s "$report" "$direct" || fail "report '$report' differs from a direct run on '$name'"
  local lines; lines=$(($(wc -l < "$report") - 1))
  [ "$peaks" = "$lines" ] || fail "'$name': summary says $peaks peaks, the report has $lines"
  local expected
  expected=$(awk -F'\t' 'NR > 1 && (n++ == 0 || $4 + 0 > best + 0) { best = $4; at = $2 ":" $3 }
                         END { if (n) print at "\t" best; else print "\t" }' "$report")
  [ "$peak"$'\t'"$peak_max" = "$expected" ] ||
    fail "'$name': strongest peak '$peak' '$peak_max', the report's is '$expected'"
  name="$name" awk -F'\t' 'NR > 1 && $1 != ENVIRON["name"] { bad = 1 } END { exit bad }' "$report" ||
    fail "'$name': the report's first column is not the name as given"
  local log
  log="results/logs/$(basename "$report" .out).log"
  grep -q "DONE in" "$log" 2>/dev/null || fail "'$name': no Quorlin output in its log '$log'"
  echo "  $name: $peaks peak(s), strongest ${peak:-none} ${peak_max} -> $report"
  report_of[$label]=$report
}
check_table a "$name_a" "${args_a[@]}"
check_table b "$name_b" "${args_b[@]}"
check_table c "$name_c" "${args_c[@]}"
[ "${report_of[a]:-x}" != "${report_of[b]:-y}" ] || fail "the two gwas.tsv tables share one report"
[ "$(cut -f2 "$summary" | tail -n +2 | tr '\n' ' ')" = "5 1 0 " ] ||
  fail "peak counts $(cut -f2 "$summary" | tail -n +2 | tr '\n' ' ')instead of 5 1 0"

# --- the summary script run by hand gives the same summary
mapfile -t names < <(tail -n +2 "$summary" | cut -f1)
mapfile -t reports < <(tail -n +2 "$summary" | cut -f5)
pairs=()
for i in "${!names[@]}"; do pairs+=("${names[$i]}" "${reports[$i]}"); done
if python3 "$repo/workflow/scripts/summarize.py" by-hand.tsv "${pairs[@]}"; then
  cmp -s by-hand.tsv "$summary" || fail "summarize.py by hand gives another summary"
else
  fail "summarize.py by hand failed"
fi

# --- a second run has nothing to do
snakemake -s "$snakefile" --cores 2 --configfile config.json -n > rerun.log 2>&1
grep -q "Nothing to be done" rerun.log || fail "a second run would redo jobs: $(grep -m3 -i reason rerun.log)"

# --- a table Quorlin rejects fails its job loudly; the others still run
head -c 200 "$name_c" > data/odd/broken.tsv.gz      # truncated gzip: exit status 1
python3 - "$bin" "$name_a" > config-bad.json <<'EOF'
import json, sys
binary, a = sys.argv[1:]
json.dump({"quorlin": binary, "tables": [a, "data/odd/broken.tsv.gz"], "outdir": "results-bad"},
          sys.stdout)
EOF
if snakemake -s "$snakefile" --cores 2 --keep-going --configfile config-bad.json > bad.log 2>&1; then
  fail "snakemake succeeded although quorlin failed on a broken table"
fi
grep -q "quorlin failed with exit status 1 on table data/odd/broken.tsv.gz" bad.log ||
  fail "snakemake's output does not name the failed table"
grep -q "Input file could not be read" results-bad/logs/broken.tsv.gz.log 2>/dev/null ||
  fail "the failed table's log does not hold Quorlin's message"
[ ! -e results-bad/broken.tsv.gz.out ] || fail "a failed job left its report"
[ ! -e results-bad/summary.tsv ] || fail "a summary was written although a job failed"
cmp -s results-bad/gwas.tsv.out direct/a.out || fail "the good table beside a failed one has no correct report"

# --- keep_going: the same failure, and still a summary naming it; a table
# never run (no --keep-going) is named too; fixing the table completes it.
# On one core Snakemake runs the tables in config order: the broken table
# comes first (so that no report is ok when the first run stops) or, with
# QUORLIN_WORKFLOW_FAILING=last, last. Outdir results-kg.
case ${QUORLIN_WORKFLOW_FAILING:-first} in
  first) kg_tables=(data/odd/broken.tsv.gz "$name_a" "$name_c"); kg_ok="failed ok ok" ;;
  last) kg_tables=("$name_a" "$name_c" data/odd/broken.tsv.gz); kg_ok="ok ok failed" ;;
  *) fail "QUORLIN_WORKFLOW_FAILING is '$QUORLIN_WORKFLOW_FAILING', not first or last"; finish ;;
esac
python3 - "$bin" "${kg_tables[@]}" > config-kg.json <<'EOF2'
import json, sys
binary, *tables = sys.argv[1:]
json.dump({"quorlin": binary, "tables": tables, "outdir": "results-kg",
           "keep_going": "yes", "loci": "yes"}, sys.stdout)
EOF2
kg_summary() {  # the statuses in config order
  local got
  got=$(awk -F'\t' 'NR > 1 { printf "%s ", $6 }' results-kg/summary.tsv 2>/dev/null)
  [ "$got" = "$1 " ] || fail "keep_going summary statuses '$got', expected '$1'"
}
kg_run() {  # snakemake options...
  snakemake -s "$snakefile" --cores 1 --configfile config-kg.json "$@" > kg.log 2>&1
}
kg_run && fail "snakemake with keep_going succeeded although a table failed"
grep -q "quorlin failed with exit status 1 on table data/odd/broken.tsv.gz" kg.log ||
  fail "keep_going: snakemake's output does not name the failed table"
# Without --keep-going it stops after the failure: the tables after it have
# no report.
if [ "${QUORLIN_WORKFLOW_FAILING:-first}" = first ]; then
  kg_summary "failed missing missing"
else
  kg_summary "ok ok failed"
fi
kg_run --keep-going && fail "snakemake --keep-going with keep_going succeeded although a table failed"
grep -q "1 of 3 tables have no report: data/odd/broken.tsv.gz (failed)" kg.log ||
  fail "keep_going: no closing line naming the failed table"
kg_summary "$kg_ok"
[ "$(awk -F'\t' '$6 == "failed" { print $2 $3 $4 $5 }' results-kg/summary.tsv)" = "" ] ||
  fail "keep_going: the failed table's summary row is not empty"
mapfile -t kg_pairs < <(awk -F'\t' 'NR > 1 && $6 == "ok" { print $1; print $5 }' results-kg/summary.tsv)
python3 "$repo/workflow/scripts/summarize.py" kg-hand.tsv "${kg_pairs[@]}" &&
  cmp -s <(tail -n +2 kg-hand.tsv) <(awk -F'\t' -v OFS='\t' 'NR > 1 && $6 == "ok" { NF = 5; print }' results-kg/summary.tsv) ||
  fail "keep_going: the ok rows differ from their reports' summary"
cmp -s results-kg/gwas.tsv.out direct/a.out || fail "keep_going: a good table's report differs from a direct run"
kg_list=(-lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -loci yes -keep-going yes)
printf '%s\n' "${kg_tables[@]}" > kg-list.txt
"$bin" -list kg-list.txt -outdir kg-bin "${kg_list[@]}" > /dev/null 2>&1
cmp -s kg-bin/kg-list.txt.loci.tsv results-kg/study_loci.tsv ||
  fail "keep_going: the study-wide loci table after a failure differs from quorlin -list -keep-going yes"
cp "$name_c" data/odd/broken.tsv.gz                 # the table fixed: only it runs
kg_run --keep-going || fail "keep_going: the run after fixing the table failed"
[ "$(grep -c '^rule quorlin:' kg.log)" -eq 1 ] || fail "keep_going: the fixed run ran other tables too"
kg_summary "ok ok ok"
"$bin" -list kg-list.txt -outdir kg-bin "${kg_list[@]}" > /dev/null 2>&1
cmp -s kg-bin/kg-list.txt.loci.tsv results-kg/study_loci.tsv ||
  fail "keep_going: the study-wide loci table after the fix differs from quorlin -list"
[ ! -e results-kg/logs/broken.tsv.gz.failed ] || fail "keep_going: a fixed table keeps its failure mark"

# --- loci: each table's loci file equals a direct run's; the study-wide table
# equals `quorlin -list -loci yes` on the same tables in the same order.
name_d="data/cohort_D/wide.tsv"                 # chromosomes 1-13: loci shared with A
name_e="data/cohort_E/chr.tsv"                  # "chr" names: no locus shared by name
mkdir -p data/cohort_D data/cohort_E
awk -F'\t' 'NR == 1 || ($1 >= 1 && $1 <= 13)' "$example" > "$name_d"
awk -F'\t' -v OFS='\t' 'NR == 1 { print; next } $1 >= 2 && $1 <= 6 { $1 = "chr" $1; print }' "$example" > "$name_e"
loci_tables=("$name_a" "$name_d" "$name_e" "$name_c")
python3 - "$bin" "${loci_tables[@]}" > config-loci.json <<'EOF3'
import json, sys
binary, *tables = sys.argv[1:]
json.dump({"quorlin": binary, "tables": tables, "outdir": "results-loci", "loci": True,
           "extra": ["-loci-window", "200000"]}, sys.stdout)
EOF3
loci_args=("${common[@]}" -loci-window 200000)
if snakemake -s "$snakefile" --cores 2 --configfile config-loci.json > loci.log 2>&1; then
  for k in "${!loci_tables[@]}"; do
    name=${loci_tables[$k]}
    report=$(name="$name" awk -F'\t' 'NR > 1 && $1 == ENVIRON["name"] { print $5 }' results-loci/summary.tsv)
    "$bin" -file "$name" -out "direct/loci-$k.out" -loci "direct/loci-$k.loci.tsv" "${loci_args[@]}" > /dev/null 2>&1
    cmp -s "${report%.out}.loci.tsv" "direct/loci-$k.loci.tsv" ||
      fail "loci file of '$name' differs from a direct run"
  done
  printf '%s\n' "${loci_tables[@]}" > loci-list.txt
  "$bin" -list loci-list.txt -outdir loci-bin -loci yes "${loci_args[@]}" > /dev/null 2>&1 ||
    fail "quorlin -list -loci yes failed"
  cmp -s loci-bin/loci-list.txt.loci.tsv results-loci/study_loci.tsv ||
    fail "the study-wide loci table differs from quorlin -list -loci yes"
  awk -F'\t' 'NR > 1 && $NF != "." { n++ } END { exit !(n > 0) }' results-loci/study_loci.tsv ||
    fail "no locus of the study-wide loci table is shared: the check above proves little"
  snakemake -s "$snakefile" --cores 2 --configfile config-loci.json -n > loci-rerun.log 2>&1
  grep -q "Nothing to be done" loci-rerun.log || fail "a second loci run would redo jobs"
else
  fail "snakemake run with loci failed:"; tail -n 30 loci.log
fi

# --- a table's own extra adds to the global extra, its words first (Quorlin
# takes an option's first occurrence); with loci, tables that differ in
# -genes are refused before any job runs, and study_loci.py by hand refuses
# loci files that differ in the gene columns, naming them.
python3 - "$bin" "$name_a" "$name_d" > config-extra.json <<'EOF5'
import json, sys
binary, a, d = sys.argv[1:]
json.dump({"quorlin": binary, "tables": [a, {"path": d, "extra": "-inlimit 0.5"}], "outdir": "results-extra",
           "extra": ["-peak-limit", "6", "-inlimit", "0.1"]}, sys.stdout)
EOF5
snakemake -s "$snakefile" --cores 1 --configfile config-extra.json -n -p > extra.log 2>&1
grep -q -- "-delim tab -inlimit 0.5 -peak-limit 6 -inlimit 0.1 >" extra.log ||
  fail "a table's own extra does not come before the global extra: $(grep -m1 -- "-file data/cohort_D" extra.log)"
grep -q -- "gwas.tsv.out -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes -delim tab -peak-limit 6 -inlimit 0.1 >" extra.log || fail "the global extra is missing for a table without its own"
python3 - "$bin" "$name_a" "$name_d" > config-genes.json <<'EOF6'
import json, sys
binary, a, d = sys.argv[1:]
json.dump({"quorlin": binary, "tables": [a, {"path": d, "extra": ["-genes", "genes.bed"]}],
           "outdir": "results-genes", "loci": "yes"}, sys.stdout)
EOF6
if snakemake -s "$snakefile" --cores 1 --configfile config-genes.json -n > genes.log 2>&1; then
  fail "tables that differ in -genes were accepted with loci"
fi
grep -q "but $name_d have -genes and $name_a have not" genes.log ||
  fail "tables that differ in -genes: no message naming them: $(grep -m1 -i genes genes.log)"
awk -F'\t' -v OFS='\t' 'NR == 1 { print $0, "nearest_gene", "gene_distance", "genes"; next }
                         { print $0, "G", "0", "G" }' results-loci/gwas.tsv.loci.tsv > with-genes.loci.tsv
if python3 "$repo/workflow/scripts/study_loci.py" mixed.tsv 200000 A with-genes.loci.tsv D results-loci/wide.tsv.loci.tsv \
    2> mixed.err; then
  fail "study_loci.py accepted loci files with different columns"
fi
grep -q "those of A have nearest_gene, gene_distance, genes, those of D have not" mixed.err ||
  fail "study_loci.py: no message naming the loci files' tables: $(cat mixed.err)"
[ ! -e mixed.tsv ] || fail "study_loci.py wrote a table from loci files with different columns"

# --- study_loci.py by hand against quorlin -list, on generated tables (mixed
# chromosome names, loci near and far) and on real tables where they are.
script_vs_list() {  # label window list-file quorlin-options...
  local label=$1 window=$2 list=$3; shift 3
  "$bin" -list "$list" -outdir "$label" -loci yes -loci-window "$window" "$@" > "$label.log" 2>&1 ||
    { fail "$label: quorlin -list failed: $(tail -n 2 "$label.log")"; return; }
  local pairs=() t
  while IFS= read -r t; do pairs+=("$t" "$label/$(basename "$t").loci.tsv"); done < "$list"
  python3 "$repo/workflow/scripts/study_loci.py" "$label/by-script.tsv" "$window" "${pairs[@]}" ||
    { fail "$label: study_loci.py failed"; return; }
  cmp -s "$label/by-script.tsv" "$label/$(basename "$list").loci.tsv" ||
    fail "$label: study_loci.py differs from quorlin -list -loci yes"
}
# Positions on a 1 kb grid with a 5 kb window, so that gaps of exactly the
# window occur; the first table's names come first (chrM before MT, X before
# chrX), so the ties of the natural order count.
python3 - <<'EOF4'
import random
random.seed(7)
names = ["chr1", "1", "chrX", "MT", "scaffold_9", "chr10", "2", "chrM", "X", "chr01", "23", "Chr3", "chr"]
with open("gen-list.txt", "w") as lst:
    for t in range(5):
        path = f"gen{t}.tsv"
        lst.write(path + "\n")
        chosen = ["chrM", "X", "scaffold_9", "23"] if t == 0 else names
        with open(path, "w") as f:
            f.write("CHR\tBP\tSNP\tP\n")
            for k in range(400):
                strong = random.random() < 0.1
                f.write(f"{random.choice(chosen)}\t{random.randint(1, 300) * 1000}\tr{t}_{k}\t"
                        f"{'1e-%d' % random.randint(9, 40) if strong else '%.3f' % random.random()}\n")
EOF4
script_vs_list gen 5000 gen-list.txt -lcolumn 2 -pcolumn 4 -chrcolumn 1 -idcolumn 3 -header yes
real=${QUORLIN_REAL_DATA:-}
if [ -n "$real" ] && [ -f "$real/topr_UC_UKBB_p1e-3.tsv" ] && [ -f "$real/topr_ENSGENES_GRCh38_genes.gtf.gz" ]; then
  printf '%s\n' "$real/topr_CD_UKBB_p1e-3.tsv" "$real/topr_UC_UKBB_p1e-3.tsv" > real-list.txt
  script_vs_list real 500000 real-list.txt -lcolumn 2 -pcolumn 6 -chrcolumn 1 -idcolumn 3 -header yes \
    -genes "$real/topr_ENSGENES_GRCh38_genes.gtf.gz"
  head -n 1 real/by-script.tsv | grep -q nearest_gene || fail "real: the study-wide table has no gene columns"
else
  echo "  (real tables not found: set QUORLIN_REAL_DATA to check them too)"
fi

finish
