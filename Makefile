# Two commands for a fresh Debian or Ubuntu machine:
#   make run    installs what is missing, builds, starts the program in the examples folder
#   make test   installs what is missing, builds, runs every test
# Also: make bench (conversion benchmark), make fuzz (fuzz targets, with clang),
# make windows / windows-test / windows-package (Windows build with MinGW-w64, tested under Wine),
# make install-test (installs into a scratch folder and checks what was installed),
# make deb (a Debian package of the window program and the converter).

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build, the tests and the window need.
PACKAGES = cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev \
           libssl-dev qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev fonts-ipafont-gothic \
           desktop-file-utils appstream man-db libxml2-utils

# The Windows build: MinGW-w64 compilers, GoogleTest's sources, and Wine to run the tests.
WINDOWS_BUILD    ?= build-windows
WINDOWS_PACKAGES = cmake ninja-build make g++-mingw-w64-x86-64-posix googletest wine64 \
                   util-linux coreutils

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test run bench fuzz clean windows windows-test \
        windows-package install-test deb

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ] || command -v sudo >/dev/null 2>&1; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	  else \
	    echo "Please install these packages (as root):$$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "There is no display here, so the window cannot open."; \
	  echo "Convert from the command line instead, for example:"; \
	  echo "  mkdir -p /tmp/chn && $(BUILD)/src/brandel-convert --type canberra-txt --out /tmp/chn examples/*.TXT"; \
	  echo "  $(BUILD)/src/brandel-convert --help"; \
	else \
	  cd examples && ../$(BUILD)/src/brandel; \
	fi

bench: build
	@$(BUILD)/bench/brandel-bench
	@$(BUILD)/bench/brandel-bench --large
	@$(BUILD)/bench/brandel-watch-bench
	@if [ -x $(BUILD)/bench/brandel-plot-bench ]; then $(BUILD)/bench/brandel-plot-bench; fi

fuzz:
	@$(MAKE) --no-print-directory -f fuzz/fuzz.mk

# The core, brandel-convert.exe and the core tests for 64-bit Windows.
windows:
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINDOWS_PACKAGES)"
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DBRANDEL_GUI=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# Every core test under Wine, the CHN files of both builds compared byte for byte, and the zip
# checked on a fresh Wine prefix.
windows-test: windows build
	@cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)
	@tests/windows/compare_examples.sh $(BUILD)/src/brandel-convert \
	    $(WINDOWS_BUILD)/src/brandel-convert.exe $(WINDOWS_BUILD)/wineprefix \
	    $(BUILD)/tools/brandel-make-examples
	@$(MAKE) --no-print-directory windows-package

# A zip of brandel-convert.exe with the README and the examples, then unpacked and run on a fresh
# Wine prefix.
windows-package: windows build
	@rm -rf $(WINDOWS_BUILD)/packages
	@cd $(WINDOWS_BUILD) && cpack -G ZIP >/dev/null
	@tests/windows/package_test.sh $(WINDOWS_BUILD)/packages/*.zip $(BUILD)/src/brandel-convert \
	    $(WINDOWS_BUILD)/package-test $(BUILD)/tools/brandel-make-examples
	@ls $(WINDOWS_BUILD)/packages/*.zip

# Installs into a scratch folder and checks the desktop entry, metainfo and manual page.
install-test: build
	@cd $(BUILD) && ctest --output-on-failure -L install

# A Debian package of the window program and the converter, checked with lintian: an error
# fails the target, warnings are shown.
deb: build
	@$(MAKE) --no-print-directory deps PACKAGES="dpkg-dev file lintian"
	@rm -rf $(BUILD)/packages
	@cd $(BUILD) && cpack -G DEB >/dev/null
	@lintian --fail-on error --tag-display-limit 0 $(BUILD)/packages/*.deb
	@ls $$PWD/$(BUILD)/packages/*.deb

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
