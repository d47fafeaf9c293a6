# Front door: make run | make test | make bench | make fuzz | make format | make install
SANITIZE ?= ON
JOBS ?= $(shell nproc)
BUILD := build
TEST_BUILD := build-test
FUZZ_BUILD := build-fuzz
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 20

.PHONY: deps build run test soak bench fuzz format install clean

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-main $(BUILD)/bin

# The short fuzz runs come first, so that the output ends with ctest's summary.
# TEST_FUZZ_SECONDS=0 skips them.
test: deps
	@if [ "$(TEST_FUZZ_SECONDS)" != "0" ]; then $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS); fi
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKS_SANITIZE=$(SANITIZE) -DKS_WERROR=ON -DKS_BUILD_TESTS=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) -LE soak

# The long drills (label soak: 1,000 records in a row; 1,000 history writes with kill -9) that
# make test leaves out.
soak: deps
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKS_SANITIZE=$(SANITIZE) -DKS_BUILD_TESTS=ON
	cmake --build $(TEST_BUILD) -j $(JOBS) --target e2e_tests ks_history_drill_soak
	cd $(TEST_BUILD) && ctest --output-on-failure -L soak

bench: build
	@scripts/run-bench $(BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKS_BUILD_TESTS=OFF -DKS_BUILD_FUZZ=ON
	cmake --build $(FUZZ_BUILD) --target ks_fuzz_targets -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD)
