# Wraps the CMake presets. `make demo` and `make test` install what is missing first.
JOBS ?= $(shell nproc)

.PHONY: deps build build-asan test test-dev test-asan demo bench fuzz clean format

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

test-asan: build-asan
	ctest --preset asan -j $(JOBS)

test: test-dev test-asan

# Renders the bundled demo scene to out/demo.png.
demo: build
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

# Runs the saved-scene fuzzers for FUZZ_SECONDS each (default 60) from fresh seeds.
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	rm -rf build/fuzz/corpus && mkdir -p build/fuzz/corpus
	TARNIS_FUZZ_WRITE_SEED=build/fuzz/corpus/seed.tscene ./build/fuzz/fuzz/scene_fuzzer
	./build/fuzz/fuzz/scene_fuzzer build/fuzz/corpus -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1
	rm -rf build/fuzz/line-corpus && mkdir -p build/fuzz/line-corpus
	TARNIS_FUZZ_WRITE_SEED=build/fuzz/line-corpus/seed.tscene ./build/fuzz/fuzz/line_fuzzer
	./build/fuzz/fuzz/line_fuzzer build/fuzz/line-corpus -max_total_time=$(FUZZ_SECONDS) -max_len=131072 -print_final_stats=1

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./build/release/bench/sdk_bench
	./build/release/bench/line_bench

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build out
