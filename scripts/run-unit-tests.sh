#!/usr/bin/env bash
# Runs the unit-test programs of a build whole, JOBS at a time, each in its
# own build folder as ctest would. A sanitizer build starts slowly, so one
# process per program instead of one per test (as ctest runs them) saves
# minutes; the programs are the ones ctest lists under the label "unit".
# Each program's output goes to BUILD_DIR/Testing/NAME.log; a program that
# fails fails the run with the end of its log.
#
#   scripts/run-unit-tests.sh BUILD_DIR [JOBS]
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR [JOBS]}" && pwd)
jobs=${2:-2}

mapfile -t programs < <(ctest --test-dir "$build" -L unit --show-only=json-v1 |
  grep -A2 '"command"' | grep -E '^ *"/' | sed -E 's/^ *"([^"]*)".*/\1/' | sort -u)
if ((${#programs[@]} == 0)); then
  echo "$0: ctest lists no unit tests in $build" >&2
  exit 1
fi
mkdir -p "$build/Testing"

declare -A pids=()
failed=()
finish() {
  local program=$1 name log
  name=$(basename "$program")
  log=$build/Testing/$name.log
  if wait "${pids[$program]}"; then
    echo "$name: $(grep -E '^\[  PASSED  \]' "$log" | tail -1)"
  else
    echo "$name FAILED; the end of $log:" >&2
    tail -60 "$log" >&2
    failed+=("$name")
  fi
}

running=()
for program in "${programs[@]}"; do
  if ((${#running[@]} >= jobs)); then
    finish "${running[0]}"
    running=("${running[@]:1}")
  fi
  (cd "$(dirname "$program")" && "$program" >"$build/Testing/$(basename "$program").log" 2>&1) &
  pids[$program]=$!
  running+=("$program")
done
for program in "${running[@]}"; do finish "$program"; done

if ((${#failed[@]} > 0)); then
  echo "unit tests failed in: ${failed[*]}" >&2
  exit 1
fi
