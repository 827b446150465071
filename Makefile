# Two entry points: `make demo` renders the embedded default song, `make test` builds and runs every test.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 5
TSAN_BUILD ?= build-tsan
TSAN_SECONDS ?= 4

.PHONY: deps configure build demo test fuzz tsan bench install clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p out
	$(BUILD)/vorpalix-render --patterns 0-2 --tempo 120 --bars 12 -o out/demo.wav
	@echo "Rendered out/demo.wav"

# The document readers and the chunk under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, a few seconds each (clang build of its own).
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORPALIX_FUZZ=ON -DVORPALIX_BUILD_TESTS=OFF -DVORPALIX_BUILD_BENCH=OFF \
		-DVORPALIX_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target vorpalix_fuzz_all
	@ctest --test-dir $(FUZZ_BUILD) -L fuzz --output-on-failure

# The two-thread stress program under ThreadSanitizer (clang build of its own): one thread renders
# with the sequencer playing and MIDI arriving while another applies chunks, turns knobs, loads
# banks, edits patterns and auditions. Any data race report fails the run.
tsan: deps
	@CC=clang CXX=clang++ cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORPALIX_TSAN=ON -DVORPALIX_BUILD_TESTS=OFF -DVORPALIX_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target vorpalix_stress
	TSAN_OPTIONS="halt_on_error=1 exitcode=66" $(TSAN_BUILD)/vorpalix_stress --seconds $(TSAN_SECONDS)

test: build fuzz tsan
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

bench: build
	$(BUILD)/vorpalix_bench

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(TSAN_BUILD) out
