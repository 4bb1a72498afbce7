# make test : install what the tests need, build everything, run every test.
# make play : build only the arena, the referee, the sample bots and the viewer files, and play
#             a demo game between two sample bots (no tests, no npm).
# make fuzz : build the libFuzzer targets with clang and run each for FUZZ_SECONDS.
# make soak : SOAK_GAMES games between misbehaving bots through the arena, sanitizers on.
# make install PREFIX=P : build, then install the programs, sample bots and viewer files into P.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: test play deps play-deps build play-build bench clean fuzz soak install

# What `make play` builds and plays; the tests, benchmarks and fuzz programs are left out.
PLAY_TARGETS ?= zarvo-arena zarvo-checker zarvo-greedy zarvo-random zarvo-viewer python-bot

deps:
	@bash scripts/install-deps.sh

play-deps:
	@bash scripts/install-deps.sh play

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DZARVO_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

play-build: play-deps
	cmake -S . -B $(BUILD) -G Ninja -DZARVO_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target $(PLAY_TARGETS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

play: play-build
	@bash scripts/play.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD)

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= referee_stdin answer_check tile_script replay_page

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DZARVO_FUZZ=ON -DZARVO_SANITIZE=ON
	cmake --build $(FUZZ_BUILD) --target zarvo_fuzzers -j $(JOBS)
	bash fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

SOAK_BUILD ?= build-soak-asan
SOAK_GAMES ?= 1000
SOAK_FLAGS ?=

soak: deps
	cmake -S . -B $(SOAK_BUILD) -G Ninja -DZARVO_SANITIZE=ON
	cmake --build $(SOAK_BUILD) --target zarvo-arena zarvo-checker zarvo-random zarvo-greedy zarvo-viewer hostile_bot -j $(JOBS)
	python3 scripts/soak.py --bin $(SOAK_BUILD)/bin --bot $(SOAK_BUILD)/soak/hostile_bot --games $(SOAK_GAMES) $(SOAK_FLAGS)
