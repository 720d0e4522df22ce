# The two commands of the README, and a few more for developers.
#   make run    build and start Lurkel (installs what a fresh Debian 12 machine lacks)
#   make test   build and run the whole test suite, then the sanitizer suite
#   make install / make uninstall   into PREFIX (default ~/.local, no root needed)
.PHONY: all deps build run test test-main test-package test-asan test-tsan package install uninstall lint format clean

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
PACKAGE_DIR ?= build-package
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLURKEL_WERROR=ON
PREFIX ?= $(HOME)/.local
# What `make install` put under PREFIX, kept there for `make uninstall`: the build folder's
# own install_manifest.txt is rewritten by every `cmake --install` (the tests run some), and
# tells of the last install only.
INSTALLED_LIST = $(PREFIX)/share/doc/lurkel/install_manifest.txt

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/bin/lurkel

test: test-main test-package test-asan test-tsan

test-main: build
	ctest --test-dir $(BUILD_DIR) -j$(JOBS) --output-on-failure --timeout 600

# The Debian package: a build for the prefix /usr, without tests, packed by CPack.
package: deps
	cmake -S . -B $(PACKAGE_DIR) $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=/usr -DLURKEL_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j$(JOBS)
	rm -f -- $(PACKAGE_DIR)/package/*.deb
	cd $(PACKAGE_DIR) && cpack -G DEB
	@ls $(PACKAGE_DIR)/package/*.deb

# What the package holds, lintian, the AppStream file and the manual pages.
test-package: package
	scripts/check-package.sh $(PACKAGE_DIR)/package/*.deb

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

install: build
	cmake --install $(BUILD_DIR) --prefix '$(PREFIX)'
	{ cat -- '$(INSTALLED_LIST)' 2>/dev/null || true; cat -- $(BUILD_DIR)/install_manifest.txt; } \
	  | awk 'length && !seen[$$0]++' > '$(INSTALLED_LIST).new'
	mv -f -- '$(INSTALLED_LIST).new' '$(INSTALLED_LIST)'
	$(refresh_desktop_caches)

# Removes exactly the files listed by the installs into PREFIX, nothing else.
uninstall:
	@test -f '$(INSTALLED_LIST)' || { echo "uninstall: nothing installed by 'make install' in $(PREFIX)" >&2; exit 1; }
	xargs -d '\n' rm -f -- < '$(INSTALLED_LIST)'
	rm -f -- '$(INSTALLED_LIST)'
	-@rmdir -- '$(PREFIX)/share/doc/lurkel' 2>/dev/null
	$(refresh_desktop_caches)

# The menu and the icon theme pick up what changed under PREFIX. An icon cache is refreshed
# only where one exists: without one the icon folders are read as they are.
define refresh_desktop_caches
-@touch --no-create '$(PREFIX)/share/icons/hicolor' 2>/dev/null
-@if [ -f '$(PREFIX)/share/icons/hicolor/icon-theme.cache' ] && command -v gtk-update-icon-cache >/dev/null; then \
	  gtk-update-icon-cache -q -t -f '$(PREFIX)/share/icons/hicolor'; fi
-@if [ -d '$(PREFIX)/share/applications' ] && command -v update-desktop-database >/dev/null; then \
	  update-desktop-database -q '$(PREFIX)/share/applications'; fi
endef

lint: build
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
	git ls-files 'platform/*.cpp' 'app/*.cpp' 'cli/*.cpp' 'hider/*.cpp' | xargs clang-tidy -p $(BUILD_DIR) --quiet

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
