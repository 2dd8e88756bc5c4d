# Thin driver over CMake: `make demo` builds and runs the example and writes its
# standalone copy, `make test` runs every test, `make check` the quick tier.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# The Windows build (MinGW-w64 cross compiler; its tests run under Wine).
WINBUILD ?= build-windows
WINDOWS_CMAKE_FLAGS ?=
# Warnings as errors: off for an ordinary build, on for `make test` (and so CI).
WERROR ?= OFF
# Every other build type with GCC and clang, compiled only.
TYPESBUILD ?= build-types
# The quick tier's build: the native programs and tests, no benchmarks.
CHECKBUILD ?= build-check
# What the quick tier leaves to `make test`: the tests labelled browser (Node,
# Chromium, nginx), package (the installable packages and their tools), safety
# (hundreds of runs killed, racing or on a full disk) and huge (plans of
# hundreds of megabytes).
CHECK_EXCLUDED_LABELS = browser|package|safety|huge
# The newest clang++ on PATH, looked up when a recipe needs it (after the
# installs it depends on); CLANGXX=... picks another.
CLANGXX ?= $(shell tools/find-clang.sh)

.PHONY: all build windows demo test check test-linux test-windows build-types kit package deps clean
# Robustness checks: the suite with sanitizers and under valgrind, and short fuzz runs.
ASANBUILD ?= build-asan
VGBUILD ?= build-valgrind
FUZZBUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZ_TARGETS = plan_reader plan_normaliser page_encoder ks_lookup run plan_check bundle_page table_import
# The vptr check needs type information, which the libraries are built without.
SANITIZERS = -fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all -fno-omit-frame-pointer
.PHONY: robust-deps sanitize valgrind-e2e fuzz-build fuzz-short test-robust

all: build

# cpp-httplib's header for plotweave-preview, from Debian's source package
# (tools/fetch-httplib.sh); without it the preview is left out of the build.
.third/httplib/httplib.h:
	-tools/fetch-httplib.sh

$(BUILD)/CMakeCache.txt: .third/httplib/httplib.h
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake -DPLOTWEAVE_WERROR=$(WERROR) $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

$(WINBUILD)/CMakeCache.txt: .third/httplib/httplib.h
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTWEAVE_BENCH=OFF $(WINDOWS_CMAKE_FLAGS)

# plotweave_self.exe and plotweave.exe in $(WINBUILD)/app/.
windows: $(WINBUILD)/CMakeCache.txt
	cmake -DPLOTWEAVE_WERROR=$(WERROR) $(WINBUILD) >/dev/null
	cmake --build $(WINBUILD) -j $(JOBS)

# The example page, and its standalone copy that draws from disk with no
# network; the laboratory-server kit it takes the scripts from is built first
# when missing or out of date.
demo: build kit
	$(BUILD)/app/plotweave_self examples/ontology.lst
	$(BUILD)/bundle/plotweave-bundle --kit web/site examples/ontology_self.htm
	@echo
	@echo "Page written: examples/ontology_self.htm (draws when the kit is served, see README)"
	@echo "Standalone copy: open this file in a browser, no network needed:"
	@echo "$(CURDIR)/examples/ontology_self.standalone.htm"

# Installs what the tests need beyond the compiler (browser, fonts, npm packages) when missing.
deps:
	@if [ -x tools/install-test-deps.sh ]; then tools/install-test-deps.sh; fi
	tools/install-wine-deps.sh

test: WERROR = ON
test: test-linux test-windows test-robust build-types

