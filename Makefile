# The two commands of the README: `make run` and `make test`; `make fuzz` and
# `make bench` for the parsers' fuzz targets and the benchmarks.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: deps configure build run test fuzz bench clean

deps:
	@sh scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/miravon

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# Each parser's libFuzzer target for FUZZ_SECONDS (clang, ASan + UBSan), one
# after the other; FUZZ_TARGETS="playlist vni" runs only those.
fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	    -DMIRAVON_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

# Every benchmark, one table (bench/README.md); not part of `make test`.
bench: configure
	@cmake --build $(BUILD) -j$(JOBS) --target benches
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
