# Wraps the CMake presets. `make demo` and `make test` install what is missing first.
JOBS ?= $(shell nproc)

.PHONY: deps build build-asan test test-dev test-asan demo bench clean format

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

# Until the renderer lands the demo is described, not drawn.
demo: build
	./build/dev/apps/tarnis/tarnis info examples/demo/demo.json

bench: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	./build/release/bench/sdk_bench

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build out
