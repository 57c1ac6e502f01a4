#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails, naming the file, on
# a copy into which an include against the pipeline (and one reaching up into
# the plug-in set-up) has been slipped.
set -euo pipefail
source_dir=$1
check="$source_dir/scripts/check-layers.sh"

bash "$check" --quiet "$source_dir" > /dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

expect_failure() {  # FILE INCLUDE
  rm -rf "$scratch/tarnis"
  cp -r "$source_dir/tarnis" "$scratch/tarnis"
  printf '#include "%s"\n' "$2" >> "$scratch/$1"
  if bash "$check" --quiet "$scratch" > "$scratch/out" 2>&1; then
    echo "the check passed with $1 including $2" >&2
    exit 1
  fi
  if ! grep -q "$1" "$scratch/out"; then
    echo "the check failed without naming $1:" >&2
    cat "$scratch/out" >&2
    exit 1
  fi
}

expect_failure tarnis/line/detect/edge_detection.cpp tarnis/line/chain/edge_chaining.h
expect_failure tarnis/line/draw/stroke_drawer.cpp tarnis/line/engine/line_engine.h
expect_failure tarnis/line/frame/line_job.h tarnis/line/effect/line_set.h
expect_failure tarnis/line/effect/line_set.cpp tarnis/line/draw/stroke_drawer.h
expect_failure tarnis/line/brush/brush.cpp tarnis/line/frame/line_job.h
expect_failure tarnis/common/ini_file.cpp tarnis/plugin/plugin_setup.h
expect_failure tarnis/material/tarmat.cpp tarnis/line/brush/brush.h
echo "the layer check passes on the tree and catches seven kinds of violation"
