#!/usr/bin/env bash
# What writing the lines to vector files costs: renders each generated scene
# with `tarnis render --stats`, as it is and with one vector-file output of
# each kind (Illustrator EPS, EPS, SVG), and prints the drawing half (the
# line effect's stage) beside the extra time each file took: collecting the
# strokes while the lines are drawn, optimising and writing the file. Run by
# `make bench-vector-files`; never a test.
#
#   scripts/bench-vector-files.sh BUILD_DIR OUT_DIR [TRIANGLES]
#
# TRIANGLES defaults to 1000000. Each render runs BENCH_RUNS times (3 unless
# set), the variants of a scene taking turns, and the fastest run counts.
# The stages leave out the scene's load, which varies most.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 BUILD_DIR OUT_DIR [TRIANGLES]" >&2
  exit 2
fi
build=$1
out=$2
count=${3:-1000000}
runs=${BENCH_RUNS:-3}
tarnis=$build/apps/tarnis/tarnis
scene_gen=$build/bench/scene_gen
for program in "$tarnis" "$scene_gen"; do
  [[ -x $program ]] || { echo "$0: $program is not built" >&2; exit 1; }
done

# The value of one `stats total: STAGE N UNIT` line.
total() {
  awk -v stage="$2" 'index($0, "stats total: " stage " ") == 1 { print $(NF - 1) }' "$1"
}

# One render of scene $1 into $2: "effects pre-frame post-render+outputs" seconds.
render() {
  "$tarnis" render "$1" -o "$2" --quiet --stats >"$2.log" 2>&1 || {
    echo "$0: rendering $1 failed, see $2.log" >&2
    exit 1
  }
  local post
  post=$(awk -v r="$(total "$2.log" post-render)" -v o="$(total "$2.log" outputs)" \
    'BEGIN { printf "%.3f", r + o }')
  echo "$(total "$2.log" effects) $(total "$2.log" pre-frame) $post"
}

# The fastest of RUNS renders of each variant of scene $1 (as it is, and
# with each kind of file), the variants taking turns so that a machine that
# slows down for a while slows all of them: one "effects pre post" line each.
fastest() {
  local name=$1
  local -A best=() best_sum=()
  for run in $(seq "$runs"); do
    for variant in "$name" "${name}_ai" "${name}_eps" "${name}_svg"; do
      local stages sum
      stages=$(render "$dir/$variant.json" "$dir/$variant.png")
      sum=$(awk -v s="$stages" 'BEGIN { split(s, v, " "); print v[1] + v[2] + v[3] }')
      if [[ -z ${best_sum[$variant]:-} ]] ||
        awk -v a="$sum" -v b="${best_sum[$variant]}" 'BEGIN { exit !(a < b) }'; then
        best[$variant]=$stages
        best_sum[$variant]=$sum
      fi
    done
  done
  for variant in "$name" "${name}_ai" "${name}_eps" "${name}_svg"; do echo "${best[$variant]}"; done
}

dir=$out/$count
"$scene_gen" "$count" "$dir" >/dev/null
printf '%-8s %10s %10s %9s %9s %9s %9s %9s %9s\n' scene triangles "drawing s" \
  "AI EPS s" share "EPS s" share "SVG s" share
while read -r name triangles; do
  mapfile -t stages < <(fastest "$name")
  read -r effects pre post <<<"${stages[0]}"
  row=$(printf '%-8s %10s %10s' "$name" "$triangles" "$effects")
  for i in 1 2 3; do
    read -r veffects vpre vpost <<<"${stages[$i]}"
    # Collecting the strokes happens while the line effect draws (effects),
    # writing once the frame is complete (outputs), before the next frame
    # (pre-frame) or at the render's end (post-render).
    cost=$(awk -v e="$veffects" -v ep="$effects" -v p="$vpre" -v pp="$pre" -v r="$vpost" \
      -v rp="$post" 'BEGIN { d = (e - ep) + (p - pp) + (r - rp); printf "%.3f", (d < 0 ? 0 : d) }')
    share=$(awk -v c="$cost" -v e="$effects" 'BEGIN { printf "%.1f%%", (e > 0 ? 100 * c / e : 0) }')
    row+=$(printf ' %9s %9s' "$cost" "$share")
  done
  echo "$row"
done <"$dir/scenes.txt"
