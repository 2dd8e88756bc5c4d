# Thin driver over CMake: `make demo` builds and runs the example, `make test` runs every test.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all build demo test deps clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/app/plotweave_self examples/ontology.lst
	@echo
	@echo "Page written: examples/ontology_self.htm"

# Installs what the tests need beyond the compiler (browser, fonts, npm packages) when missing.
deps:
	@if [ -x tools/install-test-deps.sh ]; then tools/install-test-deps.sh; fi

test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout 900

clean:
	rm -rf $(BUILD)
