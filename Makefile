# Two entry points: `make demo` renders the embedded default song, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= 2

.PHONY: deps configure build demo test bench install clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p out
	$(BUILD)/vorpalix-render --bars 8 -o out/demo.wav
	@echo "Rendered out/demo.wav"

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

bench: build
	$(BUILD)/vorpalix_bench

clean:
	rm -rf $(BUILD) out
