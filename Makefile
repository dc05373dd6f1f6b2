# Two commands do everything: `make run` and `make test`. `make package` makes
# the Debian package (quillon_VERSION_ARCH.deb here), `make screenshots` the
# manual's pictures.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_HOME := $(abspath $(BUILD))/demo-home

.PHONY: all deps build run test package screenshots clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS)

# The panel against the simulated board, with a demo feature configuration kept
# in its own settings folder, so a user's own settings are never touched. Only
# the panel (and the manual beside it) is built for this.
run: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) --target quillon -j $(JOBS)
	@bash scripts/demo-settings.sh "$(DEMO_HOME)"
	XDG_CONFIG_HOME="$(DEMO_HOME)/config" XDG_DATA_HOME="$(DEMO_HOME)/data" \
		$(BUILD)/bin/quillon --board sim

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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
