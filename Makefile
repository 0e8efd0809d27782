# Set-up and everyday commands. Everything builds out of tree in build/.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all build run test sanitize demo bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# Builds and starts the converter's dialogue on this terminal.
run: build
	$(BUILD)/qvconv

# Builds and runs every test.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf $(BUILD) build-sanitize
