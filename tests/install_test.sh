#!/usr/bin/env bash
# Installs the build into a fresh prefix and runs the installed tarnis from
# another folder: it renders the demo with the plug-in it finds relative to
# itself, and with the plug-in folder removed it fails naming the folders it
# searched. Usage: install_test.sh BUILD_DIR
set -euo pipefail

build_dir=$1
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT

fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for f in bin/tarnis lib/tarnis/plugins/tarnis.so share/tarnis/examples/demo/demo.json \
  share/tarnis/docs/scene_files.md share/tarnis/README.md; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done

cd "$work"
unset TARNIS_PLUGIN_PATH
"$prefix/bin/tarnis" render --size 64x36 --samples 1 --quiet -o demo.png ||
  fail "the installed tarnis did not render the bundled demo"
[ -s demo.png ] || fail "no demo.png"
"$prefix/bin/tarnis" render "$prefix/share/tarnis/examples/demo/demo.json" --size 64x36 \
  --samples 1 --quiet -o again.png || fail "the installed demo scene did not render"

rm -rf "$prefix/lib/tarnis/plugins"
if "$prefix/bin/tarnis" render --size 64x36 --quiet -o none.png 2>err.txt; then
  fail "rendered a scene with toon and line classes without the plug-in"
fi
for expected in 'unknown class "Tarnis_' "searched $prefix/lib/tarnis/plugins, $prefix/bin" \
  "TARNIS_PLUGIN_PATH"; do
  grep -qF "$expected" err.txt || fail "the error does not say '$expected': $(cat err.txt)"
done
[ ! -e none.png ] || fail "a failed render left none.png"
echo "install test: passed"
