#!/usr/bin/env bash
# Lists every #include between the folders of the plug-in's line code and
# fails when one runs against the line engine's pipeline. The layers, from the
# bottom:
#
#   line/brush      brush objects, tips and stamps
#   line/frame      the data handed between the stages
#   line/detect     edge detection
#   line/chain      chaining pieces into strokes
#   line/draw       drawing strokes
#   line/composite  passes over the image and render elements
#   line/output     vector outputs and inspection files
#   line/engine     the driver: gathering and running the stages
#
# The toon material (material/) includes neither the line code nor the
# plug-in set-up.
#
# A folder may include its own headers and those of the layers below it. The
# effect objects (line/effect) sit beside the driver: they may include the
# brush objects and the engine's public entry (line/engine/line_engine.h)
# only, and no stage includes them. Tests drive whole pipelines and are
# listed but not checked.
#
# Usage: scripts/check-layers.sh [--quiet] [SOURCE_ROOT]
# (the source tree holding tarnis/, by default this checkout; exit status 1
# on a violation)
set -euo pipefail

quiet=0
if [[ "${1:-}" == "--quiet" ]]; then
  quiet=1
  shift
fi
cd "${1:-$(dirname "$0")/..}"

declare -A rank=([brush]=0 [frame]=1 [detect]=2 [chain]=3 [draw]=4 [composite]=5 [output]=6
                 [engine]=7)

violations=0
listed=0
tests=0
while IFS=: read -r file _ include; do
  from=${file#tarnis/line/}
  from=${from%%/*}
  to=${include#*\"tarnis/line/}
  header=${to%%\"*}
  to=${to%%/*}
  [[ "$from" == "$to" ]] && continue
  case "$file" in
    *_test.cpp | *_test_helpers.h | */engine_test_scene.h)
      tests=$((tests + 1))
      continue
      ;;
  esac
  listed=$((listed + 1))
  ok=1
  if [[ "$from" == effect ]]; then
    [[ "$to" == brush || "$header" == engine/line_engine.h ]] || ok=0
  elif [[ "$to" == effect ]]; then
    [[ "$from" == engine ]] || ok=0
  elif [[ -z "${rank[$from]:-}" || -z "${rank[$to]:-}" ]]; then
    ok=0
  elif ((rank[$to] > rank[$from])); then
    ok=0
  fi
  if ((ok)); then
    ((quiet)) || printf '  %-10s -> %s\n' "$from" "$header"
  else
    printf 'AGAINST THE PIPELINE: %s includes tarnis/line/%s\n' "$file" "$header" >&2
    violations=$((violations + 1))
  fi
done < <(grep -rnE '^#include "tarnis/line/' tarnis/line --include='*.h' --include='*.cpp' | sort)

# Nothing below the line code reaches up into it or into the plug-in set-up.
while IFS=: read -r file _ include; do
  printf 'AGAINST THE LAYERS: %s includes %s\n' "$file" "${include#\#include }" >&2
  violations=$((violations + 1))
done < <(grep -rnE '^#include "tarnis/(line|plugin)/' tarnis/common tarnis/resources \
           --include='*.h' --include='*.cpp' | grep -v '_test\.cpp:' || true)
while IFS=: read -r file _ include; do
  printf 'AGAINST THE LAYERS: %s includes %s\n' "$file" "${include#\#include }" >&2
  violations=$((violations + 1))
done < <(grep -rnE '^#include "tarnis/plugin/' tarnis/line --include='*.h' --include='*.cpp' |
           grep -v '_test\.cpp:' || true)

# The toon material sits on the shared helpers alone: the line code and the
# plug-in set-up are above it.
while IFS=: read -r file _ include; do
  printf 'AGAINST THE LAYERS: %s includes %s\n' "$file" "${include#\#include }" >&2
  violations=$((violations + 1))
done < <(grep -rnE '^#include "tarnis/(line|plugin)/' tarnis/material \
           --include='*.h' --include='*.cpp' | grep -v '_test\.cpp:' || true)

# The outputs (output/) see the data the line engine hands out (line/frame,
# line/output) and the toon material; neither the line code nor the material
# includes them, and they include no stage and no effect object.
while IFS=: read -r file _ include; do
  printf 'AGAINST THE LAYERS: %s includes %s\n' "$file" "${include#\#include }" >&2
  violations=$((violations + 1))
done < <(grep -rnE '^#include "tarnis/output/' tarnis/line tarnis/material tarnis/common \
           --include='*.h' --include='*.cpp' | grep -v '_test\.cpp:' || true)
if [[ -d tarnis/output ]]; then
  while IFS=: read -r file _ include; do
    printf 'AGAINST THE LAYERS: %s includes %s\n' "$file" "${include#\#include }" >&2
    violations=$((violations + 1))
  done < <(grep -rnE '^#include "tarnis/(plugin|line/(brush|detect|chain|draw|composite|effect|engine))/' \
             tarnis/output --include='*.h' --include='*.cpp' | grep -v '_test\.cpp:' || true)
fi

echo "$listed includes between line folders checked ($tests in tests not checked)," \
     "$violations against the pipeline"
((violations == 0))
