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

.PHONY: deps build play test test-normal test-asan windows deb clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHINDAN_WERROR=$(WERROR)
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

test-normal: build
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

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-windows
