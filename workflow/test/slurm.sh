#!/usr/bin/env bash
# End-to-end test of the Snakemake workflow through a real SLURM scheduler.
#
#   bash workflow/test/slurm.sh QUORLIN_BINARY        (as root)
#
# Starts a private single-node SLURM cluster on this machine, on loopback
# only: munged (as the munge user, with a fresh key) and slurmctld and slurmd
# from a generated slurm.conf, all in a temporary folder, without accounting.
# Runs the workflow through workflow/profiles/slurm-snakemake7 (one sbatch job
# per table) on four tables, one of them a damaged gzip, with keep_going and
# --keep-going; checks that every other report equals a direct Quorlin run byte
# for byte, that the damaged table's job failed visibly (SLURM state FAILED,
# Snakemake's error, the summary's status) and that the summary names it.
# Stops every daemon it started, by the process ids it recorded, on any exit.
#
# Prints PASS or FAIL (exit status 1); prints SKIP and exits 0 where it cannot
# start the daemons (not root, a package missing, a daemon that does not come
# up). Every wait is bounded. Keeps its temporary folder on failure.
set -uo pipefail

skip() { echo "SKIP: $*"; exit 0; }
[ "$(id -u)" -eq 0 ] || skip "needs root to start munged, slurmctld and slurmd"
for tool in munged mungekey slurmctld slurmd sbatch scontrol squeue scancel sinfo \
            snakemake setpriv timeout python3 gzip; do
  command -v "$tool" >/dev/null 2>&1 ||
    skip "$tool not installed (Debian: apt-get install slurm-wlm munge snakemake)"
done
id munge >/dev/null 2>&1 || skip "no munge user (Debian: apt-get install munge)"

. "$(cd "$(dirname "$0")" && pwd)/common.sh"
start_ns=$(date +%s%N)
elapsed() { echo "$(( ($(date +%s%N) - start_ns) / 1000000 )) ms"; }

# munged refuses a socket folder others cannot enter, so the folder is 0755.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/quorlin-slurm-test.XXXXXX") || exit 1
chmod 755 "$tmp"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- stopping: the jobs, then each daemon by its recorded id, on every exit
pids=()          # started daemons, in start order
runner=          # the snakemake run (under timeout) while it runs
stop_daemons() {
  if [ -n "$runner" ]; then
    kill -TERM "$runner" 2>/dev/null && wait "$runner" 2>/dev/null
    runner=
  fi
  if [ -n "${SLURM_CONF:-}" ] && [ ${#pids[@]} -ge 2 ]; then
    local jobs
    jobs=$(timeout 10 squeue -h -o %i 2>/dev/null | tr '\n' ' ')
    if [ -n "${jobs// /}" ]; then
      timeout 10 scancel $jobs 2>/dev/null
      for _ in $(seq 30); do
        [ -z "$(timeout 10 squeue -h -o %i 2>/dev/null)" ] && break
        sleep 1
      done
    fi
  fi
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    pid=${pids[$i]}
    kill -TERM "$pid" 2>/dev/null || continue
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null && echo "daemon $pid did not stop on TERM; killed"
    wait "$pid" 2>/dev/null
  done
  pids=()
}
on_exit() {
  stop_daemons
  if [ "$failures" -eq 0 ]; then rm -rf "$tmp"; else echo "files kept in $tmp"; fi
}
trap on_exit EXIT
trap 'exit 1' INT TERM HUP

finish() {
  if [ "$failures" -eq 0 ]; then
    echo "PASS: SLURM workflow test ($(sbatch --version), snakemake $(snakemake --version), $(elapsed))"
    exit 0
  fi
  echo "FAIL: SLURM workflow test, $failures check(s) failed"
  exit 1
}
cannot_start() {  # what, log files...
  local what=$1; shift
  echo "$what did not start; its log:"
  tail -n 15 "$@" 2>/dev/null
  stop_daemons
  skip "cannot start $what on this machine"
}

# --- munged: own key, socket, pid and seed files, owned by the munge user
mkdir "$tmp/munge"
mungekey --create --keyfile="$tmp/munge/munge.key" >/dev/null 2>&1 || skip "mungekey cannot create a key"
chown -R munge:munge "$tmp/munge"
chmod 755 "$tmp/munge"
socket="$tmp/munge/munge.socket"
setpriv --reuid=munge --regid=munge --init-groups \
  munged --foreground --key-file="$tmp/munge/munge.key" --socket="$socket" \
  --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/munged.seed" \
  --log-file="$tmp/munge/munged.log" > "$tmp/munged.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
munge -n -S "$socket" 2>/dev/null | unmunge -S "$socket" >/dev/null 2>&1 ||
  cannot_start munged "$tmp/munged.log"

# --- slurmctld and slurmd: one node with this machine's CPUs, loopback ports
node=$(hostname -s)
read -r ctld_port node_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')
mkdir -p "$tmp/slurm/state" "$tmp/slurm/spool" "$tmp/work"
: > "$tmp/slurm/plugstack.conf"
export SLURM_CONF="$tmp/slurm/slurm.conf"
cat > "$SLURM_CONF" <<EOF
ClusterName=quorlintest
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$node_port
CommunicationParameters=NoInAddrAny,NoCtldInAddrAny
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$tmp/slurm/state
SlurmdSpoolDir=$tmp/slurm/spool
SlurmctldPidFile=$tmp/slurm/slurmctld.pid
SlurmdPidFile=$tmp/slurm/slurmd.pid
SlurmctldLogFile=$tmp/slurm/slurmctld.log
SlurmdLogFile=$tmp/slurm/slurmd.log
PlugStackConfig=$tmp/slurm/plugstack.conf
MailProg=$(command -v true)
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SwitchType=switch/none
MpiDefault=none
ReturnToService=2
MinJobAge=3600
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=500 State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -D -f "$SLURM_CONF" > "$tmp/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" -N "$node" > "$tmp/slurmd.out" 2>&1 &
pids+=($!)
for _ in $(seq 60); do
  [ "$(timeout 5 sinfo -h -n "$node" -o %t 2>/dev/null)" = idle ] && break
  sleep 0.5
done
[ "$(timeout 5 sinfo -h -n "$node" -o %t 2>/dev/null)" = idle ] ||
  cannot_start "the SLURM node" "$tmp/slurm/slurmctld.log" "$tmp/slurm/slurmd.log"
echo "SLURM test: cluster up ($(elapsed)), node $node, ports $ctld_port $node_port, in $tmp"

# --- four tables: three good ones from the example, one damaged gzip
cd "$tmp/work" || exit 1
example="$repo/examples/example.tsv"
mkdir data
awk -F'\t' 'NR == 1 || ($1 >= 1 && $1 <= 7)' "$example" > data/a.tsv
awk -F'\t' 'NR == 1 || ($1 >= 8 && $1 <= 13)' "$example" > data/b.tsv
awk -F'\t' 'NR == 1 || $1 >= 14' "$example" | gzip -n > data/c.tsv.gz
gzip -n -c data/a.tsv | head -c 200 > data/broken.tsv.gz
good=(data/a.tsv data/b.tsv data/c.tsv.gz)
cat > config.yaml <<EOF
quorlin: "$bin"
tables: [data/a.tsv, data/broken.tsv.gz, data/b.tsv, data/c.tsv.gz]
outdir: results
keep_going: "yes"
EOF

# In the background, so that a signal to this script stops it at once.
timeout 300 snakemake -s "$repo/workflow/Snakefile" --configfile config.yaml \
  --profile "$repo/workflow/profiles/slurm-snakemake7" --keep-going --latency-wait 10 \
  > snakemake.log 2>&1 &
runner=$!
wait "$runner"
status=$?
runner=
echo "workflow run through SLURM done, status $status ($(elapsed))"
case $status in
  0) fail "snakemake succeeded although a table failed" ;;
  124) fail "snakemake did not end within 300 s"; tail -n 30 snakemake.log; finish ;;
