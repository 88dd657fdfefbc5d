# Thin wrapper around CMake/Ninja. `make run` builds and runs the show, `make test` builds and runs
# the whole test suite; `make test-asan` runs it on the AddressSanitizer + UBSan build.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
ARGS       ?= window
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan run test test-regular test-asan test-full fuzz bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGLIMMER_SANITIZE=ON $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD)

run: build
	@scripts/run-show.sh $(BUILD) $(ARGS)

test-regular: build
	ctest --test-dir $(BUILD) --output-on-failure -j2 -LE full

test-asan: build-asan
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2 -LE 'slow|full'

# The whole show played live in real time (with sound, under xvfb): minutes of wall time, so it
# stays out of `make test`.
test-full: build
	ctest --test-dir $(BUILD) --output-on-failure -L full

# The README's test command: the regular suite, then the same tests under ASan + UBSan.
test: test-regular test-asan

fuzz: deps
	@scripts/install-deps.sh scripts/fuzz-packages.txt
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DGLIMMER_LIBFUZZER=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD)
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZERS)

bench: build
	@scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
