# Front door of the build. `make demo` runs the main job on the simulated radio; `make test`
# builds and runs the test suite twice (plain, then with AddressSanitizer and
# UndefinedBehaviorSanitizer), then each fuzz target briefly on its corpus (clang builds
# them apart, in FUZZ_BUILD), then the Windows stage (`make test-windows`: the cross-built
# test programs and a whole upgrade by tessarin.exe under Wine). `make fuzz` runs each fuzz
# target until FUZZ_RUNS executions (ten million), at most FUZZ_SECONDS (two days) each: on the
# shared 2-core development machine that is from under an hour (fuzz_srecord) to about 35
# hours (fuzz_codeplug), some two and a half days in all; fuzz/README.md has each target's
# rate. All install what they need first. `make package` builds the Debian packages in
# BUILD/packages and checks them with lintian;
# `make screenshots` runs the windowed program under Xvfb against the simulated demo radio
# and saves its pictures in docs/screenshots. `make pty-faults` runs whole upgrades through
# `tessarin program` on the simulated radio on a pseudo-terminal, one line fault each. `make
# bench` runs the benchmarks (the firmware phase against the simulated radio on a
# pseudo-terminal takes several minutes); `make bench-radios` upgrades 1, 2, 4 and 8 simulated
# radios at once, one `tessarin program` each (about a quarter of an hour).
JOBS ?= $(shell nproc)
BUILD ?= build
# The cross build for 64-bit Windows (mingw-w64): `make build-windows` builds tessarin.exe
# there, statically linked, so it runs with no DLL beside it.
WINDOWS_BUILD ?= build-windows
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
# Executions each target runs under `make fuzz`, and the most seconds it may take for them.
FUZZ_RUNS ?= 10000000
FUZZ_SECONDS ?= 172800
# Seconds each fuzz target runs under `make test`.
FUZZ_CI_SECONDS ?= 10

.PHONY: all deps build test test-plain test-asan test-fuzz fuzz-build fuzz build-windows test-windows demo-windows package-windows demo pty-faults package screenshots bench bench-radios clean

all: build

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-windows: deps
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target tessarin

# The Windows stage of `make test`: the Windows build's test programs under Wine (the serial
# port's against a peer of the Linux build on a pseudo-terminal), then the whole upgrade of
# `make demo-windows`.
test-windows: build build-windows
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target windows_tests
	./scripts/windows-tests.sh $(BUILD) $(WINDOWS_BUILD)
	./scripts/windows-demo.sh $(BUILD) $(WINDOWS_BUILD)

# A whole upgrade (codeplug and patches) by tessarin.exe under Wine through a COM port mapped to
# the simulated radio's pseudo-terminal, proved equal to the same upgrade by the Linux tessarin.
demo-windows: build build-windows
	./scripts/windows-demo.sh $(BUILD) $(WINDOWS_BUILD)

# tessarin-<version>-win64.zip in $(WINDOWS_BUILD)/packages: tessarin.exe, the demo kit, the
# simulated radio's profile and a README for Windows.
package-windows: build build-windows
	./scripts/package-windows.sh $(BUILD) $(WINDOWS_BUILD) $(WINDOWS_BUILD)/packages

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSARIN_SANITIZE=ON -DTESSARIN_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	      -DCMAKE_CXX_COMPILER=clang++ -DTESSARIN_FUZZ=ON -DTESSARIN_BENCH=OFF \
	      -DTESSARIN_FUZZ_SECONDS=$(FUZZ_CI_SECONDS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

test-fuzz: deps
	@if command -v clang++ >/dev/null 2>&1; then \
	    $(MAKE) --no-print-directory fuzz-build && \
	    ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS); \
	else echo "clang++ not found: the fuzz targets are not run"; fi

fuzz: fuzz-build
	FUZZ_RUNS=$(FUZZ_RUNS) ./scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

test: test-plain test-asan test-fuzz test-windows

demo: build
	./scripts/demo.sh $(BUILD)

pty-faults: build
	./scripts/pty-faults.sh $(BUILD)

package: build
	rm -rf $(BUILD)/packages
	cd $(BUILD) && cpack -G DEB -B packages
	./scripts/finish-dbgsym.sh $(BUILD)/packages
	lintian --fail-on error,warning $(BUILD)/packages/*.deb $(BUILD)/packages/*.ddeb

screenshots: build
	./scripts/screenshots.sh $(BUILD) docs/screenshots

bench: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS) --target files_bench upgrade_bench
	$(BUILD)/bench/files_bench
	$(BUILD)/bench/upgrade_bench

bench-radios: build
	./bench/multi-radio.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