esac

# --- reports: byte for byte a direct run; the damaged table has none
for table in "${good[@]}"; do
  report="results/$(basename "$table").out"
  "$bin" -file "$table" -out direct.out -lcolumn 2 -pcolumn 8 -chrcolumn 1 -header yes \
    -delim tab > direct.log 2>&1 || fail "direct run on $table failed"
  cmp -s "$report" direct.out || fail "$report differs from a direct run on $table"
done
[ ! -e results/broken.tsv.gz.out ] || fail "the damaged table has a report"
grep -q "Error in rule quorlin" snakemake.log || fail "snakemake does not report the failed job"
grep -q "1 of 4 tables have no report: data/broken.tsv.gz (failed)" snakemake.log ||
  fail "snakemake's output does not name the failed table"
statuses=$(awk -F'\t' 'NR > 1 { printf "%s:%s ", $1, $6 }' results/summary.tsv 2>/dev/null)
[ "$statuses" = "data/a.tsv:ok data/broken.tsv.gz:failed data/b.tsv:ok data/c.tsv.gz:ok " ] ||
  fail "summary statuses '$statuses'"

# --- SLURM ran one job per table; the damaged table's job is FAILED
job_state() {  # job id -> "STATE EXIT", once the job has left COMPLETING
  local info state
  for _ in $(seq 30); do
    info=$(timeout 10 scontrol -o show job "$1" 2>/dev/null)
    state=$(sed -n 's/.* JobState=\([A-Z_]*\) .*/\1/p' <<< "$info")
    [ -n "$state" ] && [ "$state" != COMPLETING ] && [ "$state" != RUNNING ] && break
    sleep 1
  done
  echo "$state $(sed -n 's/.* ExitCode=\([0-9:]*\) .*/\1/p' <<< "$info")"
}
mapfile -t job_ids < <(timeout 10 scontrol -o show job 2>/dev/null |
  sed -n 's/^JobId=\([0-9]*\) JobName=quorlin .*/\1/p')
[ ${#job_ids[@]} -eq 4 ] || fail "SLURM ran ${#job_ids[@]} quorlin job(s), not 4"
failed_jobs=0
for id in "${job_ids[@]}"; do
  state=$(job_state "$id")
  if grep -q "quorlin failed with exit status 1 on table data/broken.tsv.gz" "slurm-$id.log" 2>/dev/null; then
    [ "$state" = "FAILED 1:0" ] || fail "the damaged table's job $id ended '$state', not FAILED 1:0"
    failed_jobs=$((failed_jobs + 1))
  else
    [ "$state" = "COMPLETED 0:0" ] || fail "job $id ended '$state', not COMPLETED 0:0"
  fi
done
[ "$failed_jobs" -eq 1 ] || fail "$failed_jobs SLURM job log(s) name the damaged table, not 1"
[ "$failures" -eq 0 ] || tail -n 40 snakemake.log
finish
