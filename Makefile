# Two entry points: `make demo` renders the embedded default song, `make test` builds and runs every test.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 5

.PHONY: deps configure build demo test fuzz bench install clean

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

test: build fuzz
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

bench: build
	$(BUILD)/vorpalix_bench

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) out
