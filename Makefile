# Set-up and everyday commands. Everything builds out of tree in build/.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build run test sanitize clang-test format format-check tidy demo bench fuzz clean

all: build

# Configure output is kept in the build tree; warnings and errors still show.
$(BUILD)/CMakeCache.txt:
	@mkdir -p $(BUILD) && cmake -S . -B $(BUILD) $(CMAKE_FLAGS) > $(BUILD)/configure.log || \
	  { cat $(BUILD)/configure.log; exit 1; }

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# Builds qvconv alone (cmake and a C++ compiler are enough) and starts its dialogue on
# this terminal; ARGS="..." runs the command line instead. The build log is shown only
# when the build fails, so that the banner is the first thing on the screen.
run: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j$(JOBS) --target qvconv > $(BUILD)/run-build.log 2>&1 || \
	  { cat $(BUILD)/run-build.log; exit 1; }
	@$(BUILD)/qvconv $(ARGS)

# Builds and runs every test.
test: build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j$(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# Times qvconv on generated captures: 64 MiB per runner family with TShark on the same
# frames and cp of the listing's report as anchors, then the adversarial cases at 1, 4 and
# 16 MiB. BENCH_FLAGS=--quick gives a short run; BENCH_FLAGS="--baseline PATH" also times
# an older build on the same captures.
bench: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target qvbench qvconv
	$(BUILD)/bench/qvbench $(BENCH_FLAGS)

# Rebuilds the sample captures, checks them against samples/*.cap and converts each one
# into demo/.
demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target qvconv qvcap
	tools/make_demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-sanitize build-clang build-fuzz

# The test suite built with clang++ and warnings as errors.
clang-test:
	$(MAKE) test BUILD=build-clang CMAKE_FLAGS="-DCMAKE_CXX_COMPILER=clang++ -DQV_WERROR=ON $(CMAKE_FLAGS)"

# The house style (.clang-format) over every C++ file that git tracks.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(FORMAT_FILES)
format-check:
	@clang-format --dry-run --Werror $(FORMAT_FILES) && echo "format-check: $(words $(FORMAT_FILES)) files in the house style"

# The checks of .clang-tidy over the program's sources (needs a configured build tree). The
# GCC-only link-time optimization flags of an optimized build are left to the compiler.
tidy: $(BUILD)/CMakeCache.txt
	clang-tidy -p $(BUILD) --quiet --extra-arg=-Wno-ignored-optimization-argument $(shell git ls-files 'src/*.cpp')

# libFuzzer run over the sample corpus (clang, libclang-rt-14-dev): FUZZ_SECONDS bounds it.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DQV_FUZZ=ON -DQV_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j$(JOBS) --target fuzz_capture
	mkdir -p build-fuzz/corpus
	build-fuzz/fuzz_capture -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 \
	  -rss_limit_mb=4096 -print_final_stats=1 -dict=fuzz/capture.dict build-fuzz/corpus fuzz/corpus samples
