#!/usr/bin/env bash
# Starts a single-machine Slurm cluster (controller, node daemon and munge,
# configured in a temporary folder), submits a 12-frame sequence in 4 chunks
# with `tarnis farm submit`, waits for it, and checks that every file the
# job wrote equals that of the same sequence rendered in one go.
# Usage: farm_slurm_test.sh TARNIS SOURCE_DIR. Exits 77 (skipped) where the
# cluster cannot start: not root, or Slurm's and munge's daemons missing.
set -euo pipefail

tarnis=$(realpath "$1")
source_dir=$(realpath "$2")
skip() {
  echo "SKIPPED: $*"
  exit 77
}

[[ $(id -u) -eq 0 ]] || skip "the daemons of a test cluster need root"
for program in slurmctld slurmd munged mungekey sbatch scontrol sinfo; do
  command -v "$program" >/dev/null ||
    skip "$program is missing (Debian packages slurmctld, slurmd, slurm-client, munge)"
done

work=$(mktemp -d /tmp/tarnis-farm-XXXXXX)
cleanup() {
  local status=$?
  local daemons=()
  for file in "$work"/slurmctld.pid "$work"/slurmd.pid "$work"/munge/munged.pid; do
    [[ -f $file ]] && daemons+=("$(cat "$file")")
  done
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
  # The daemons write their state as they go down.
  for _ in $(seq 50); do
    local alive=0
    for pid in "${daemons[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [[ $alive -eq 0 ]] && break
    sleep 0.2
  done
  if [[ $status -ne 0 && $status -ne 77 ]]; then
    echo "--- logs in $work"
    tail -n 20 "$work"/log/* "$work"/farm/logs/* 2>/dev/null || true
  else
    rm -rf "$work" || true
  fi
  exit "$status"
}
trap cleanup EXIT

mkdir -p "$work"/{state,spool,log,munge}
chmod 700 "$work/munge"
mungekey -c -k "$work/munge/munge.key"
chmod 600 "$work/munge/munge.key"
munged --force --key-file="$work/munge/munge.key" --socket="$work/munge/munge.sock" \
  --pid-file="$work/munge/munged.pid" --log-file="$work/munge/munged.log" \
  --seed-file="$work/munge/munge.seed"

node=$(hostname -s)
port=$((20000 + RANDOM % 20000))
cpus=$(nproc)
export SLURM_CONF=$work/slurm.conf
cat >"$SLURM_CONF" <<CONF
ClusterName=tarnis-test
SlurmctldHost=$node(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge/munge.sock
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmctldLogFile=$work/log/slurmctld.log
SlurmdLogFile=$work/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MinJobAge=3600
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -f "$SLURM_CONF" || skip "slurmctld did not start"
slurmd -f "$SLURM_CONF" || skip "slurmd did not start"

for _ in $(seq 60); do
  state=$(sinfo -h -o %t 2>/dev/null || true)
  [[ $state == idle* || $state == mix* ]] && break
  sleep 1
done
[[ $state == idle* || $state == mix* ]] ||
  skip "the test cluster's node did not come up (state: ${state:-none})"

cp "$source_dir/examples/farm/moving_boxes.json" "$work/shot.json"
cd "$work"

# --dry-run prints the script and submits nothing.
"$tarnis" farm submit shot.json --frames 1-12 --chunk 3 -o "$work/farm/f.png" --dry-run \
  >dry.txt
grep -q -- '--array=0-3' dry.txt
[[ ! -e $work/farm ]]

"$tarnis" farm submit shot.json --frames 1-12 --chunk 3 -o "$work/farm/f.png" >submit.txt
cat submit.txt
job=$(sed -n 's/^Submitted job \([0-9]*\):.*/\1/p' submit.txt)
[[ -n $job ]]

# Every task ends within five minutes.
for _ in $(seq 300); do
  status=$("$tarnis" farm status "$job" || true)
  [[ $status == *PENDING* || $status == *RUNNING* || $status == *CONFIGURING* ||
    $status == *COMPLETING* || -z $status ]] || break
  sleep 1
done
echo "$status"
[[ $status == "job $job: 4 tasks: 4 COMPLETED"* ]]

"$tarnis" render shot.json -o "$work/whole/f.png" --quiet
count=0
for file in "$work"/whole/*; do
  name=$(basename "$file")
  cmp "$file" "$work/farm/$name"
  count=$((count + 1))
done
[[ $count -eq 24 ]]
farm_files=$(find "$work/farm" -maxdepth 1 -type f \( -name '*.png' -o -name '*.eps' \) | wc -l)
[[ $farm_files -eq 24 ]]
echo "farm render of $count files equals the render in one go"
