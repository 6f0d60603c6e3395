# The two commands of a newcomer on Debian 12, as a user (sudo is asked for
# only when a package is missing) or as root:
#   make run    install what the program needs, build and run conversion-driver
#   make test   install what the tests need too, build and run every test: the
#               suite under the check, asan and tsan presets (suites), the
#               suite and one program run under valgrind (memcheck), and each
#               fuzz target for FUZZ_SECONDS seconds (fuzz); 10 to 20 minutes
#               on two cores from scratch
# Each is incremental: with nothing changed it only checks and runs.
#
# The parts of `make test` run on their own too, for work on one area:
#   make suites TEST_PRESETS=debug, make memcheck, make fuzz FUZZ_SECONDS=600
# and `make bench` measures the JSON model (see the README).

RUN_PRESET ?= release
TEST_PRESETS ?= check asan tsan
# Beyond what the program needs (scripts/install-deps.sh).
TEST_PACKAGES = libgtest-dev libgmock-dev

# `make bench BENCH_ARGS=--benchmark_filter=Flat` runs some cases only.
BENCH_ARGS ?=
BENCH_FLAGS = --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true

.PHONY: run test suites deps test-deps bench bench-deps

deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh $(TEST_PACKAGES)

bench-deps:
	@scripts/install-deps.sh libbenchmark-dev nlohmann-json3-dev

# Configures a preset's build tree, again when the presets change; Ninja
# re-runs CMake itself when a CMakeLists.txt changes.
build/%/build.ninja: CMakePresets.json | deps
	cmake --preset $*
	@touch $@

# The test presets build the GoogleTest suites.
$(foreach preset,$(TEST_PRESETS),build/$(preset)/build.ninja): | test-deps

build/bench/build.ninja: CMakePresets.json | bench-deps
	cmake --preset bench
	@touch $@

run: deps build/$(RUN_PRESET)/build.ninja
	@cmake --build --preset $(RUN_PRESET) --target conversion-driver
	@echo "--- conversion-driver: standard output follows ---"
	@build/$(RUN_PRESET)/bin/conversion-driver; status=$$?; \
	  echo "--- conversion-driver: exit status $$status ---"; exit $$status

test: suites memcheck fuzz
	@echo "checks: $(words $(TEST_PRESETS) memcheck fuzz) passed, 0 failed"

suites: test-deps $(foreach preset,$(TEST_PRESETS),build/$(preset)/build.ninja)
	@set -e; for preset in $(TEST_PRESETS); do \
	  echo "=== $$preset ==="; \
	  cmake --build --preset $$preset; \
	  ctest --preset $$preset; \
	done

# Every repetition runs the cases in a new random order, so a change of load
# shifts the floor, the peer and ours alike. The table keeps the medians and
# the fitted growth, sorted by name; build/bench/results.json keeps every run.
bench: bench-deps build/bench/build.ninja
	@cmake --build --preset bench
	@echo "--- conversion_bench: medians of 5 runs (a few minutes) ---"
	@out=build/bench/results; \
	  build/bench/bin/conversion_bench $(BENCH_FLAGS) $(BENCH_ARGS) \
	    --benchmark_out=$$out.json --benchmark_out_format=json >$$out.txt; \
	  status=$$?; sed -n '1,3p' $$out.txt; \
	  sed '1,3d' $$out.txt | grep -E '_(median|BigO|RMS) |ERROR' | sort -V; \
	  exit $$status

.PHONY: memcheck memcheck-deps

memcheck-deps:
	@scripts/install-deps.sh $(TEST_PACKAGES) valgrind

build/memcheck/build.ninja: CMakePresets.json | memcheck-deps
	cmake --preset memcheck
	@touch $@

# Valgrind is the preset's emulator: CTest starts every test executable, and
# the program once, through it; any memory error or leak fails that test.
memcheck: memcheck-deps build/memcheck/build.ninja
	@cmake --build --preset memcheck
	@ctest --preset memcheck

.PHONY: fuzz fuzz-deps

# `make fuzz FUZZ_SECONDS=600 FUZZ_TARGETS=wav_reader_fuzz` fuzzes one target
# for ten minutes.
FUZZ_SECONDS ?= 60
FUZZ_TIMEOUT ?= 300
FUZZ_TARGETS ?= text_encoding_fuzz json_writer_fuzz conversion_request_fuzz \
  wav_reader_fuzz

fuzz-deps:
	@scripts/install-deps.sh clang libclang-rt-14-dev

build/fuzz/build.ninja: CMakePresets.json | fuzz-deps
	cmake --preset fuzz
	@touch $@

# Each target starts from a scratch copy of its seed corpus in
# build/fuzz/runs/<target>/, so the corpus in the repository changes only by
# hand. Every target runs; a crash makes the exit status non-zero and leaves
# its input as build/fuzz/runs/<target>/crash-*: copy that file into
# fuzz/regressions/<target>/, where the tests replay it. No allocation stacks
# are recorded: ASan keeps every distinct one, and those taken through the
# uninstrumented libraries grew the request target past 1 GB within a minute
# at less than half the speed. `build/fuzz/bin/<target> <crash file>` replays
# one input with full reports. An input that runs past FUZZ_TIMEOUT seconds
# fails its target as a hang: inputs take well under a second, yet a loaded
# machine has stalled one for 13 s, so only a real hang may cross the bound.
fuzz: fuzz-deps build/fuzz/build.ninja
	@cmake --build --preset fuzz
	@failed=; for target in $(FUZZ_TARGETS); do \
	  run=build/fuzz/runs/$$target; \
	  echo "=== $$target: $(FUZZ_SECONDS) s ==="; \
	  rm -rf $$run && mkdir -p $$run/corpus && \
	  cp fuzz/corpus/$$target/* $$run/corpus/ && \
	  ASAN_OPTIONS=malloc_context_size=0 UBSAN_OPTIONS=print_stacktrace=1 \
	    build/fuzz/bin/$$target \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) \
	    -print_final_stats=1 \
	    -artifact_prefix=$$run/ $$run/corpus >$$run/log.txt 2>&1; \
	  status=$$?; \
	  if [ $$status -eq 0 ]; then grep '^stat::' $$run/log.txt; \
	  else tail -n 60 $$run/log.txt; failed="$$failed $$target"; fi; \
	done; \
	if [ -n "$$failed" ]; then \
	  echo "fuzz: failed:$$failed (inputs in build/fuzz/runs/<target>/)"; \
	  exit 1; \
	fi
