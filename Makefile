# Thin wrappers over CMake. `make test` is the test command; `make demo` plays a demo match;
# `make install PREFIX=DIR` installs the strategy author's kit. `make dll` builds the strategy
# DLLs for 32-bit Windows; `make dll-test` runs the suites, cross-built, under Wine. `make fuzz`
# fuzzes the library for a million inputs.
BUILD ?= build
WIN32_BUILD ?= build-win32
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
PREFIX ?= /usr/local
WIN32_TOOLCHAIN := $(CURDIR)/cmake/i686-w64-mingw32.cmake

.PHONY: all tools configure build test demo install bench bench-ladder fuzz fuzz-corpus dll \
	dll-tools dll-configure dll-test clean

all: build

# What the build needs, from Debian's packages, if it is missing (nothing to do otherwise).
tools:
	@bash cmake/install-build-tools.sh

configure: tools
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The demo match (goalkeeper, sample defender and striker a side, fixed seed): the summary is
# printed; replay.jsonl, summary.txt, the page replay.html and the pictures final.png and
# trails.png go to out/demo/. Builds only what the match needs, its
# output kept in $(BUILD)/demo-build.log and shown only if something fails.
demo: tools
	@echo "Building the host, the sample and the examples (log: $(BUILD)/demo-build.log)"
	@mkdir -p $(BUILD)
	@{ cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) && \
	   cmake --build $(BUILD) -j $(JOBS) --target touchline_demo_parts; } \
	   > $(BUILD)/demo-build.log 2>&1 || { tail -n 40 $(BUILD)/demo-build.log; exit 1; }
	@$(BUILD)/bin/touchline-demo out/demo

# The strategy author's kit: header, toolkit, host, examples, template and CMake package. Builds
# only what the kit holds.
install: configure
	cmake --build $(BUILD) -j $(JOBS) --target touchline_kit
	cmake --install $(BUILD) --prefix $(PREFIX)

# The cross toolchain, from Debian's packages, if it is missing.
dll-tools:
	bash cmake/install-win32-tools.sh --no-wine

dll-configure: dll-tools
	cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(WIN32_TOOLCHAIN) \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

# The DLLs land in $(WIN32_BUILD)/dll; each one's export and import tables are checked.
dll: dll-configure
	cmake --build $(WIN32_BUILD) -j $(JOBS) --target touchline_dlls
	cd $(WIN32_BUILD) && ctest --output-on-failure -L dll

# Everything of the cross build, run under Wine (installed here if missing). The geometry is
# compared with the build machine's own build in $(BUILD).
dll-test: dll configure
	bash cmake/install-win32-tools.sh
	cmake --build $(BUILD) -j $(JOBS) --target geometry_digest
	cmake -S . -B $(WIN32_BUILD) -DTOUCHLINE_HOST_DIGEST=$(CURDIR)/$(BUILD)/tests/geometry_digest
	cmake --build $(WIN32_BUILD) -j $(JOBS)
	bash cmake/wine-ctest.sh $(WIN32_BUILD) -j $(JOBS)

# The fake-JVM benchmarks, the library's cycle in a real JVM against its floor, the physics, the
# match host (start-up, steps per second, memory), the host against the match's floor (taking
# its work from the real-JVM floor and the physics just measured), what recording a match and
# planning a tournament cost, and the ladder. The real-JVM, host, host / floor and outputs tables
# are written into docs/benchmarks.md. About 17 minutes on a quiet 2-core machine, once built.
bench: build
	$(BUILD)/bench/bench_cycle --benchmark_min_time=0.5
	$(BUILD)/bench/bench_jvm --write=docs/benchmarks.md
	$(BUILD)/bench/physics_bench >$(BUILD)/bench/physics.txt && cat $(BUILD)/bench/physics.txt
	bench/host-bench.sh $(BUILD) 3 docs/benchmarks.md
	bench/floor-bench.sh $(BUILD) 5 docs/benchmarks.md $(BUILD)/bench/physics.txt
	bench/outputs-bench.sh $(BUILD) 3 docs/benchmarks.md
	$(MAKE) bench-ladder

# The ladder of example opponents as a tournament (a few minutes): every rung must beat the one
# below it; the table goes to $(BUILD)/bench/ladder/table.txt (and into docs/tournaments.md by hand).
bench-ladder: build
	bench/ladder.sh $(BUILD)

# The library's fuzz target (tests/fuzz) for a million inputs, each on a freshly loaded library
# (about half an hour on a quiet 2-core machine, once built; RUNS=n for another count). The count,
# the time and the rate go into docs/benchmarks.md; a failing input is kept in
# $(BUILD)/tests/fuzz/long/artifacts, new ones in $(BUILD)/tests/fuzz/long/found.
fuzz: configure
	cmake --build $(BUILD) -j $(JOBS) --target touchline_fuzz
	tests/fuzz/long-run.sh $(BUILD) docs/benchmarks.md

# The committed corpus merged with the long run's finds, minimized (libFuzzer's -merge=1).
fuzz-corpus: configure
	cmake --build $(BUILD) -j $(JOBS) --target touchline_fuzz
	tests/fuzz/merge-corpus.sh $(BUILD)

clean:
	rm -rf $(BUILD)
