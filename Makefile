# What the README's commands (./build.sh run, ./build.sh test, ./build.sh
# package) run:
#   make run      install what is missing, build, start the program
#   make test     install what is missing, build, run every test
#   make package  install what is missing, build, write the Debian package
# All work on a fresh Debian 12 machine.

BUILD    ?= build
JOBS     ?= $(shell nproc 2>/dev/null || echo 2)
WERROR   ?= OFF
CMAKEFLAGS ?=
ARGS     ?= -max

.PHONY: all deps configure build run test bench format format-check fuzz clean windows windows-test

all: build

# DEPS names what a target needs besides the build (see scripts/install-deps.sh).
deps:
	@scripts/install-deps.sh $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -DCHRONARA_WERROR=$(WERROR) $(CMAKEFLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/chronara $(ARGS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package, in $(BUILD)/package/; installing from source under
# PREFIX (DESTDIR honoured) and removing what that installed.
# Building the package takes a few Debian packages more than the build; they
# are installed with the build's own, before anything is built.
PREFIX ?= /usr/local
.PHONY: package install uninstall
package: DEPS = --package
package: build
	@cmake --build $(BUILD) --target package

# The list of installed files is kept apart: building the package rewrites
# CMake's own.
INSTALLED = $(BUILD)/installed-files.txt
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)
	@cp $(BUILD)/install_manifest.txt $(INSTALLED)

uninstall:
	@test -f $(INSTALLED) || { echo "Nothing was installed from $(BUILD)."; exit 1; }
	@xargs -r -d '\n' rm -f -- < $(INSTALLED)
	@sed -n 's|\(.*/chronara\)/.*|\1|p' $(INSTALLED) | sort -u | xargs -r -d '\n' rm -rf --
	@rm -f $(INSTALLED)
	@echo "Removed the files that make install had installed."

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# libFuzzer targets, built with clang in a build folder of their own.
# Run one with: make fuzz FUZZ=fuzz_kivdata  (corpus in fuzz-corpus/; the seeds
# in fuzz/seeds/<target>, where a target has them, are read as well)
FUZZ ?= fuzz_kivdata
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh --fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCHRONARA_FUZZ=ON -DCHRONARA_TESTS=OFF \
	    -DCHRONARA_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ)
	@mkdir -p fuzz-corpus/$(FUZZ)
	build-fuzz/bin/$(FUZZ) -max_total_time=$(FUZZ_SECONDS) fuzz-corpus/$(FUZZ) \
	    $(wildcard fuzz/seeds/$(FUZZ))

# Windows (64-bit) cross build with MinGW-w64, tests under Wine. windows-test
# compares the batch image with the Linux build in $(BUILD) when it is built.
WINBUILD ?= build-windows
WINCMAKEFLAGS ?=
windows:
	@scripts/windows-deps.sh $(WINBUILD)/deps
	@cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCHRONARA_WINDOWS_DEPS=$(abspath $(WINBUILD))/deps -DCHRONARA_WERROR=$(WERROR) \
	    -DCHRONARA_HOST_BIN_DIR=$(abspath $(BUILD))/bin $(WINCMAKEFLAGS) >/dev/null
	@cmake --build $(WINBUILD) -j $(JOBS)

windows-test: windows
	@[ -x $(WINBUILD)/wine-run ] || echo "windows-test: Wine is not available: the Windows tests are skipped"
	@cd $(WINBUILD) && ctest --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS each, one after another:
#   make fuzz-all FUZZ_SECONDS=600
FUZZ_TARGETS = $(sort $(basename $(notdir $(wildcard fuzz/fuzz_*.cpp))))
.PHONY: fuzz-all
fuzz-all:
	@set -e; for t in $(FUZZ_TARGETS); do \
	    $(MAKE) --no-print-directory fuzz FUZZ=$$t FUZZ_SECONDS=$(FUZZ_SECONDS); done

# The tests under AddressSanitizer with UBSan, and the threaded ones under
# ThreadSanitizer (scripts/sanitize.sh), in build folders of their own.
SANBUILD ?= build-sanitize
.PHONY: sanitize
sanitize:
	@scripts/install-deps.sh --sanitize
	@WERROR=$(WERROR) JOBS=$(JOBS) CMAKEFLAGS="$(CMAKEFLAGS)" scripts/sanitize.sh $(SANBUILD)

clean:
	rm -rf $(BUILD) build-fuzz $(WINBUILD) $(SANBUILD)-asan $(SANBUILD)-tsan
