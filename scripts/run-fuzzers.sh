#!/usr/bin/env bash
# Runs the fuzz targets of build/fuzz for SECONDS each from fresh seeds, as
# many at a time as there are JOBS (each target runs on one core). Every
# target's output goes to build/fuzz/NAME.log; its final statistics are
# printed, and a target that stops with a fault fails the run with the end
# of its log.
#
#   scripts/run-fuzzers.sh SECONDS JOBS
set -euo pipefail
seconds=${1:-60}
jobs=${2:-2}
cd "$(dirname "$0")/.."
bin=build/fuzz/fuzz

# name, seed file inside the corpus (empty: the target writes a folder), max_len
targets=(
  "scene_fuzzer seed.tscene 65536"
  "line_fuzzer seed.tscene 131072"
  "description_fuzzer seed.json 65536"
  "mesh_fuzzer - 65536"
  "tln_fuzzer seed.tln 131072"
  "ini_fuzzer seed.ini 131072"
)

run_one() {
  local name=$1 seed=$2 maxlen=$3
  local corpus=build/fuzz/${name%_fuzzer}-corpus
  rm -rf "$corpus" && mkdir -p "$corpus"
  if [[ $seed == - ]]; then
    TARNIS_FUZZ_WRITE_SEED=$corpus "$bin/$name"
  else
    TARNIS_FUZZ_WRITE_SEED=$corpus/$seed "$bin/$name"
  fi
  "$bin/$name" "$corpus" -max_total_time="$seconds" -max_len="$maxlen" -print_final_stats=1 \
    >"build/fuzz/$name.log" 2>&1
}

declare -A pids=()
failed=()
finish() {
  local name=$1
  if wait "${pids[$name]}"; then
    echo "$name: $(grep -E '^Done [0-9]+ runs' "build/fuzz/$name.log" | tail -1)"
  else
    echo "$name FAILED; the end of build/fuzz/$name.log:" >&2
    tail -40 "build/fuzz/$name.log" >&2
    failed+=("$name")
  fi
  unset "pids[$name]"
}

running=()
for t in "${targets[@]}"; do
  read -r name seed maxlen <<<"$t"
  if ((${#running[@]} >= jobs)); then
    finish "${running[0]}"
    running=("${running[@]:1}")
  fi
  run_one "$name" "$seed" "$maxlen" &
  pids[$name]=$!
  running+=("$name")
done
for name in "${running[@]}"; do finish "$name"; done

if ((${#failed[@]} > 0)); then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
