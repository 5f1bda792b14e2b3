# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run    install what is missing, build, start Tessaro
#   make test   install what is missing, build, run the whole test suite
BUILD   ?= build
JOBS    ?= 2
PREFIX  ?= /usr/local
CMAKE_BUILD_TYPE ?= RelWithDebInfo

PACKAGES = cmake g++ make pkg-config git \
	qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-httpserver-dev qt6-websockets-dev libgl-dev libx11-dev \
	libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev \
	gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
	gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-x \
	libgtest-dev libgmock-dev libbenchmark-dev liblo-dev liblo-tools \
	xvfb xauth x11-apps imagemagick iproute2 util-linux fonts-dejavu-core \
	clang-14 libclang-rt-14-dev \
	dbus playerctl tshark man-db groff-base xdotool chromium python3-jsonschema

# Only `make bench` needs these (a peer to compare with).
BENCH_PACKAGES = mpv

.PHONY: all deps bench-deps configure build run test bench install asan clean format

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -eq 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	  else \
	    echo "Missing Debian packages. Run:"; \
	    echo "  sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(CMAKE_BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_EXTRA)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Without a display the window opens on a virtual one.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/tessaro; \
	else xvfb-run -a -s "-screen 0 1280x800x24" ./$(BUILD)/tessaro; fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE bench

bench-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_PACKAGES)"

bench: build bench-deps
	cmake --build $(BUILD) -j$(JOBS) --target bench_all
	cd $(BUILD) && ctest --output-on-failure -L bench -V

install: build
	cmake --install $(BUILD)

# AddressSanitizer + UndefinedBehaviorSanitizer build of everything, tests included.
asan:
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	$(MAKE) test BUILD=build-asan CMAKE_BUILD_TYPE=Debug \
	  CMAKE_EXTRA=-DTESSARO_SANITIZE=ON

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan
