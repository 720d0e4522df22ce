# The two commands of the README, and a few more for developers.
#   make run    build and start Lurkel (installs what a fresh Debian 12 machine lacks)
#   make test   build and run the whole test suite, then the sanitizer suite
.PHONY: all deps build run test test-main test-asan test-tsan lint format clean

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLURKEL_WERROR=ON

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/bin/lurkel

test: test-main test-asan test-tsan

test-main: build
	ctest --test-dir $(BUILD_DIR) -j$(JOBS) --output-on-failure --timeout 600

# The Qt-widget-free libraries and their tests under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLURKEL_WERROR=ON \
	  -DLURKEL_WITH_WIDGETS=OFF -DLURKEL_SANITIZE=address,undefined
	cmake --build $(ASAN_DIR) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_DIR) -L core -j$(JOBS) --output-on-failure --timeout 900

# The walker and the hand-off between threads under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLURKEL_WERROR=ON \
	  -DLURKEL_WITH_WIDGETS=OFF -DLURKEL_SANITIZE=thread
	cmake --build $(TSAN_DIR) -j$(JOBS) --target WalkerTests HandOffTests
	TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir $(TSAN_DIR) -R '^(WalkerTest|HandOff)\.' -j$(JOBS) --output-on-failure --timeout 900

lint: build
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	git ls-files 'platform/*.cpp' 'app/*.cpp' 'cli/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
