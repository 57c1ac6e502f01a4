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
# TRIANGLES defaults to 1000000. Each render runs three times and the
# fastest run counts. The stages leave out the scene's load, which varies most.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 BUILD_DIR OUT_DIR [TRIANGLES]" >&2
  exit 2
fi
build=$1
out=$2
count=${3:-1000000}
tarnis=$build/apps/tarnis/tarnis
scene_gen=$build/bench/scene_gen
for program in "$tarnis" "$scene_gen"; do
  [[ -x $program ]] || { echo "$0: $program is not built" >&2; exit 1; }
done

# The value of one `stats total: STAGE N UNIT` line.
total() {
  awk -v stage="$2" 'index($0, "stats total: " stage " ") == 1 { print $(NF - 1) }' "$1"
}

# The stage seconds of the fastest of three renders of scene $1 into $2:
# "effects pre-frame post-render".
render() {
  local best="" best_sum=""
  for run in 1 2 3; do
    "$tarnis" render "$1" -o "$2" --quiet --stats >"$2.log" 2>&1 || {
      echo "$0: rendering $1 failed, see $2.log" >&2
      exit 1
    }
    local stages sum
    stages="$(total "$2.log" effects) $(total "$2.log" pre-frame) $(total "$2.log" post-render)"
    sum=$(awk -v s="$stages" 'BEGIN { split(s, v, " "); print v[1] + v[2] + v[3] }')
    if [[ -z $best_sum ]] || awk -v a="$sum" -v b="$best_sum" 'BEGIN { exit !(a < b) }'; then
      best=$stages
      best_sum=$sum
    fi
  done
  echo "$best"
}

dir=$out/$count
"$scene_gen" "$count" "$dir" >/dev/null
printf '%-8s %10s %10s %9s %9s %9s %9s %9s %9s\n' scene triangles "drawing s" \
  "AI EPS s" share "EPS s" share "SVG s" share
while read -r name triangles; do
  read -r effects pre post < <(render "$dir/$name.json" "$dir/$name.png")
  row=$(printf '%-8s %10s %10s' "$name" "$triangles" "$effects")
  for kind in ai eps svg; do
    read -r veffects vpre vpost < <(render "$dir/${name}_$kind.json" "$dir/${name}_$kind.png")
    # Collecting the strokes happens while the line effect draws (effects),
    # writing before the next frame (pre-frame) or at the render's end
    # (post-render).
    cost=$(awk -v e="$veffects" -v ep="$effects" -v p="$vpre" -v pp="$pre" -v r="$vpost" \
      -v rp="$post" 'BEGIN { d = (e - ep) + (p - pp) + (r - rp); printf "%.3f", (d < 0 ? 0 : d) }')
    share=$(awk -v c="$cost" -v e="$effects" 'BEGIN { printf "%.1f%%", (e > 0 ? 100 * c / e : 0) }')
    row+=$(printf ' %9s %9s' "$cost" "$share")
  done
  echo "$row"
done <"$dir/scenes.txt"
