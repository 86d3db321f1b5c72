# Front door: `make run` starts the program, `make test` runs every test.
# Both first install the Debian packages the build needs (tools/debian-packages.txt).

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= 2

.PHONY: all deps configure build run install uninstall package package-check test check test-plain printer test-asan tsan fuzz bench assets clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@$(BUILD_DIR)/vorlen

# Installs under PREFIX (and makes /var/lib/ZEDK, the results folder every user writes into).
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# Removes what `make install` put there; the results in /var/lib/ZEDK stay.
uninstall:
	@test -f $(BUILD_DIR)/install_manifest.txt || { echo "uninstall: nothing was installed from $(BUILD_DIR)"; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do rm -f "$$f"; done < $(BUILD_DIR)/install_manifest.txt
	@rm -f $(PREFIX)/bin/vorlen
	@rmdir $(PREFIX)/libexec/vorlen $(PREFIX)/share/doc/vorlen 2>/dev/null || true

# A Debian package of the program (build/vorlen_<version>_<arch>.deb).
package: build
	@cd $(BUILD_DIR) && cpack

# The package built, checked by lintian, installed, started until its first frame and purged
# (as root; CI runs it after the tests).
package-check: build
	@tools/package-check.sh $(BUILD_DIR)

# What a newcomer runs: the plain suite on `make run`'s build, then the whole suite again
# under AddressSanitizer + UndefinedBehaviorSanitizer (a build of its own, whose summary ends the
# log). Some minutes on two cores.
test: test-plain test-asan

# The rest of what CI runs after `make test`: the threads under ThreadSanitizer, the decoders
# and the workbook reader fuzzed, and the Debian package built, checked, installed and purged.
check: tsan fuzz package-check

# The PDF printer the printing test prints on; the test itself says what is missing.
printer:
	-@tools/test-printer.sh

test-plain: build printer
	@cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, in its own build folder;
# line tables are all a report's stack needs, and they halve the build next to full debug data.
test-asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" -DVORLEN_ASAN=ON >/dev/null
	@cmake --build build-asan -j$(JOBS)
	-@tools/test-printer.sh
	@cd build-asan && ctest --output-on-failure -j$(JOBS)

# The sound playback threads, the film view and the flows that play sound and film together
# under ThreadSanitizer, in a build directory of their own (only the tests labelled tsan).
tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLEN_TSAN=ON >/dev/null
	@cmake --build build-tsan -j$(JOBS) --target tsan_tests
	@cd build-tsan && ctest -L tsan --output-on-failure -j$(JOBS)

# The libFuzzer targets (tests/fuzz), built with clang in build-fuzz and run for FUZZ_SECONDS
# each from their committed corpus; any crash, leak, sanitizer report or timeout fails.
FUZZ_SECONDS ?= 30
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLEN_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j$(JOBS) --target fuzzers
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tools/run-fuzzers.sh build-fuzz

# Every benchmark with its own report, then one table of the figures against their aims.
bench: build
	@cmake --build $(BUILD_DIR) -j$(JOBS) --target benchmarks
	@python3 bench/summary.py $(BUILD_DIR)

# Regenerates every picture, sound and film under data/ (needs the generator's own packages,
# which it installs itself; building and testing the program never needs them).
assets:
	@tools/assets/generate.sh

clean:
	@rm -rf $(BUILD_DIR)
