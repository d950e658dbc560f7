# Everything a user needs: `make test` and `make demo`. The other targets are the steps behind them.
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=
CTEST_FLAGS ?= --output-on-failure --timeout 300 -j $(JOBS)

# Debian packages the build needs (xvfb and xdotool: the window tests' virtual X display and its
# input events; clang: the fuzz harnesses); SDL2 (windowed play) and ccache (the compiler cache,
# used whenever it is installed) are optional.
DEBS_REQUIRED = cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libtirpc-dev \
                xvfb xdotool clang
DEBS_OPTIONAL = libsdl2-dev ccache

# The fuzz harnesses (fuzz/): their own build folder, clang, and only what they link.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build test test-sanitize test-tsan demo bench clean fuzz-build fuzz fuzz-seeds

all: build

deps:
	@missing=""; for p in $(DEBS_REQUIRED); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	optional=""; for p in $(DEBS_OPTIONAL); do dpkg -s $$p >/dev/null 2>&1 || optional="$$optional $$p"; done; \
	if [ -z "$$missing$$optional" ]; then exit 0; fi; \
	if [ "$$(id -u)" = 0 ]; then \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get update -qq >/dev/null 2>&1 || true; \
	  if [ -n "$$missing" ]; then apt-get install -y -qq $$missing >/dev/null || exit 1; fi; \
	  for p in $$optional; do apt-get install -y -qq $$p >/dev/null 2>&1 || echo "note: optional package not installed: $$p"; done; \
	else \
	  if [ -n "$$missing" ]; then echo "missing packages; run: sudo apt-get install$$missing$$optional"; exit 1; fi; \
	  echo "optional packages not installed (windowed play, compiler cache): sudo apt-get install$$optional"; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest $(CTEST_FLAGS)

test-sanitize: deps
	$(MAKE) BUILD=build-sanitize CMAKE_FLAGS="-DSANITIZE=ON -DBUILD_BENCH=OFF" test

test-tsan: deps
	$(MAKE) BUILD=build-tsan CMAKE_FLAGS="-DTSAN=ON" test

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_min_time=0.2; done; true

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON $(CMAKE_FLAGS)

fuzz-build: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_harnesses

# Every harness for FUZZ_SECONDS, JOBS at a time: one line each (executions, coverage, findings);
# any finding fails.
fuzz: fuzz-build
	fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

# Writes the seed inputs into fuzz/corpus/<harness>/seed-* from the data kit and the encoders.
fuzz-seeds: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_make_seeds
	$(FUZZ_BUILD)/tools/fuzz_make_seeds fuzz/corpus

# Headless when there is no display: 600 frames, a screenshot and the captured sound.
demo: build
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	$(BUILD)/bin/ghoulden-datakit $(BUILD)/demo/data
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$PLATFORM_BACKEND" ]; then \
	  cd $(BUILD)/demo/data && PLATFORM_REGISTRY=$(CURDIR)/$(BUILD)/demo/data/registry.ini ../../bin/ghoulden; \
	else \
	  cd $(BUILD)/demo/data && PLATFORM_BACKEND=headless PLATFORM_FRAMES=600 \
	    PLATFORM_INPUT=$(CURDIR)/$(BUILD)/demo/data/demo-input.txt \
	    PLATFORM_REGISTRY=$(CURDIR)/$(BUILD)/demo/data/registry.ini \
	    PLATFORM_SCREENSHOT=$(CURDIR)/$(BUILD)/demo/demo.png PLATFORM_AUDIO_OUT=$(CURDIR)/$(BUILD)/demo/demo.wav \
	    ../../bin/ghoulden && echo "$(CURDIR)/$(BUILD)/demo/demo.png" && echo "$(CURDIR)/$(BUILD)/demo/demo.wav"; \
	fi

clean:
	rm -rf build build-sanitize build-tsan $(FUZZ_BUILD)
