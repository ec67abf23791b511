# Everything starts here: `make run` starts Quillet, `make test` runs every test of both
# toolchains and of the packages. Both install what is missing first (Debian or Ubuntu).
# `make package` builds the Debian package and the Windows zip in build/packages.

SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: all deps native win32 fuzz-build build package run test test-native test-win32 test-fuzz \
        test-package bench fuzz fuzz-long format clean

all: build

deps:
	@tools/install-deps

native: deps
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

win32: deps native
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j $(JOBS)

fuzz-build: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

build: native win32

# The Debian package takes Quillet.exe from the Windows build, so both builds come first.
package: build
	@cpack --config build/native/CPackConfig.cmake
	@cpack --config build/win32/CPackConfig.cmake

run: build
	@tools/run-quillet

test: build fuzz-build package
	@ctest --preset native
	@tools/with-display tools/with-audio ctest --preset win32
	@ctest --preset fuzz
	@tools/with-display ctest --preset package

test-native: native
	@ctest --preset native

test-win32: win32
	@tools/with-display tools/with-audio ctest --preset win32

test-fuzz: fuzz-build
	@ctest --preset fuzz

test-package: package
	@tools/with-display ctest --preset package

bench: native win32
	@build/native/bin/bench_analysis
	@build/native/bin/bench_libraries
	@build/native/bin/bench_dat
	@build/native/bin/bench_details build/native/bin/quillet-info
	@build/native/bin/bench_audit build/native/bin/quillet-info
	@build/native/bin/bench_dat_steps build/native/bin/quillet-info
	@build/native/bin/bench_patch build/native/bin/quillet-fix
	@tools/with-display tools/wine-run --desktop 1280x1024 build/win32/bin/bench_open.exe
	@tools/with-display tools/wine-run --desktop 1280x1024 build/win32/bin/bench_console.exe
	@tools/with-display tools/wine-run --desktop 1024x768 build/win32/bin/bench_screen.exe

# Every fuzz target for ten minutes, one after the other: before a release.
fuzz-long: fuzz-build
	@ctest --preset fuzz-long

# A longer fuzzing session of the analysis than the one the tests run.
fuzz: fuzz-build
	@mkdir -p build/fuzz/corpus
	@build/fuzz/bin/fuzz_rom_analysis -max_total_time=$(FUZZ_SECONDS) -max_len=140000 build/fuzz/corpus

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
