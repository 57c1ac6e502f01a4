#!/usr/bin/env bash
# Renders generated large scenes with `tarnis render --stats` and prints one
# table of where the time went. Run by `make bench-scenes`; never a test.
#
#   scripts/bench-scenes.sh BUILD_DIR OUT_DIR [TRIANGLES...]
#
# BUILD_DIR holds the built apps/tarnis/tarnis and bench/scene_gen; the scenes
# and images go under OUT_DIR/<triangles>/. TRIANGLES defaults to 100000 and
# 1000000. A render that fails is a row saying so, and the script exits 1.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 BUILD_DIR OUT_DIR [TRIANGLES...]" >&2
  exit 2
fi
build=$1
out=$2
shift 2
counts=("$@")
[[ ${#counts[@]} -gt 0 ]] || counts=(100000 1000000)

tarnis=$build/apps/tarnis/tarnis
scene_gen=$build/bench/scene_gen
for program in "$tarnis" "$scene_gen"; do
  [[ -x $program ]] || { echo "$0: $program is not built" >&2; exit 1; }
done

# 100000 -> 100k, 1000000 -> 1M
label() {
  local n=$1
  if ((n % 1000000 == 0)); then echo "$((n / 1000000))M"
  elif ((n % 1000 == 0)); then echo "$((n / 1000))k"
  else echo "$n"; fi
}

# The value of one `stats total: STAGE N UNIT` line, or "-" when it is missing.
total() {
  awk -v stage="$2" '
    index($0, "stats total: " stage " ") == 1 { print $(NF - 1); found = 1 }
    END { if (!found) print "-" }' "$1"
}

rows=()
failed=0
for count in "${counts[@]}"; do
  dir=$out/$(label "$count")
  "$scene_gen" "$count" "$dir"
  while read -r name triangles; do
    log=$dir/$name.log
    echo "rendering $name ($(label "$count"), $triangles triangles) ..." >&2
    if "$tarnis" render "$dir/$name.json" -o "$dir/$name.png" --quiet --stats >"$log" 2>&1; then
      rows+=("$(printf '%-12s %10s %8s %8s %8s %12s %9s %8s %9s' "$name $(label "$count")" \
        "$triangles" "$(total "$log" load)" "$(total "$log" build)" "$(total "$log" shade)" \
        "$(total "$log" post-frame)" "$(total "$log" effects)" "$(total "$log" elapsed)" \
        "$(total "$log" 'peak memory')")")
    else
      failed=1
      rows+=("$(printf '%-12s %10s  failed, see %s' "$name $(label "$count")" "$triangles" "$log")")
    fi
  done <"$dir/scenes.txt"
done

printf '%-12s %10s %8s %8s %8s %12s %9s %8s %9s\n' scene triangles "load s" "build s" \
  "shade s" "post-frame s" "effects s" "total s" "peak MiB"
printf '%s\n' "${rows[@]}"
exit $failed
