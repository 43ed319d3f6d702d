# make play   builds the desktop game and starts it, in Japanese or English
#             as SHINDAN_LANG (ja or en) or else the locale says; LANG=en or
#             LANG=ja (or a locale name such as ja_JP.UTF-8) on make's
#             command line chooses for this one game
# make test   builds everything and runs every test, the sanitizer build included
# make deb    builds the Debian package $(BUILD)/shindan_<version>_amd64.deb
# make dist   fills dist/ with every release file of this version
#
# Each of them first installs the Debian packages it needs, and only those
# (scripts/install-deps says which).
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
# Warnings are errors in the test builds only; a player's build never stops
# on a warning from a compiler we have not tried.
WERROR ?= OFF
# Any test without a time limit of its own gets this one.
TEST_TIMEOUT ?= 600

# The browser tests stay listed in $(BUILD) once a site and the test's node
# modules are there, so that a later "make web" does not drop them.
WEB_TEST_SITE ?= $(if $(wildcard $(WEB_BUILD)/site/index.html),$(if $(wildcard $(WEB_NODE)/node_modules),$(abspath $(WEB_BUILD))/site))

VERSION := $(shell cat VERSION)
# Release files carry the time of the last commit, not the time of the build
# (the reproducible-builds convention; gcc, dpkg-deb and scripts/make-dist
# take it from here).
ifndef SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH := $(shell git log -1 --format=%ct 2>/dev/null)
endif
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

.PHONY: deps build play test test-normal test-asan windows windows-x64 windows-x86 deb web web-play web-node \
  dist clean

# What a target installs for: play, and what each target adds; a target's
# additions hold for everything it builds on, so "make dist" installs for
# dist before its first build.
DEPS_FOR = play
deps:
	@scripts/install-deps $(DEPS_FOR)

# make play builds only the game; any other target everything configured.
BUILD_TARGETS ?=
build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHINDAN_WERROR=$(WERROR) \
	  -DSHINDAN_WEB_SITE=$(WEB_TEST_SITE) -DSHINDAN_WEB_NODE_MODULES=$(WEB_NODE)/node_modules $(BUILD_OPTIONS)
	cmake --build $(BUILD) -j $(JOBS) $(BUILD_TARGETS)

# LANG given to make is the player's choice for this game, whatever
# LANGUAGE or LC_ALL say; a LANG that only comes from the environment is left
# to the launcher's usual order.
ifeq ($(origin LANG),command line)
play: export SHINDAN_LANG = $(if $(filter ja%,$(LANG)),ja,en)
endif
play: BUILD_TARGETS = --target shindan
play: build
	$(BUILD)/shindan-launcher

test test-normal test-asan: WERROR = ON
test test-normal test-asan: DEPS_FOR += test
# The tests and benchmarks are asked for, so that a missing library stops the
# build instead of leaving them out.
test test-normal: BUILD_OPTIONS = -DSHINDAN_TESTS=ON -DSHINDAN_BENCH=ON

# The normal build's tests include the browser edition's.
test-normal: WEB_TEST_SITE = $(abspath $(WEB_BUILD))/site
test-normal: build web web-node
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSHINDAN_SANITIZE=ON -DSHINDAN_DESKTOP=ON \
	  -DSHINDAN_WERROR=$(WERROR) -DSHINDAN_TESTS=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

test: test-normal test-asan

# make windows   cross-compiles shindan.exe with MinGW-w64 for 64-bit and
# 32-bit Windows; build-windows/game then holds the 64-bit program and every
# file it opens, ready to zip, and build-windows/game-en the same program with
# the English pack; build-windows-x86/ the same for the 32-bit program
windows: DEPS_FOR += windows
windows: windows-x64 windows-x86

WINDOWS_BUILD_x64 = build-windows
WINDOWS_BUILD_x86 = build-windows-x86
WINDOWS_TOOLCHAIN_x64 = cmake/mingw-w64-x86_64.cmake
WINDOWS_TOOLCHAIN_x86 = cmake/mingw-w64-i686.cmake
windows-x64 windows-x86: windows-%: build
	cmake -S . -B $(WINDOWS_BUILD_$*) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(WINDOWS_TOOLCHAIN_$*) \
	  -DCMAKE_BUILD_TYPE=Release -DSHINDAN_ASSET_DIR=$(abspath $(BUILD))/game \
	  -DSHINDAN_ASSET_EN_DIR=$(abspath $(BUILD))/game-en
	cmake --build $(WINDOWS_BUILD_$*) -j $(JOBS)

deb: DEPS_FOR += deb
deb: build
	cd $(BUILD) && cpack -G DEB

# make web        builds the browser edition into build-web/site (any static
#                 web server can serve it)
# make web-play   builds it and serves it on http://127.0.0.1:8080/
WEB_BUILD ?= build-web
WEB_PORT ?= 8080
WEB_NODE = $(abspath $(WEB_BUILD))/node
# Debian's emscripten runs its JavaScript tools with the machine's node, which
# must find Debian's node modules (acorn and others).
WEB_ENV = NODE_PATH=/usr/share/nodejs

web: DEPS_FOR += web
web: build
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHINDAN_WERROR=$(WERROR) \
	  -DSHINDAN_ASSET_DIR=$(abspath $(BUILD))/game \
	  -DSHINDAN_PICTURE_TOOL=$(abspath $(BUILD))/game/shindan-tool \
	  -DSHINDAN_WEB_ICON_DIR=$(abspath $(BUILD))/icons/hicolor \
	  -DSHINDAN_ASSET_DIR_EN=$(if $(wildcard $(BUILD)/game-en/title.bm),$(abspath $(BUILD))/game-en)
	$(WEB_ENV) cmake --build $(WEB_BUILD) -j $(JOBS)

# puppeteer-core for the browser tests, exactly as the lock file says.
web-node:
	@mkdir -p $(WEB_NODE)
	@if ! cmp -s tests/web/package-lock.json $(WEB_NODE)/package-lock.json || [ ! -d $(WEB_NODE)/node_modules ]; then \
	  cp tests/web/package.json tests/web/package-lock.json $(WEB_NODE)/ && \
	  cd $(WEB_NODE) && npm ci --ignore-scripts --no-audit --no-fund; fi

web-play: web
	@echo "The game is served on http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C stops the server)"
	cd $(WEB_BUILD)/site && python3 -m http.server $(WEB_PORT) --bind 127.0.0.1

# make dist   dist/ with this version's release files: the Debian package,
#             shindan-<version>-windows-x64.zip and -windows-x86.zip,
#             shindan-<version>-web.tar.gz and SHA256SUMS; the same bytes
#             from every build of the same commit (scripts/check-reproducible)
DIST ?= dist
dist: DEPS_FOR += dist
dist: deb windows web
	scripts/make-dist --version $(VERSION) --out $(DIST) \
	  --deb $(BUILD)/shindan_$(VERSION)_amd64.deb \
	  --windows x64=$(WINDOWS_BUILD_x64) --windows x86=$(WINDOWS_BUILD_x86) \
	  --web $(WEB_BUILD)/site --readme packaging/windows/README.txt --licences packaging/copyright

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WINDOWS_BUILD_x64) $(WINDOWS_BUILD_x86) $(WEB_BUILD) $(DIST)
