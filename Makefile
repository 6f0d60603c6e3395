# The two commands of a newcomer on Debian 12 or 13, as a user (sudo is
# asked for only when a package is missing) or as root:
#   make run    install what the program needs, build and run conversion-driver
#   make test   install what the tests need too, build and run every test: the
#               Windows build by MinGW-w64 and its tests under Wine
#               (windows), the suite under the check, asan and tsan presets
#               (suites), the check build's suite and one program run under
#               valgrind (memcheck), and each fuzz target for FUZZ_SECONDS
#               seconds, all at once (fuzz); see docs/building.md for where
#               its time goes
# Each is incremental: with nothing changed it only checks and runs.
#
# The parts of `make test` run on their own too, for work on one area:
#   make windows, make suites TEST_PRESETS=debug, make memcheck,
#   make fuzz FUZZ_SECONDS=600
# and `make bench` measures the JSON model (see docs/performance.md).

RUN_PRESET ?= release
TEST_PRESETS ?= check asan tsan
# Beyond what the program needs (scripts/install-deps.sh). clang builds the
# asan preset and the fuzz targets with its sanitizer and libFuzzer runtime,
# which libclang-rt-dev brings for the release's own clang, whatever its
# version; locales brings localedef and the German locale's source, from
# which the tests build a decimal-comma locale.
TEST_PACKAGES = libgtest-dev libgmock-dev locales
CLANG_PACKAGES = clang libclang-rt-dev

# `make bench BENCH_ARGS=--benchmark_filter=Flat` runs some cases only.
BENCH_ARGS ?=
BENCH_FLAGS = --benchmark_repetitions=5 \
  --benchmark_enable_random_interleaving=true \
  --benchmark_display_aggregates_only=true

.PHONY: run test suites deps test-deps bench bench-deps

deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh $(TEST_PACKAGES) $(CLANG_PACKAGES)

bench-deps:
	@scripts/install-deps.sh libbenchmark-dev

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

# Ends with what ran: each part's count of tests, and their total.
test:
	@rm -rf build/test-results
	@$(MAKE) --no-print-directory windows suites memcheck fuzz
	@echo "=== make test: every check passed ==="
	@scripts/count-checks.sh summary

suites: test-deps $(foreach preset,$(TEST_PRESETS),build/$(preset)/build.ninja)
	@set -e; for preset in $(TEST_PRESETS); do \
	  echo "=== $$preset ==="; \
	  cmake --build --preset $$preset; \
	  scripts/count-checks.sh record suite-$$preset \
	    "tests of the $$preset suite" -- ctest --preset $$preset; \
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

.PHONY: windows windows-deps

# MinGW-w64 builds, Wine runs; dpkg-dev unpacks jsoncpp's source package.
windows-deps:
	@scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 dpkg-dev \
	  $(TEST_PACKAGES)

# jsoncpp, GoogleTest and nlohmann::json for Windows, built again when their
# scripts or the toolchain change (see docs/building.md).
build/windows-deps/prefix/.complete: scripts/build-windows-deps.sh \
  scripts/debian-source.sh cmake/MinGW.cmake | windows-deps
	@scripts/build-windows-deps.sh $(CURDIR)/cmake/MinGW.cmake \
	  $(CURDIR)/build/windows-deps/work $(CURDIR)/build/windows-deps/prefix

build/windows/build.ninja: CMakePresets.json build/windows-deps/prefix/.complete
	cmake --preset windows
	@touch $@

# The Windows program, library and tests, built with -Werror and run under
# Wine: every suite, the import and export tables, the program's own run.
windows: windows-deps build/windows/build.ninja
	@echo "=== windows ==="
	@cmake --build --preset windows
	@scripts/count-checks.sh record windows \
	  "tests of the Windows build under Wine" -- ctest --preset windows

.PHONY: memcheck memcheck-deps

memcheck-deps:
	@scripts/install-deps.sh $(TEST_PACKAGES) valgrind

