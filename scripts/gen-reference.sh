#!/usr/bin/env bash
# Writes the parameter reference from the built program: `tarnis info
# --params` over every class that `tarnis info --classes` lists.
#   scripts/gen-reference.sh TARNIS [OUT]     write OUT (default docs/reference.md)
#   scripts/gen-reference.sh --check TARNIS   fail when docs/reference.md differs
# Fails when a parameter has no meaning.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
exe="${1:?usage: gen-reference.sh [--check] TARNIS [OUT]}"
doc="$root/docs/reference.md"
out="${2:-$doc}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
# Declared defaults, not a user's saved ones; English texts.
export TARNIS_HOME="$scratch/home" LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE

generated="$scratch/reference.md"
{
  echo "# Parameter reference"
  echo
  echo "Every class the program knows, with its parameter blocks and parameters as scene"
  echo "descriptions name them (\`\"params\": {\"BLOCK\": {\"PARAMETER\": value}}\`). Made by"
  echo "\`scripts/gen-reference.sh\` from \`tarnis info --params CLASS\`; do not edit by hand."
  "$exe" info --classes | sed 's/ *superclass 0x.*$//' | while IFS= read -r cls; do
    echo
    "$exe" info --params "$cls"
  done
} >"$generated"

missing="$(grep -E '^\| `[^`]*` \|.*\|  \|$' "$generated" || true)"
if [ -n "$missing" ]; then
  echo "gen-reference: parameters without a meaning (add them to apps/tarnis/param_meanings.cpp):" >&2
  echo "$missing" >&2
  exit 1
fi

if [ "$check" = 1 ]; then
  if ! diff -u "$doc" "$generated" >"$scratch/diff"; then
    head -n 40 "$scratch/diff" >&2
    echo "gen-reference: docs/reference.md is out of date; run scripts/gen-reference.sh $exe" >&2
    exit 1
  fi
  exit 0
fi
cp "$generated" "$out"
