# Two commands do everything: `make run` and `make test`. `make package` makes
# the Debian package (quillon_VERSION_ARCH.deb here), `make screenshots` the
# manual's pictures.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_HOME := $(abspath $(BUILD))/demo-home
# The AddressSanitizer + UBSan build of the tests (`make sanitize`).
SANITIZE_BUILD ?= $(BUILD)/asan

# ccache, when it is installed, serves every build folder.
CCACHE := $(shell command -v ccache 2>/dev/null)
LAUNCHER := $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE))

FUZZ_SECONDS ?= 60

.PHONY: all deps build run test sanitize fuzz package screenshots clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS)

# The panel against the simulated board, with a demo feature configuration kept
# in its own settings folder, so a user's own settings are never touched. Only
# the panel (and the manual beside it) is built for this. The board is paced
# like one on a USB 3.0 port (DEMO_PROFILE), so the rate page shows a figure of
# that kind; the tests keep the unpaced default. --board names the simulated
# board whatever board the demo chose last in its File menu.
DEMO_PROFILE ?= $(CURDIR)/examples/boards/make-run-usb3.profile
run: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) --target quillon -j $(JOBS)
	@bash scripts/demo-settings.sh "$(DEMO_HOME)"
	XDG_CONFIG_HOME="$(DEMO_HOME)/config" XDG_DATA_HOME="$(DEMO_HOME)/data" \
		$(BUILD)/bin/quillon --board sim --sim-profile "$(DEMO_PROFILE)"

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# in a folder of its own: the programs and tests only (no benchmarks, no fuzz
# targets, no package, no Python module; the package, manual and
# accessibility-bus checks look at the product and stay with `make test`), at
# -O1 with line tables, which builds faster than the release flags and still names
# the line of a fault. The ThreadSanitizer run stays with `make test`.
SANITIZE_ENV := \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0:verify_asan_link_order=0 \
	LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp):print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1

sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1" \
		-DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF -DQUILLON_FUZZ=OFF -DQUILLON_PACKAGE=OFF \
		-DQUILLON_USB_TSAN=OFF \
		$(LAUNCHER) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# Every fuzz target of fuzz/ for FUZZ_SECONDS seconds, one after the other,
# from its seed corpus and what earlier runs kept in build/fuzz/corpus; what
# fails is kept in build/fuzz/findings. One line per target says what it ran.
fuzz: build
	@rm -f $(BUILD)/fuzz/summary.txt
	@cd $(BUILD) && FUZZ_SECONDS=$(FUZZ_SECONDS) ctest -R '^fuzz_' --output-on-failure \
		--timeout $$(( $(FUZZ_SECONDS) * 2 + 120 )); rc=$$?; cat fuzz/summary.txt 2>/dev/null; exit $$rc

# Only the programs and the Python module are built for it; the package's dependencies come from
# dpkg-shlibdeps. Install it with `sudo apt install ./quillon_*.deb`.
package: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) --target quillon quillon-run quillon_python quillon_package_files -j $(JOBS)
	@rm -f $(BUILD)/package/quillon_*.deb
	@cd $(BUILD) && cpack -B package >/dev/null
	@rm -f quillon_*.deb && cp $(BUILD)/package/quillon_*.deb .
	@ls quillon_*.deb

# The manual's pictures, from the panel itself on the simulated board.
screenshots: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) --target panel_screenshots -j $(JOBS)
	@bash scripts/screenshots.sh $(BUILD) $(BUILD)/screenshots --manual

clean:
	rm -rf $(BUILD)
