# The two everyday commands: `make run` and `make test`.
BUILD_DEBUG   ?= build/debug
BUILD_RELEASE ?= build/release
BUILD_BENCH   ?= build/bench
BUILD_FUZZ    ?= build/fuzz
JOBS          ?= $(shell nproc)

.PHONY: all deps run test bench screenshots help-pictures clean fuzz fuzz-build fuzz-coverage mutants

all: test

deps:
	@bash scripts/install-deps.sh

# Debug build with AddressSanitizer and UndefinedBehaviorSanitizer; every test,
# and a 20-second run of every fuzz target (built first, in its own tree).
test: deps fuzz-build
	@cmake -S . -B $(BUILD_DEBUG) -DCMAKE_BUILD_TYPE=Debug -DREELO_SANITIZE=ON \
	  -DREELO_FUZZ_BIN_DIR=$(abspath $(BUILD_FUZZ))/tests/fuzz >/dev/null
	@cmake --build $(BUILD_DEBUG) -j $(JOBS)
	@cd $(BUILD_DEBUG) && ctest --output-on-failure -j $(JOBS)

# Release build of the benchmarks: the core's in bench/, then decoding through
# the import window and painting the viewer windows (offscreen).
CORE_BENCHES = $(basename $(notdir $(wildcard bench/*_bench.cpp)))
UI_BENCHES   = tests/ui_import/form11_decode_bench tests/ui_viewers/ui_viewers_window_bench tests/ui/ui_block_list_bench
bench: deps
	@cmake -S . -B $(BUILD_BENCH) -DCMAKE_BUILD_TYPE=Release -DREELO_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BUILD_BENCH) -j $(JOBS) --target $(CORE_BENCHES) $(notdir $(UI_BENCHES))
	@for b in $(CORE_BENCHES); do echo "== $$b"; $(BUILD_BENCH)/bench/$$b || exit 1; done
	@for b in $(UI_BENCHES); do echo "== $$b"; QT_QPA_PLATFORM=offscreen $(BUILD_BENCH)/$$b || exit 1; done

clean:
	rm -rf build

# The program (Release build). With no display it says how to run it instead;
# on a machine without one: xvfb-run make run
# The build's own lines are kept in a log and shown only when it fails.
run: deps
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo >$(BUILD_RELEASE)/run-build.log 2>&1 || \
	  { cat $(BUILD_RELEASE)/run-build.log; exit 1; }
	@$(BUILD_RELEASE)/src/ui/reelo

# The main window, its menus, the progress window, the file dialogs and every
# message box of its commands, rendered offscreen to PNG files; the help
# page's pictures (help/); then the real program on virtual X screens of
# 1024x768 and 1400x1000 (xvfb_reelo*.png).
SCREENSHOTS ?= build/screenshots
screenshots: deps
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_screenshots reelo
	@rm -rf $(SCREENSHOTS)
	@QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui/reelo_screenshots $(SCREENSHOTS)
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_import_screenshots && QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_import/reelo_import_screenshots $(SCREENSHOTS)
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_frame_screenshots && QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_frame/reelo_frame_screenshots $(SCREENSHOTS)
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_viewer_screenshots && QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_viewers/reelo_viewer_screenshots $(SCREENSHOTS)
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_playback_screenshots && QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_playback/reelo_playback_screenshots $(SCREENSHOTS)
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_help_pictures && QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_frame/reelo_help_pictures $(SCREENSHOTS)/help
	@bash scripts/xvfb_screenshot.sh $(BUILD_RELEASE) $(SCREENSHOTS)/xvfb_reelo.png 1024x768
	@bash scripts/xvfb_screenshot.sh $(BUILD_RELEASE) $(SCREENSHOTS)/xvfb_reelo_1400.png 1400x1000

# The help page's pictures of the windows, rendered from this build into
# Help/ (the test ui_frame_help_pictures fails until they match the build).
help-pictures: deps
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo_help_pictures
	@QT_QPA_PLATFORM=offscreen $(BUILD_RELEASE)/tests/ui_frame/reelo_help_pictures Help

# libFuzzer targets (clang, with ASan and UBSan) in their own tree.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREELO_BUILD_FUZZ=ON \
	  -DREELO_BUILD_UI=OFF -DREELO_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BUILD_FUZZ) -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS (FUZZ_PARALLEL at a time), the test of a
# recording longer than 2 GB, then the soak run (reelo-cli from a Release tree;
# SOAK_PLAYBACK_MINUTES and the other SOAK_* variables of tests/fuzz/soak.sh).
FUZZ_SECONDS  ?= 60
FUZZ_PARALLEL ?= 1
fuzz: fuzz-build
	@bash tests/fuzz/run_fuzzers.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_PARALLEL)
	@$(BUILD_FUZZ)/tests/fuzz/long_recording_test
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo-cli
	@bash tests/fuzz/soak.sh $(BUILD_RELEASE)/src/cli/reelo-cli $(BUILD_FUZZ)/tests/fuzz/edit_soak $(abspath $(BUILD_FUZZ))/soak

# The single-line faults of tests/mutants/faults.txt, each built alone in a
# copy of the tree (Release, no windows) and run against the core tests: a table
# of caught and survived faults and the rate per folder (MUTANTS=name or folder
# to run some of them).
MUTANTS ?=
mutants: deps
	@python3 scripts/mutants.py --jobs 2 $(if $(MUTANTS),--only $(MUTANTS))

# Line coverage of src/ by the fuzz targets' corpora (after `make fuzz`).
fuzz-coverage: deps
	@bash tests/fuzz/coverage.sh build/fuzz-coverage $(BUILD_FUZZ)

# Installs the program, its help page, a desktop entry and the icon under
# PREFIX; DESTDIR stages them elsewhere (make install DESTDIR=/tmp/stage).
PREFIX ?= /usr/local
.PHONY: install
install: deps
	@cmake -S . -B $(BUILD_RELEASE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_RELEASE) -j $(JOBS) --target reelo reelo-cli
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_RELEASE) --prefix "$(PREFIX)"
