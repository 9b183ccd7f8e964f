# The README's commands. `make run` installs what building and running need
# and builds the program alone; `make test` installs everything the tests
# need and builds every target; `make deb` builds the Debian package.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
DEB_BUILD ?= build-deb

.PHONY: run test deb clean

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

clean:
	rm -rf $(BUILD) $(DEB_BUILD)
