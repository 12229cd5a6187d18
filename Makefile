# The user's commands. Each sets up what it needs (packages, configuration).
.PHONY: all deps run test tsan bench clean format

all: test

deps:
	@./tools/deps.sh

build/release/build.ninja: | deps
	cmake --preset release

build/asan/build.ninja: | deps
	cmake --preset asan

build/tsan/build.ninja: | deps
	cmake --preset tsan

# Release build, then the main job: grab from the simulated default board.
run: build/release/build.ninja
	cmake --build --preset release
	./tools/run.sh build/release

# All three builds under AddressSanitizer + UndefinedBehaviorSanitizer.
test: build/asan/build.ninja
	cmake --build --preset asan
	ctest --preset asan

# The threaded suites under ThreadSanitizer.
tsan: build/tsan/build.ninja
	cmake --build --preset tsan
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan

bench: build/release/build.ninja
	cmake --build --preset release
	@if [ -x build/release/bin/grabline_bench ]; then \
	  mkdir -p build/bench && build/release/bin/grabline_bench \
	    --benchmark_out=build/bench/results.json --benchmark_out_format=json; \
	else echo "no benchmarks built yet"; fi

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' '*.h')

clean:
	rm -rf build out
