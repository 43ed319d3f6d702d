#!/usr/bin/env bash
# Plays two whole tests of the desktop program on a private X server, with
# real key presses, and checks what it showed and wrote:
#   - the waiting title, the first question of the Shift test and its fully
#     built analysis look like the headless replay's frames at those moments;
#   - after the Shift test the result file holds the untouched normal set
#     (all zero); after a normal test it holds the eight labels and figures;
#   - Esc ends the program with status 0, and effects and music reached the
#     sound device.
# Usage: play_test.sh SHINDAN SHINDAN_TOOL GAME_DIR
set -u
shindan=$1
tool=$2
game_dir=$3

for p in Xvfb xdotool import compare convert; do
  if ! command -v "$p" >/dev/null 2>&1; then
    echo "SKIP: $p is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
finish() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL: $*"
  [ -f "$work/game.log" ] && sed 's/^/  game: /' "$work/game.log"
  exit 1
}

# A display number nobody uses, from :97 up.
display=""
for n in $(seq 97 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      display=":$n"
      break
    fi
    xvfb_pid=""
  fi
done
[ -n "$display" ] || fail "no X server could be started"
export DISPLAY=$display

# The game folder, copied so that the result file lands in the copy.
mkdir "$work/game"
cp "$game_dir"/*.bm "$game_dir"/*.wav "$game_dir"/*.mid "$work/game/" || fail "no asset files in $game_dir"
cp "$shindan" "$work/game/shindan"

# The same moments on the headless platform.
{
  echo "frames 2"
  echo "tap space"
  echo "until title 7"
  echo "shot $work/ref_title.png"
  echo "tap shift"
  echo "until title 10"
  echo "tap space"
  echo "until title 16"
  echo "frames 2"
  echo "tap space"
  echo "until answering"
  echo "shot $work/ref_question.png"
  for i in $(seq 0 11); do
    for _ in $(seq 1 $((i % 3))); do
      echo "tap down"
      echo "frames 2"
    done
    echo "tap space"
    if [ "$i" -lt 11 ]; then
      # The confirming latch must see Space up twice before a new press.
      echo "until answering"
      echo "frames 2"
    fi
  done
  echo "until analysis 0"
  echo "tap space"
  echo "frames 2"
  echo "tap space"
  echo "until analysis 21"
  echo "shot $work/ref_analysis.png"
} >"$work/replay.txt"
(cd "$work/game" && "$tool" replay "$work/replay.txt" >"$work/replay.out" 2>&1) || {
  cat "$work/replay.out"
  fail "the headless replay failed"
}

(
  cd "$work/game" &&
    SHINDAN_WINDOWED=1 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" \
      exec ./shindan >"$work/game.log" 2>&1
) &
game_pid=$!

window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^shindan$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$game_pid" 2>/dev/null || fail "the program ended at start"
  sleep 0.1
done
[ -n "$window" ] || fail "no window appeared"
xdotool windowmove "$window" 0 0 >/dev/null 2>&1
xdotool windowfocus --sync "$window" >/dev/null 2>&1

# A press held for a few frames: a tap shorter than a frame is never seen.
press() {
  xdotool keydown "$1"
  sleep 0.12
  xdotool keyup "$1"
  sleep 0.12
}
shot() {
  import -window root "$work/$1.png" || fail "no screenshot"
}
# Compares a region of the window (W x H + X + Y) with the replay's frame;
# the colour expansion of 16-bit pixels may differ by one step.
same() {
  local differ
  convert "$work/$1.png" -crop "$3" +repage "$work/crop_a.png" || fail "cannot crop $1"
  convert "$work/$2.png" -crop "$3" +repage "$work/crop_b.png" || fail "cannot crop $2"
  differ=$(compare -metric AE -fuzz 2% "$work/crop_a.png" "$work/crop_b.png" null: 2>&1)
  if [ "$differ" != "0" ]; then
    if [ -n "${SHINDAN_TEST_KEEP:-}" ]; then
      cp "$work/$1.png" "$work/$2.png" "$SHINDAN_TEST_KEEP/"
    fi
    fail "$1 differs from $2 in $3: $differ pixels"
  fi
}

sleep 3  # the first frame loads every picture
press space
sleep 0.6
shot title
same title ref_title 640x480+0+0

press Shift
sleep 1.5  # the zooms
press space
sleep 0.6
press space
sleep 3  # the noise screen, then the first question
shot question
# The question and its three answer bands; the background around and
# between them and the cursors beside them animate.
same question ref_question 308x196+166+100
for y in 330 366 402; do
  same question ref_question 308x28+166+$y
done

for i in $(seq 0 11); do
  for _ in $(seq 1 $((i % 3))); do
    press Down
  done
  press space
  sleep 0.9
done
sleep 3  # the closing noise
press space
sleep 0.6
press space
sleep 4.5  # the help line fades in
shot analysis
same analysis ref_analysis 640x480+0+0

press space
sleep 6  # the closing wipe and the black wait
result="$work/game/分析結果.txt"
[ -f "$result" ] || fail "no result file after the Shift test"
[ "$(stat -c %s "$result")" = 144 ] || fail "result file after the Shift test: $(stat -c %s "$result") bytes, not 144"
# Every entry is a 16-byte label, the figure 0 and a carriage return.
python3 - "$result" <<'PY' || fail "result file after the Shift test is malformed"
import sys
data = open(sys.argv[1], "rb").read()
entries = data.split(b"\r")
assert entries[-1] == b"" and len(entries) == 9, entries
assert all(len(e) == 17 and e.endswith(b"0") for e in entries[:8]), entries
assert b"\n" not in data
PY
cp "$result" "$work/shift_result.txt"

# A normal test: its questions are drawn at random, so only the form of the
# result is known: the same labels, each with a figure from -100 to 100.
sleep 1
press space
sleep 0.6
press space
sleep 1.5
press space
sleep 0.6
press space
sleep 3
for i in $(seq 0 11); do
  press Down
  press space
  sleep 0.9
done
sleep 3
press space
sleep 0.6
press space
sleep 4.5
press space
sleep 6
python3 - "$result" "$work/shift_result.txt" <<'PY' || fail "result file after the normal test is wrong"
import re, sys
data = open(sys.argv[1], "rb").read()
labels = [e[:16] for e in open(sys.argv[2], "rb").read().split(b"\r")[:8]]
assert b"\n" not in data
entries = data.split(b"\r")
assert entries[-1] == b"" and len(entries) == 9, entries
figures = []
for label, entry in zip(labels, entries):
    assert entry[:16] == label, (entry, label)
    assert re.fullmatch(rb"-?(0|[1-9][0-9]{0,2})", entry[16:]), entry
    figures.append(int(entry[16:]))
assert all(-100 <= f <= 100 for f in figures), figures
# Every answer of the pool moves some trait.
assert any(f != 0 for f in figures), figures
PY

# Esc ends the program normally.
press Escape
for _ in $(seq 50); do
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$game_pid" 2>/dev/null; then
  fail "Esc did not end the program"
fi
wait "$game_pid"
status=$?
game_pid=""
[ "$status" = 0 ] || fail "exit status $status after Esc"

# Effects and music were mixed: the device heard more than silence.
python3 - "$work/audio.raw" <<'PY' || fail "the sound device heard only silence"
import sys
data = open(sys.argv[1], "rb").read()
assert len(data) > 100000 and data.count(0) < len(data) * 0.9
PY
echo "PASS"
