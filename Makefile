# Two commands do everything: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
DEMO_HOME := $(abspath $(BUILD))/demo-home

.PHONY: all deps build run test clean

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

clean:
	rm -rf $(BUILD)
