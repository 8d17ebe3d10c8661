# make run   install what is missing, build, make a demo MY.mdb if there is none, start
# make test  install what is missing, build with sanitizers, run every test
# make bench build and run the benchmarks
# make package build, then the Debian package build/yanshubu_VERSION_ARCH.deb (cpack)
# make fuzz  build the readers' fuzz targets (clang, sanitizers), run each FUZZ_SECONDS
# make windows  cross-build for Windows (MinGW-w64): build-win/bin, the zip and the installer
# make windows-test  that, the tests under Wine, and the zip and installer tried on Wine

JOBS ?= $(shell nproc)
BUILD := build
TEST_BUILD := build-test
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 600
PROGRAM_DIR := $(BUILD)/bin

PREFIX ?= /usr/local

.PHONY: run test bench fuzz windows windows-test setup build build-test build-fuzz install package format

run: build
	@test -e "$(PROGRAM_DIR)/MY.mdb" || "$(PROGRAM_DIR)/yanshubu-db" init --demo "$(PROGRAM_DIR)"
	"$(PROGRAM_DIR)/yanshubu"

test: build-test
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	"$(BUILD)/bin/recordset_bench"
	QT_QPA_PLATFORM=offscreen "$(BUILD)/bin/book_bench" 100000
	QT_QPA_PLATFORM=offscreen "$(BUILD)/bin/book_bench" 1000000
	QT_QPA_PLATFORM=offscreen "$(BUILD)/bin/login_bench"
	QT_QPA_PLATFORM=offscreen "$(BUILD)/bin/report_bench"
	QT_QPA_PLATFORM=offscreen "$(BUILD)/bin/window_bench"
	"$(BUILD)/bin/interchange_bench"
	"$(BUILD)/bin/sync_bench"
	"$(BUILD)/bin/duplicates_bench"
	"$(BUILD)/bin/upgrade_bench"
	"$(BUILD)/bin/legacy_bench"

fuzz: build-fuzz
	FUZZ_BUILD=$(FUZZ_BUILD) bash scripts/fuzz.sh $(FUZZ_SECONDS)

windows:
	bash scripts/windows.sh package

windows-test: build-test
	bash scripts/windows.sh test

setup:
	@bash scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-test: setup
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYANSHUBU_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j $(JOBS)

build-fuzz: setup
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYANSHUBU_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs clang-format -i