# The code of the default build (-O2) without its debug information, which
# costs a third of the compile time; for a debugger, use $(BUILD) or
# CHECK_CMAKE_FLAGS=-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g -DNDEBUG".
CHECK_CMAKE_FLAGS ?= -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
$(CHECKBUILD)/CMakeCache.txt: .third/httplib/httplib.h
	cmake -S . -B $(CHECKBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTWEAVE_WERROR=ON \
	  -DPLOTWEAVE_BENCH=OFF $(CHECK_CMAKE_FLAGS) $(CMAKE_FLAGS)

# The quick tier: builds and runs the unit and end-to-end tests of the native
# build, warnings as errors, in a build folder of its own. No Wine, sanitizers,
# fuzzing, build matrix, browser or package tests, so it needs neither Node
# nor Chromium nor Wine; `make test` runs all of those.
check: $(CHECKBUILD)/CMakeCache.txt
	cmake --build $(CHECKBUILD) -j $(JOBS)
	ctest --test-dir $(CHECKBUILD) --output-on-failure -j $(JOBS) --timeout 300 -LE '$(CHECK_EXCLUDED_LABELS)'

test-linux: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 900

# The same tests against the .exe programs, run under Wine.
test-windows: deps windows
	tools/run-wine-tests.sh $(WINBUILD) -j $(JOBS) --timeout 300

# Release, Debug, MinSizeRel and RelWithDebInfo with GCC and clang build
# without a warning (compiled, not run; the tests run on the default build).
build-types: robust-deps
	CLANGXX=$(CLANGXX) tools/build-types.sh $(TYPESBUILD) $(JOBS)

# web/site/, from web/ with npm (Node and npm are installed when missing);
# network.js names the version of CMakeLists.txt.
KIT_SOURCES = web/package.json web/package-lock.json web/build.mjs $(wildcard web/src/*.js web/src/*/*.js) \
  CMakeLists.txt
kit: web/site/jsapi
web/site/jsapi: $(KIT_SOURCES)
	@command -v npm >/dev/null 2>&1 || tools/apt-install-missing.sh nodejs npm
	cd web && npm ci --no-audit --no-fund && npm run build
	@touch $@

# The Debian package (in $(BUILD)/) and the Windows zip (in $(WINBUILD)/).
# Every file in them carries the time of the commit, so two builds of one
# commit give the same bytes.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
PACKAGE_ENV = $(if $(SOURCE_DATE_EPOCH),SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH))
package: kit build windows
	cd $(BUILD) && $(PACKAGE_ENV) cpack -G DEB
	cd $(WINBUILD) && $(PACKAGE_ENV) cpack -G ZIP

robust-deps:
	fuzz/install-deps.sh

$(ASANBUILD)/CMakeCache.txt:
	cmake -S . -B $(ASANBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTWEAVE_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="$(SANITIZERS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZERS)"

# Every test once more against AddressSanitizer and UBSan builds of the tests
# and the programs; a report ends the program that made it, so its test fails.
# The browser test is left out: it checks the page in a browser, not the code.
sanitize: $(ASANBUILD)/CMakeCache.txt
	cmake --build $(ASANBUILD) -j $(JOBS)
	ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASANBUILD) --output-on-failure -j $(JOBS) --timeout 900 -LE browser

$(VGBUILD)/CMakeCache.txt:
	cmake -S . -B $(VGBUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTWEAVE_BENCH=OFF \
	  -DPLOTWEAVE_STATIC_PROGRAMS=OFF

# The end-to-end tests with both programs under memcheck (the test program and
# every program it starts); any memcheck error fails the run. The programs are
# linked dynamically for it: memcheck cannot follow a static program's C
# library, whose start-up and string functions it would report as errors.
valgrind-e2e: robust-deps $(VGBUILD)/CMakeCache.txt
	cmake -DPLOTWEAVE_WERROR=$(WERROR) $(VGBUILD) >/dev/null
	cmake --build $(VGBUILD) -j $(JOBS) --target e2e_test
	valgrind -q --trace-children=yes --error-exitcode=99 --leak-check=full \
	  --errors-for-leak-kinds=definite $(VGBUILD)/tests/e2e/e2e_test --gtest_brief=1

$(FUZZBUILD)/CMakeCache.txt:
	@test -n "$(CLANGXX)" || { echo "no clang++ on PATH (make robust-deps installs one)" >&2; exit 1; }
	cmake -S . -B $(FUZZBUILD) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPLOTWEAVE_FUZZ=ON -DPLOTWEAVE_TESTS=OFF -DPLOTWEAVE_BENCH=OFF

fuzz-build: robust-deps $(FUZZBUILD)/CMakeCache.txt
	cmake --build $(FUZZBUILD) -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, two at a time; fails on any finding.
fuzz-short: fuzz-build
	printf '%s\n' $(FUZZ_TARGETS) | xargs -P 2 -I{} fuzz/run.sh {} $(FUZZ_SECONDS) $(FUZZBUILD)

test-robust: sanitize valgrind-e2e fuzz-short

clean:
	rm -rf $(BUILD) $(WINBUILD) $(ASANBUILD) $(VGBUILD) $(FUZZBUILD) $(TYPESBUILD) $(CHECKBUILD)
