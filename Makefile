# The README's commands. `make run` installs what building and running need
# and builds the program alone; `make test` installs everything the tests
# need and builds every target; `make deb` builds the Debian package;
# `make fuzz` and `make bench` run the parsers' fuzz targets and the
# benchmarks.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEB_BUILD ?= build-deb

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: run test deb fuzz bench clean

define configure
	@cmake -S . -B $(1) -DCMAKE_BUILD_TYPE=$(2) $(3) >/dev/null
endef

run:
	@sh scripts/install-deps.sh build run
	$(call configure,$(BUILD),$(BUILD_TYPE),$(CMAKE_FLAGS))
	@cmake --build $(BUILD) -j$(JOBS) --target miravon
	./$(BUILD)/miravon

test:
	@sh scripts/install-deps.sh build run package test
	$(call configure,$(BUILD),$(BUILD_TYPE),$(CMAKE_FLAGS))
	@cmake --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# A release build without tests or benchmarks, packed by CPack.
deb:
	@sh scripts/install-deps.sh build package
	$(call configure,$(DEB_BUILD),Release,-DMIRAVON_TESTS=OFF -DMIRAVON_BENCH=OFF $(CMAKE_FLAGS))
	@cmake --build $(DEB_BUILD) -j$(JOBS)
	@cd $(DEB_BUILD) && cpack -G DEB >/dev/null
	@ls $(DEB_BUILD)/miravon_*.deb

# Each parser's libFuzzer target for FUZZ_SECONDS (clang, ASan + UBSan), one
# after the other; FUZZ_TARGETS="playlist vni" runs only those.
fuzz:
	@sh scripts/install-deps.sh build test
	$(call configure,$(FUZZ_BUILD),RelWithDebInfo,-DCMAKE_CXX_COMPILER=clang++-14 -DMIRAVON_FUZZ=ON)
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

# Every benchmark, one table (bench/README.md); not part of `make test`. The
# player benchmarks play from the loopback media server of the tests.
bench:
	@sh scripts/install-deps.sh build run test bench
	$(call configure,$(BUILD),$(BUILD_TYPE),$(CMAKE_FLAGS))
	@cmake --build $(BUILD) -j$(JOBS) --target benches
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(DEB_BUILD) $(FUZZ_BUILD)
