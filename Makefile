# The user's commands. Each sets up what it needs (packages, configuration).
.PHONY: all deps run test tsan win bench clean format fuzz soak

all: test

deps:
	@./tools/deps.sh

build/release/build.ninja: | deps
	cmake --preset release

build/asan/build.ninja: | deps
	cmake --preset asan

build/tsan/build.ninja: | deps
	cmake --preset tsan

build/fuzz/build.ninja: | deps
	cmake --preset fuzz

build/win64/build.ninja:
	@./tools/deps.sh win
	cmake --preset win64

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

# The Windows build (MinGW-w64): plug-ins, hosts and SDK versions as DLLs, the
# test executables run under Wine in a prefix of their own.
win: build/win64/build.ninja
	cmake --build --preset win64
	./tools/wine_test.sh build/win64

# Each libFuzzer target for FUZZ_SECONDS seconds from its checked-in corpus;
# a crash, leak, time-out or sanitizer report fails the target.
FUZZ_SECONDS ?= 60
fuzz: build/fuzz/build.ninja
	cmake --build --preset fuzz
	./fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# The soak run of the three builds under AddressSanitizer + UBSan (it checks
# memory errors over hours as well as growth), SOAK_SECONDS split between them.
SOAK_SECONDS ?= 600
soak: build/asan/build.ninja
	cmake --build --preset asan --target grabline_soak_standard grabline_soak_xl grabline_soak_par
	for f in standard xl par; do \
	  TARVEL_PLUGIN_PATH=build/asan/lib build/asan/bin/grabline_soak_$$f \
	    --seconds $$(( $(SOAK_SECONDS) / 3 )) || exit 1; \
	done

bench: build/release/build.ninja
	cmake --build --preset release
	@if [ -x build/release/bin/grabline_bench ]; then \
	  mkdir -p build/bench && build/release/bin/grabline_bench \
	    --benchmark_enable_random_interleaving=true \
	    --benchmark_out=build/bench/results.json --benchmark_out_format=json; \
	else echo "no benchmarks built yet"; fi

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' '*.h')

clean:
	rm -rf build out
