# Entry points for a newcomer on Debian 12:
#   make run    install what is missing, build and run conversion-driver
#   make test   install what is missing, build and run every test, under the
#               release, asan and tsan presets
# Both are incremental: with nothing changed they only check and return.
# `make test TEST_PRESETS=debug` runs the suite under one preset only.

RUN_PRESET ?= release
TEST_PRESETS ?= release asan tsan

.PHONY: run test deps

deps:
	@scripts/install-deps.sh

# Configures a preset's build tree once; Ninja re-runs CMake when it must.
build/%/build.ninja: | deps
	cmake --preset $*

run: deps build/$(RUN_PRESET)/build.ninja
	@cmake --build --preset $(RUN_PRESET) --target conversion-driver
	@echo "--- conversion-driver: standard output follows ---"
	@build/$(RUN_PRESET)/bin/conversion-driver; status=$$?; \
	  echo "--- conversion-driver: exit status $$status ---"; exit $$status

test: deps $(foreach preset,$(TEST_PRESETS),build/$(preset)/build.ninja)
	@set -e; for preset in $(TEST_PRESETS); do \
	  echo "=== $$preset ==="; \
	  cmake --build --preset $$preset; \
	  ctest --preset $$preset; \
	done
