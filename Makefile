# Orvane's two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test test-sanitize install package mutate fuzz clean

deps:
	@./tools/install-deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/orvane

# The last line says the tests' share of the code (tools/testshare), whatever the outcome.
test: build
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS); \
		status=$$?; ./tools/testshare; exit $$status

# Installs under PREFIX (/usr/local unless given), as `cmake --install` does.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD), made by CPack.
package: build
	cd $(BUILD) && cpack -G DEB

test-sanitize: deps
	@test -f build-asan/build.ninja || cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF
	@cmake --build build-asan -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j $(JOBS) -E '^e2e'

# Plants the faults listed in tests/mutants.json one at a time; tens of minutes, not part of test.
mutate: deps
	./tools/mutate --report build-mutate/report.md

# Runs each libFuzzer target for FUZZ_SECONDS, growing its corpus in build-fuzz/corpus.
FUZZ_SECONDS ?= 600
fuzz: deps
	@test -f build-fuzz/build.ninja || cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON -DBUILD_TESTING=OFF -DORVANE_BENCH=OFF
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_hierarchy fuzz_findertags fuzz_tagvalue
	@for t in hierarchy findertags tagvalue; do \
		mkdir -p build-fuzz/corpus/$$t build-fuzz/crashes; \
		./build-fuzz/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			-artifact_prefix=build-fuzz/crashes/$$t- build-fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf $(BUILD) build-asan build-mutate build-fuzz
