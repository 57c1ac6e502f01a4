#!/usr/bin/env bash
# The studio's command line as users meet it: --help names the options, a
# scene that cannot be read is one error line naming it and exit status 1,
# two scenes are refused, and --screenshot writes a picture of the window
# with the rendered scene and quits.
set -u
studio=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {  # check DESCRIPTION CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

"$studio" --help >"$tmp/help" 2>&1
check "--help lists --screenshot" grep -q -- "--screenshot" "$tmp/help"

"$studio" "$tmp/missing.json" >"$tmp/out" 2>"$tmp/err"
status=$?
check "a missing scene exits with 1" test "$status" -eq 1
check "the error names the file" grep -q "tarnis-studio: .*missing.json" "$tmp/err"

"$studio" a.json b.json >"$tmp/out" 2>"$tmp/err"
check "two scenes are refused" test $? -eq 1

cat >"$tmp/box.json" <<'JSON'
{"tarnis": 1,
 "render": {"width": 48, "height": 32, "samples": 1},
 "environment": {"background": [1, 1, 1]},
 "camera": {"type": "perspective", "position": [6, -8, 5], "target": [0, 0, 0.5], "fov": 45},
 "nodes": [{"name": "Box", "mesh": {"primitive": "box", "size": [2, 2, 2]}}],
 "effects": [{"class": "Tarnis_Line",
              "refs": {"1": {"class": "Tarnis_LineSet", "params": {"main": {"objects": ["Box"]}}}}}]}
JSON
"$studio" "$tmp/box.json" --screenshot "$tmp/shot.png" >"$tmp/out" 2>"$tmp/err"
status=$?
check "--screenshot exits with 0" test "$status" -eq 0
check "--screenshot writes a PNG file" bash -c "head -c 8 '$tmp/shot.png' | grep -q PNG"
if [ "$fail" -ne 0 ]; then cat "$tmp/err"; fi
exit "$fail"
