# The one entry point of the project. See README.md.

SHELL := /bin/bash
JOBS  ?= $(shell nproc)
XVFB  := xvfb-run -a -s "-screen 0 1024x768x24"

.PHONY: all deps build build-win32 build-win32-tests build-win64 build-host test test-win32 test-win64 test-host sign bench bench-compare fuzz demo clean

all: build

deps:
	@scripts/deps.sh

build/win32/build.ninja:
	cmake --preset win32 >/dev/null
build/win64/build.ninja:
	cmake --preset win64 >/dev/null
build/host/build.ninja:
	cmake --preset host >/dev/null
build/host-release/build.ninja:
	cmake --preset host-release >/dev/null

# The shipped programs only; `make test` builds the tree's tests too
# (scripts/test-win32.sh), as does build-win32-tests.
build-win32: deps build/win32/build.ninja
	cmake --build build/win32 -j $(JOBS) --target shipped
build-win32-tests: build-win32
	cmake --build build/win32 -j $(JOBS)
build-win64: deps build/win64/build.ninja
	cmake --build build/win64 -j $(JOBS)
build-host: deps build/host/build.ninja
	cmake --build build/host -j $(JOBS)
build: build-win32 build-win64 build-host

# Every test: the layout's rule checked (Win32 files in win32/ folders),
# the shipped 32-bit programs checked (PE32, known system DLLs only,
# manifest and version information), the host build's tests, the
# Windows tests (64-bit build) under Wine with one Xvfb display and the
# tree's own prefix; then the same Windows tests built as PE32 programs and
# the host tree built as 32-bit code, both run where the machine executes
# 32-bit code (one line each says so where it cannot).
test: build
	@scripts/check-layout.sh build/host
	@scripts/check-pe.sh build/win32
	@status=0; scripts/run-tests.sh build/host build/win64 || status=1; \
	  JOBS=$(JOBS) scripts/test-win32.sh build/win32 || status=1; \
	  scripts/host32.sh test || status=1; exit $$status

test-host: build-host
	@scripts/run-tests.sh build/host
	@scripts/host32.sh test
test-win64: build-win64
	@scripts/run-tests.sh build/win64
test-win32: build-win32
	@JOBS=$(JOBS) scripts/test-win32.sh build/win32

# Authenticode signatures on the shipped programs of the 32-bit build
# (scripts/sign.sh; docs/publishers.md, "Signing").
sign: build-win32
	@scripts/sign.sh build/win32

bench: deps build/win64/build.ninja build/host-release/build.ninja
	cmake --build build/win64 -j $(JOBS) --target benchmarks
	cmake --build build/host-release -j $(JOBS) --target benchmarks
	@scripts/run-bench.sh build/host-release build/win64

# The copy figures of this build beside another's (BENCH_BASELINE=DIR holding
# its setup.exe and bench_copy.exe): the warm-cache copy against CopyFileExW,
# then on the paced drive the jobs and the installation at each scale of
# BENCH_PACED_SCALES, DVD and CD, onto the cache and the slow target, the
# builds taking turns (docs/developers.md, "Comparing two builds").
BENCH_PACED_SCALES ?= 16 1
BENCH_PACED_MIB ?= 256
bench-compare: deps build/win64/build.ninja build/host-release/build.ninja
	@[ -n "$(BENCH_BASELINE)" ] || { echo "bench-compare: BENCH_BASELINE=DIR names the other build (its setup.exe and bench_copy.exe)"; exit 2; }
	cmake --build build/win64 -j $(JOBS) --target benchmarks
	cmake --build build/host-release -j $(JOBS) --target benchmarks
	@export BENCH_BASELINE="$(BENCH_BASELINE)"; status=0; \
	  scripts/bench-copy.sh build/win64/bench/bench_copy.exe || status=1; \
	  BENCH_PACED_PARTS="copy install" BENCH_PACED_MIB="$(BENCH_PACED_MIB)" \
	    BENCH_PACED_SCALES="$(BENCH_PACED_SCALES)" scripts/bench-paced.sh build/host-release build/win64 || status=1; \
	  exit $$status

# Every fuzz target CMake registered, FUZZ_SECONDS each, one after the other
# (FUZZ_TARGETS="fuzz_a fuzz_b" for some only), in both widths where the
# machine runs 32-bit code.
FUZZ_SECONDS ?= 300
FUZZ_TARGETS ?=
fuzz: build-host
	@scripts/run-fuzz.sh build/host $(FUZZ_SECONDS) $(FUZZ_TARGETS)
	@scripts/host32.sh fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# setup.exe installing six demo discs under Wine (scripts/demo.sh).
# DEMO_FULL=1: real sizes; DEMO_ARCHIVE=1: pictures packed as data\obj.dat;
# DEMO_LOCALE=en_US.UTF-8: an English system (ANSI code page 1252) instead
# of the Japanese one.
demo:
	@DEMO_FULL=$(DEMO_FULL) DEMO_ARCHIVE=$(DEMO_ARCHIVE) DEMO_LOCALE=$(DEMO_LOCALE) scripts/demo.sh

clean:
	rm -rf build
