# The two set-up commands: `make run` and `make test`. The rest helps.
SHELL := /bin/bash
JOBS ?= 2
FUZZ_SECONDS ?= 10
BUILD := build

.PHONY: all run test dist bootstrap native native-asan win64 win32 fuzz bench ratios corpus clean

all: native win64

bootstrap:
	@scripts/bootstrap.sh

# configure-and-build <preset>
define build_preset
	@if [ ! -f $(BUILD)/$(1)/CMakeCache.txt ]; then cmake --preset $(1) >/dev/null; fi
	cmake --build $(BUILD)/$(1) -j$(JOBS)
endef

native: bootstrap
	$(call build_preset,native)

native-asan: bootstrap
	$(call build_preset,native-asan)

win64: bootstrap
	$(call build_preset,win64)

win32: bootstrap
	$(call build_preset,win32)

# The editor on the embedded defaults in examples/: left open on a desktop,
# a screenshot run on a private display without one (or with CI or SHOT=1).
run: win64
	@SHOT='$(SHOT)' scripts/run.sh

test: native-asan win64 win32
	@scripts/test-all.sh

# The zip and the setup program of the x64 build in build/dist, with the
# silent install into a fresh Wine prefix checked (KORRIN_DIST_CHECK=0 skips it).
dist: win64
	@scripts/dist.sh $(BUILD)/win64

fuzz: bootstrap
	$(call build_preset,fuzz)
	@scripts/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

bench: bootstrap
	$(call build_preset,bench)
	@for b in $(BUILD)/bench/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Four paths, each against its own floor in the same run (bench/ratios.sh).
ratios: bootstrap
	@JOBS=$(JOBS) bench/ratios.sh

# The Pascal parser over a body of real code (Debian's Free Pascal sources).
corpus: bootstrap
	@scripts/pascal-corpus.sh

clean:
	rm -rf $(BUILD)
