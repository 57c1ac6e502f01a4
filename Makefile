# Wraps the CMake presets. `make demo` and `make test` install what is missing first.
JOBS ?= $(shell nproc)

PREFIX ?= $(HOME)/.local

.PHONY: deps build program build-asan test test-dev test-asan demo install package bench \
	bench-scenes bench-vector-files fuzz clean format

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

build-asan: deps
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)

test-dev: build
	ctest --preset dev -j $(JOBS)

# The sanitizer build's unit tests, as `ctest --preset asan` runs them but one
# process per test program, JOBS at a time: starting a sanitized process for
# each of ~900 tests costs minutes.
test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		bash scripts/run-unit-tests.sh build/asan $(JOBS)

test: test-dev test-asan

# The tarnis program and its plug-in module, no test programs: what the demo,
# install and package need.
program: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target tarnis

# Renders the bundled demo scene to out/demo.png, its lines to out/demo.eps,
# out/demo_ai.eps and out/demo.svg and its line element to out/demo_lines.png.
demo: program
	./build/dev/apps/tarnis/tarnis render examples/demo/demo.json -o out/demo.png

# Renders the stroke gallery: every examples/strokes/NAME.json to
# docs/images/strokes/NAME.png (the pictures docs/lines.md shows).
.PHONY: gallery
gallery: deps
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target tarnis tarnis_module
	mkdir -p docs/images/strokes
	for scene in examples/strokes/*.json; do \
	  ./build/dev/apps/tarnis/tarnis render "$$scene" \
	    -o docs/images/strokes/$$(basename "$$scene" .json).png || exit 1; \
	done

# Installs bin/tarnis, lib/tarnis/plugins and share/tarnis under PREFIX (default ~/.local).
install: program
	cmake --install build/dev --prefix $(PREFIX) --strip

# A Debian package (build/dev/tarnis_<version>_<arch>.deb) that installs under /usr.
package: program
	cd build/dev && cpack

# Runs the six fuzz targets for FUZZ_SECONDS each (default 60) from fresh seeds,
# JOBS at a time: saved scenes (two), scene descriptions, mesh files, line-set
# files and settings files (logs in build/fuzz/NAME.log).
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	bash scripts/run-fuzzers.sh $(FUZZ_SECONDS) $(JOBS)

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./build/release/bench/sdk_bench
	./build/release/bench/line_bench
	./build/release/bench/toon_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
	./build/release/bench/reflection_lines_bench 5

# Generates large scenes (100 k and 1 M triangles; BENCH_TRIANGLES to choose)
# into build/bench-scenes/, renders each with `tarnis render --stats` and
# prints a table of the stage times and the peak memory.
BENCH_TRIANGLES ?= 100000 1000000
bench-scenes: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target tarnis tarnis_module scene_gen
	bash scripts/bench-scenes.sh build/release build/bench-scenes $(BENCH_TRIANGLES)

# Renders the generated 1 M-triangle scenes with and without vector-file
# outputs and prints what the vector files cost beside the line drawing.
bench-vector-files: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target tarnis tarnis_module scene_gen vector_file_bench
	bash scripts/bench-vector-files.sh build/release build/bench-vector-files
	./build/release/bench/vector_file_bench 575000 build/bench-vector-files/stream

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build out
