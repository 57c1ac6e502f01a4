#!/usr/bin/env bash
# The stroke gallery stays usable: every examples/strokes scene renders
# (small) without an error or a warning, so no key is misspelt or clamped,
# and docs/lines.md shows exactly the gallery's pictures.
# Usage: gallery_test.sh TARNIS SOURCE_DIR
set -euo pipefail

tarnis=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "gallery test: $*" >&2
  exit 1
}

scenes=("$src"/examples/strokes/*.json)
[ -e "${scenes[0]}" ] || fail "no scenes in examples/strokes"
for scene in "${scenes[@]}"; do
  name=$(basename "$scene" .json)
  "$tarnis" render "$scene" --size 160x60 --samples 1 -o "$work/$name.png" \
    >/dev/null 2>"$work/$name.err" || fail "$name.json did not render: $(cat "$work/$name.err")"
  if grep -i 'warning' "$work/$name.err" >&2; then fail "$name.json gave warnings"; fi
  [ -s "$work/$name.png" ] || fail "$name.json wrote no picture"
done

# The pictures the docs show and the scenes that make them.
shown=$(grep -o '](images/strokes/[A-Za-z0-9_-]*\.png)' "$src/docs/lines.md" | sed 's|.*/||; s|\.png)$||' |
  sort -u)
made=$(for scene in "${scenes[@]}"; do basename "$scene" .json; done | sort -u)
[ "$shown" = "$made" ] ||
  fail "docs/lines.md shows [$(echo $shown)] but examples/strokes makes [$(echo $made)]"
echo "gallery test: ${#scenes[@]} scenes"
