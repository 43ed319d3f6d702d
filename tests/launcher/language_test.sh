#!/usr/bin/env bash
# language_test.sh LAUNCHER BIN_TO_GAME GAME_TO_EN MAKEFILE
# Lays out an install tree whose "program" reports the folder it was started
# in, then starts the launcher under each language setting and checks which
# pack folder the game would have played in.
set -u
launcher=$1
bin_to_game=$2
game_to_en=$3
makefile=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/home"
cp "$launcher" "$work/bin/shindan"
chmod +x "$work/bin/shindan"
mkdir -p "$work/bin/$bin_to_game/$game_to_en"
game=$(cd "$work/bin/$bin_to_game" && pwd)
en=$(cd "$game/$game_to_en" && pwd)
cat > "$game/shindan" <<'PROGRAM'
#!/bin/sh
pwd -P
PROGRAM
chmod +x "$game/shindan"
touch "$game/title.bm" "$en/title.bm" "$en/title.txt"

failures=0
# expect ja|en VAR=value... : the launcher, with only these variables set.
expect() {
  local want=$1
  shift
  local got
  got=$(env -i PATH="$PATH" HOME="$work/home" "$@" "$work/bin/shindan" 2> "$work/stderr")
  local folder=$game
  if [ "$want" = en ]; then folder=$en; fi
  if [ "$got" != "$folder" ]; then
    echo "FAIL: with $* the game started in '$got', expected the $want pack ($folder)"
    cat "$work/stderr"
    failures=$((failures + 1))
  fi
}

# SHINDAN_LANG rules over every locale variable.
expect en SHINDAN_LANG=en LANGUAGE=ja LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
expect ja SHINDAN_LANG=ja LANGUAGE=en_US LC_ALL=en_US.UTF-8 LANG=C
# An unknown SHINDAN_LANG is not obeyed blindly: the locale decides, with a word.
expect ja SHINDAN_LANG=fr LANG=ja_JP.UTF-8
if ! grep -q SHINDAN_LANG "$work/stderr"; then
  echo "FAIL: an unknown SHINDAN_LANG passed without a warning"
  failures=$((failures + 1))
fi
# An empty SHINDAN_LANG counts as unset.
expect ja SHINDAN_LANG= LANG=ja_JP.UTF-8

# The locale: the first of LANGUAGE, LC_ALL, LC_MESSAGES, LANG that is set
# and not empty; Japanese gives ja, anything else en.
expect ja LANGUAGE=ja:en LC_ALL=en_US.UTF-8 LC_MESSAGES=en_US.UTF-8 LANG=en_US.UTF-8
expect en LANGUAGE=en_GB:ja LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
expect ja LANGUAGE= LC_ALL=ja_JP.eucJP LANG=en_US.UTF-8
expect en LC_ALL=C.UTF-8 LANG=ja_JP.UTF-8
expect ja LC_ALL= LC_MESSAGES=ja_JP.UTF-8 LANG=de_DE.UTF-8
expect en LC_MESSAGES=POSIX LANG=ja_JP.UTF-8
expect ja LANG=ja_JP.UTF-8
expect ja LANG=ja
expect en LANG=fr_FR.UTF-8
expect en LANG=C
# Nothing set at all: English, the wider audience.
expect en

# A game installed without its English pack still starts, in Japanese.
mv "$en" "$work/en-aside"
expect ja SHINDAN_LANG=en
mv "$work/en-aside" "$en"

# make play: LANG on make's command line chooses for that game, even over a
# Japanese or English LANGUAGE in the environment. The stand-in build folder's
# launcher reports what it was given; -o build keeps make from building.
mkdir -p "$work/build"
cat > "$work/build/shindan-launcher" <<'REPORT'
#!/bin/sh
echo "${SHINDAN_LANG:-unset}"
REPORT
chmod +x "$work/build/shindan-launcher"
# check_make want ENVIRONMENT... -- MAKE ARGUMENTS...
check_make() {
  local want=$1
  shift
  local environment=()
  while [ "$1" != -- ]; do
    environment+=("$1")
    shift
  done
  shift
  local got
  got=$(env -i PATH="$PATH" HOME="$work/home" "${environment[@]}" make -s --no-print-directory -f "$makefile" \
    -o build play BUILD="$work/build" "$@" 2> /dev/null)
  if [ "$got" != "$want" ]; then
    echo "FAIL: make play $* (environment ${environment[*]}) gave SHINDAN_LANG '$got', expected '$want'"
    failures=$((failures + 1))
  fi
}
mkdir -p "$work/top"
cd "$work/top"
check_make en LANGUAGE=ja:en LANG=ja_JP.UTF-8 -- LANG=en
check_make ja LANGUAGE=en_US LC_ALL=en_US.UTF-8 -- LANG=ja_JP.UTF-8
check_make ja -- LANG=ja
check_make en LANG=ja_JP.UTF-8 -- LANG=fr_FR.UTF-8
# LANG from the environment alone leaves the choice to the launcher.
check_make unset LANG=ja_JP.UTF-8 --
check_make ja SHINDAN_LANG=ja LANG=en_US.UTF-8 --

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all language choices as expected"
