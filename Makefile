# make play   builds the desktop game and starts it, in Japanese or English
#             as SHINDAN_LANG (ja or en) or else the locale says; LANG=en or
#             LANG=ja (or a locale name such as ja_JP.UTF-8) on make's
#             command line chooses for this one game
# make test   builds everything and runs every test, the sanitizer build included
# make deb    builds the Debian package $(BUILD)/shindan_<version>_amd64.deb
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

.PHONY: deps build play test test-normal test-asan windows deb web web-play web-node clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHINDAN_WERROR=$(WERROR) \
	  -DSHINDAN_WEB_SITE=$(WEB_TEST_SITE) -DSHINDAN_WEB_NODE_MODULES=$(WEB_NODE)/node_modules
	cmake --build $(BUILD) -j $(JOBS)

# LANG given to make is the player's choice for this game, whatever
# LANGUAGE or LC_ALL say; a LANG that only comes from the environment is left
# to the launcher's usual order.
ifeq ($(origin LANG),command line)
play: export SHINDAN_LANG = $(if $(filter ja%,$(LANG)),ja,en)
endif
play: build
	$(BUILD)/shindan-launcher

test-normal test-asan: WERROR = ON

# The normal build's tests include the browser edition's.
test-normal: WEB_TEST_SITE = $(abspath $(WEB_BUILD))/site
test-normal: build web web-node
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSHINDAN_SANITIZE=ON -DSHINDAN_DESKTOP=ON \
	  -DSHINDAN_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --timeout $(TEST_TIMEOUT)

test: test-normal test-asan

# make windows   cross-compiles shindan.exe with MinGW-w64; build-windows/game
# then holds the program and every file it opens, ready to zip, and
# build-windows/game-en the same program with the English pack
windows: build
	cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DSHINDAN_ASSET_DIR=$(abspath $(BUILD))/game \
	  -DSHINDAN_ASSET_EN_DIR=$(abspath $(BUILD))/game-en
	cmake --build build-windows -j $(JOBS)

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

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-windows $(WEB_BUILD)