# The check build's test executables, each run whole by CTest under
# valgrind (label memcheck), and the program's own run; any memory error or
# leak fails that test, and the reports of the failed ones are printed.
memcheck: memcheck-deps build/check/build.ninja
	@echo "=== memcheck ==="
	@cmake --build --preset check
	@logs=build/check/Testing/Temporary; rm -f $$logs/MemoryChecker.*.log; \
	  scripts/count-checks.sh record memcheck \
	    "test executables and program runs under valgrind" -- \
	    ctest --test-dir build/check -T MemCheck --label-regex memcheck \
	    --output-on-failure --parallel 2 --timeout 600 || { \
	    for log in $$logs/MemoryChecker.*.log; do \
	      [ -s "$$log" ] && { echo "--- $$log"; cat "$$log"; }; \
	    done; exit 1; }

.PHONY: fuzz fuzz-deps

# `make fuzz FUZZ_SECONDS=600 FUZZ_TARGETS=wav_reader_fuzz` fuzzes one target
# for ten minutes.
FUZZ_SECONDS ?= 30
FUZZ_TIMEOUT ?= 300
FUZZ_TARGETS ?= text_encoding_fuzz json_writer_fuzz conversion_request_fuzz \
  wav_reader_fuzz
# Targets fuzzed at once: all four, so that on two cores fuzzing costs
# FUZZ_SECONDS of the run's time, not twice that.
FUZZ_JOBS ?= 4

fuzz-deps:
	@scripts/install-deps.sh $(CLANG_PACKAGES)

build/fuzz/build.ninja: CMakePresets.json | fuzz-deps
	cmake --preset fuzz
	@touch $@

# Every target runs, FUZZ_JOBS at a time, each printing its lines when it is
# done; a crash fails its target and leaves its input as
# build/fuzz/runs/<target>/crash-*: copy that file into
# fuzz/regressions/<target>/, where the tests replay it.
fuzz: fuzz-deps build/fuzz/build.ninja
	@cmake --build --preset fuzz
	@$(MAKE) --no-print-directory -k -j$(FUZZ_JOBS) --output-sync=target \
	  $(addprefix fuzz-run-,$(FUZZ_TARGETS)) || { \
	    echo "fuzz: failed (inputs in build/fuzz/runs/<target>/)"; exit 1; }

# One target from a scratch copy of its seed corpus in
# build/fuzz/runs/<target>/, so the corpus in the repository changes only by
# hand. No allocation stacks are recorded: ASan keeps every distinct one, and
# those taken through the uninstrumented libraries grew the request target
# past 1 GB within a minute at less than half the speed.
# `build/fuzz/bin/<target> <crash file>` replays one input with full reports.
# An input that runs past FUZZ_TIMEOUT seconds fails its target as a hang:
# inputs take well under a second, yet a loaded machine has stalled one for
# 13 s, so only a real hang may cross the bound.
.PHONY: $(addprefix fuzz-run-,$(FUZZ_TARGETS))
$(addprefix fuzz-run-,$(FUZZ_TARGETS)): fuzz-run-%:
	@run=build/fuzz/runs/$*; \
	  echo "=== $*: $(FUZZ_SECONDS) s ==="; \
	  rm -rf $$run && mkdir -p $$run/corpus && \
	  cp fuzz/corpus/$*/* $$run/corpus/ && \
	  ASAN_OPTIONS=malloc_context_size=0 UBSAN_OPTIONS=print_stacktrace=1 \
	    build/fuzz/bin/$* \
	    -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) \
	    -print_final_stats=1 \
	    -artifact_prefix=$$run/ $$run/corpus >$$run/log.txt 2>&1; \
	  status=$$?; \
	  if [ $$status -eq 0 ]; then grep '^stat::' $$run/log.txt; \
	    scripts/count-checks.sh record-one fuzz-$* \
	      "fuzz target $* for $(FUZZ_SECONDS) s"; \
	  else tail -n 60 $$run/log.txt; echo "=== $*: failed ==="; exit 1; fi
