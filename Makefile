# Thin wrapper around CMake/Ninja. `make run` builds and runs the show, `make test` builds and runs
# the whole test suite; `make test-asan` runs it on the AddressSanitizer + UBSan build.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
CLANG_BUILD ?= build-clang
FUZZ_BUILD  ?= build-fuzz
WEB_BUILD   ?= build-web
WEB_PORT    ?= 8040
ARGS        ?= window
FUZZ_SECONDS ?= 60
PREFIX      ?= /usr/local
CMAKE_FLAGS ?=

# The project's own builds treat warnings as errors; the CMake option is off for everyone else.
OWN   := -G Ninja -DGLIMMER_WERROR=ON
CLANG := -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

.PHONY: all deps build build-asan build-clang build-fuzz run test test-regular test-asan \
        test-clang test-fuzz test-full fuzz bench install package clean web serve-web test-web

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(OWN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(OWN) -DCMAKE_BUILD_TYPE=Debug -DGLIMMER_SANITIZE=ON $(CMAKE_FLAGS)

$(CLANG_BUILD)/build.ninja:
	cmake -S . -B $(CLANG_BUILD) $(OWN) -DCMAKE_BUILD_TYPE=Release $(CLANG) $(CMAKE_FLAGS)

$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) $(OWN) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CLANG) -DGLIMMER_LIBFUZZER=ON \
	  $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD)

build-clang: deps $(CLANG_BUILD)/build.ninja
	cmake --build $(CLANG_BUILD)

build-fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD)

# The page: the program compiled with emscripten, its libraries from their Debian sources (kept in
# $(WEB_BUILD)/deps once built), and the desktop build's data archive, in $(WEB_BUILD)/site.
$(WEB_BUILD)/build.ninja:
	emcmake cmake -S . -B $(WEB_BUILD) $(OWN) -DCMAKE_BUILD_TYPE=Release \
	  -DGLIMMER_WEB_DEPS=$(abspath $(WEB_BUILD))/deps -DGLIMMER_ARCHIVE=$(abspath $(BUILD))/Glimmertide.dat \
	  $(CMAKE_FLAGS)

# Debian's emscripten finds its node modules (acorn) there.
web: export NODE_PATH := /usr/share/nodejs
web: deps $(BUILD)/build.ninja
	@scripts/install-deps.sh scripts/web-packages.txt
	@scripts/build-web-deps.sh $(WEB_BUILD)/deps
	cmake --build $(BUILD) --target glimmertide_data
	@$(MAKE) --no-print-directory $(WEB_BUILD)/build.ninja
	cmake --build $(WEB_BUILD)
	@echo "The page is $(WEB_BUILD)/site; make serve-web serves it."

# Serves the page on loopback (with range requests) until Ctrl-C.
serve-web: web
	@node scripts/serve-web.mjs $(WEB_BUILD)/site $(WEB_PORT)

run: build
	@scripts/run-show.sh $(BUILD) $(ARGS)

test-regular: build
	ctest --test-dir $(BUILD) --output-on-failure -j2 -LE full

test-asan: build-asan
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2 -LE 'slow|full'

# Release with clang, so that the other compiler's warnings and optimiser are seen too; the quick
# tests only, since the regular suite has already run the slow ones.
test-clang: build-clang
	ctest --test-dir $(CLANG_BUILD) --output-on-failure -j2 -LE 'slow|full'

# The libFuzzer targets, built as `make fuzz` builds them, each replaying its seed corpus once.
test-fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) 0

# The page in headless Chromium: played with sound, its shots held to glimmertide's frames, bad input.
test-web: build web
	@scripts/install-deps.sh scripts/web-test-packages.txt
	node tests/web/page_test.mjs $(WEB_BUILD)/site $(BUILD)

# The whole show played live in real time (with sound, under xvfb): minutes of wall time, so it
# stays out of `make test`.
test-full: build
	ctest --test-dir $(BUILD) --output-on-failure -L full

# The README's test command: the regular suite, the same tests under ASan + UBSan, the clang
# Release build, the fuzz targets on their corpora, and the page in a browser.
test: test-regular test-asan test-clang test-fuzz test-web

fuzz: build-fuzz
	@scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZERS)

bench: build web
	@scripts/install-deps.sh scripts/web-test-packages.txt
	@scripts/run-benchmarks.sh $(BUILD) $(WEB_BUILD)/site

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The .deb (CPack) in $(BUILD)/, checked with desktop-file-validate and lintian.
package: build
	@scripts/install-deps.sh scripts/package-packages.txt
	@scripts/make-package.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD) $(WEB_BUILD)
