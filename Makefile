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
           qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev fonts-ipafont-gothic

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test run bench fuzz clean

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
	@if [ -x $(BUILD)/bench/brandel-plot-bench ]; then $(BUILD)/bench/brandel-plot-bench; fi

fuzz:
	@$(MAKE) --no-print-directory -f fuzz/fuzz.mk

clean:
	rm -rf $(BUILD)
