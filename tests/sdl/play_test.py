#!/usr/bin/env python3
"""Plays the desktop program on a private X server with real key presses and
checks what it shows and writes against the headless replay of the same
presses: the waiting title, the Shift test's questions and its analysis, the
result files of a Shift test and a normal test, Esc ending the program with
status 0, and sound reaching the device.

  play_test.py --program SHINDAN --tool SHINDAN_TOOL --game GAME_DIR --work DIR

Exits 77 (skipped) when Xvfb, xdotool or ImageMagick are missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
RESULT_NAME = "分析結果.txt"
WIDTH, HEIGHT = 640, 480

# How many times Down is pressed before Space, question by question.
SHIFT_ANSWERS = [0, 1, 2, 1, 0, 2, 2, 1, 0, 0, 1, 2]
NORMAL_ANSWERS = [2, 0, 1, 1, 2, 0, 0, 2, 1, 2, 0, 1]
QUESTION_AT = (166, 100)
QUESTION_SIZE = (308, 196)


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------------------
# pictures, compared in 5-6-5 precision: the X screen and the replay widen
# 16-bit pixels differently, but both keep the top bits

SHIFT_3 = bytes(v >> 3 for v in range(256))
SHIFT_2 = bytes(v >> 2 for v in range(256))


def to_565(data):
    out = bytearray(data.translate(SHIFT_3))
    out[1::3] = data[1::3].translate(SHIFT_2)
    return bytes(out)


def raw_rgb(path, fmt=""):
    return subprocess.run(["convert", fmt + path, "-depth", "8", "rgb:-"], check=True,
                          stdout=subprocess.PIPE).stdout


def mismatch(a, b, ignore=None):
    """Share of the screen's pixels that differ; a rectangle to ignore
    (left, top, right, bottom) counts as matching."""
    differ = 0
    for y in range(HEIGHT):
        row, end = y * WIDTH * 3, (y + 1) * WIDTH * 3
        if a[row:end] == b[row:end]:
            continue
        for i in range(row, end, 3):
            if a[i:i + 3] != b[i:i + 3]:
                x = (i - row) // 3
                if ignore and ignore[0] <= x < ignore[2] and ignore[1] <= y < ignore[3]:
                    continue
                differ += 1
    return differ / float(WIDTH * HEIGHT)


class Display:
    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT), "-nolisten", "tcp"],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.server.kill()
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number.decode().strip())

    def close(self):
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()

    def screen(self, keep=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env, check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if len(data) != WIDTH * HEIGHT * 3:
            raise Failure("the screenshot has %d bytes" % len(data))
        if keep:
            subprocess.run(["convert", "-size", "%dx%d" % (WIDTH, HEIGHT), "-depth", "8", "rgb:-", keep],
                           input=data, check=True)
        return to_565(data)

    def xdotool(self, *args):
        try:
            return subprocess.run(["xdotool"] + list(args), env=self.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=10).stdout.decode().split()
        except subprocess.TimeoutExpired:
            return []

    def tap(self, key):
        # The game polls key states once a frame: a tap must outlast a frame.
        self.xdotool("keydown", key)
        time.sleep(0.12)
        self.xdotool("keyup", key)
        time.sleep(0.08)


def wait_for(what, test, seconds, step=0.2):
    end = time.time() + seconds
    while True:
        value = test()
        if value:
            return value
        if time.time() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


def expect_screen(display, reference, what, seconds, keep, ignore=None, threshold=0.002):
    """Waits until the screen shows the replay's frame: the frames compared
    stand still, so nearly every pixel must match."""
    best = [1.0]

    def matches():
        share = mismatch(display.screen(keep), reference, ignore)
        best[0] = min(best[0], share)
        return share <= threshold

    try:
        wait_for(what, matches, seconds)
    except Failure:
        raise Failure("%s: the screen never matched the replay (best: %.1f%% of pixels differ)"
                      % (what, best[0] * 100))
    log("  %s matches the replay (%.2f%% of pixels differ)" % (what, best[0] * 100))


def keep_tapping(display, key, done, what, tries=4, seconds=2.5):
    """Taps until done() holds: a tap can go unseen when a slow frame takes
    both the key's press and its release at once."""
    for _ in range(tries):
        display.tap(key)
        try:
            return wait_for(what, done, seconds)
        except Failure:
            continue
    raise Failure("%s: no effect after %d taps of %s" % (what, tries, key))


# ---------------------------------------------------------------------------
# the questions: told apart by their pictures' opaque pixels, the answer by
# where the cursors stand

def load_questions(pack, names):
    pictures = {}
    left, top = QUESTION_AT
    width, height = QUESTION_SIZE
    for name in names:
        data = to_565(raw_rgb(os.path.join(pack, name), "bmp:"))
        full_width = len(data) // 3 // 280
        points = []
        for y in range(height):
            for x in range(0, width, 2):
                p = (y * full_width + x) * 3
                if data[p:p + 3] != b"\0\0\0":
                    points.append((((top + y) * WIDTH + left + x) * 3, data[p:p + 3]))
        pictures[name] = points
    return pictures


def question_shown(display, pictures, keep=None):
    shot = display.screen(keep)
    for name, points in pictures.items():
        allowed = len(points) // 50
        differ = 0
        for offset, pixel in points:
            if shot[offset:offset + 3] != pixel:
                differ += 1
                if differ > allowed:
                    break
        if points and differ <= allowed:
            return name
    return None


def cursor_row(display):
    """The answer row (0..2) the cursors stand at, or None while none shows:
    the cursors are added onto the background beside the answer bands, so
    their row is the brightest there even in their dimmest frame."""
    shot = display.screen()
    sums = []
    for row in range(3):
        total = 0
        for y in range(330 + 36 * row, 358 + 36 * row):
            base = y * WIDTH * 3
            total += sum(shot[base + 125 * 3:base + 157 * 3]) + sum(shot[base + 487 * 3:base + 519 * 3])
        sums.append(total)
    best = max(range(3), key=lambda r: sums[r])
    others = max(sums[r] for r in range(3) if r != best)
    return best if sums[best] > others * 1.25 else None


def answer_questions(display, pictures, answers, fixed_order):
    asked = []
    for number, downs in enumerate(answers):
        if fixed_order:
            candidates = {fixed_order[number]: pictures[fixed_order[number]]}
        else:
            candidates = {k: v for k, v in pictures.items() if k not in asked}
        what = "question %d" % (number + 1)
        name = wait_for(what, lambda: question_shown(display, candidates), 60)
        asked.append(name)
        wait_for(what + ": the cursors", lambda: cursor_row(display) == 0, 10)
        for row in range(1, downs + 1):
            keep_tapping(display, "Down", lambda: cursor_row(display) == row, what + ": cursor to row %d" % row)
        # Once the flash has run, this question is gone for good.
        this_one = {name: candidates[name]}
        keep_tapping(display, "space", lambda: question_shown(display, this_one) is None, what + ": confirmed",
                     seconds=4.0)
    return asked


def start_test(display, key, title, ignore):
    """From the waiting title: key starts a test, Space skips the
    introduction's messages and then the rest of it."""
    keep_tapping(display, key, lambda: mismatch(display.screen(), title, ignore) > 0.1, "the test starts")
    time.sleep(3.0)
    display.tap("space")
    time.sleep(0.5)
    display.tap("space")


def finish_analysis(display, analysis, what, keep, ignore, result):
    time.sleep(3.5)
    display.tap("space")  # past the band and the scale
    time.sleep(1.0)
    display.tap("space")  # every trait at once
    expect_screen(display, analysis, what, 90, keep, ignore)
    keep_tapping(display, "space", lambda: os.path.exists(result) or mismatch(display.screen(), analysis, ignore) > 0.02,
                 "the closing wipe")
    wait_for("the result file", lambda: os.path.exists(result), 30)
    time.sleep(0.5)
    with open(result, "rb") as f:
        return f.read()


def play(display, program, pack, work, references, replay_folder):
    folder = os.path.join(work, "遊ぶ play")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith((".bm", ".wav", ".mid")):
            shutil.copy(os.path.join(pack, name), folder)
    shutil.copy(program, folder)
    result = os.path.join(folder, RESULT_NAME)
    shift_order = ["q%03d.bm" % n for n in range(49, 61)]
    fixed = load_questions(pack, shift_order)
    pool = load_questions(pack, ["q%03d.bm" % n for n in range(1, 49)])
    audio = os.path.join(work, "audio.raw")

    env = dict(display.env, SHINDAN_WINDOWED="1", SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio)
    log_path = os.path.join(work, "game.log")
    with open(log_path, "wb") as game_log:
        game = subprocess.Popen([os.path.join(folder, os.path.basename(program))], cwd=folder, env=env,
                                stdout=game_log, stderr=subprocess.STDOUT)
    try:
        wait_for("the game window", lambda: game.poll() is None and
                 display.xdotool("search", "--onlyvisible", "--pid", str(game.pid)), 60)
        title = references["title"]
        expect_screen(display, title, "title waiting", 60, os.path.join(work, "sdl-title.png"))
        # Looked up only now: SDL may replace its first window by one that
        # suits the renderer.
        window = display.xdotool("search", "--onlyvisible", "--pid", str(game.pid))
        if window:
            display.xdotool("windowfocus", "--sync", window[-1])

        log("a Shift test: fixed questions, every screen compared")
        start_test(display, "shift", title, None)
        wait_for("question 1", lambda: question_shown(display, {"q049.bm": fixed["q049.bm"]},
                                                      os.path.join(work, "sdl-question.png")), 60)
        reference = to_565(raw_rgb(os.path.join(replay_folder, "question.png")))
        shot = to_565(raw_rgb(os.path.join(work, "sdl-question.png")))
        points = fixed["q049.bm"]
        differ = sum(1 for offset, _ in points if shot[offset:offset + 3] != reference[offset:offset + 3])
        if differ > len(points) // 50:
            raise Failure("question 1 differs from the replay's in %d of %d pixels" % (differ, len(points)))
        answer_questions(display, fixed, SHIFT_ANSWERS, shift_order)
        written = finish_analysis(display, references["analysis"], "analysis built",
                                  os.path.join(work, "sdl-analysis.png"), None, result)
        with open(os.path.join(replay_folder, RESULT_NAME), "rb") as f:
            expected = f.read()
        if written != expected:
            raise Failure("result file after the Shift test differs: %r, replay %r" % (written, expected))
        log("  result file after the Shift test equals the replay's (%d bytes)" % len(written))
        os.remove(result)

        log("a normal test: questions drawn from the pool")
        # From the second title on the Enter prompt shows as well.
        prompt = (130, 310, 510, 334)
        keep_tapping(display, "space", lambda: mismatch(display.screen(), title, prompt) <= 0.02,
                     "the waiting title at once")
        start_test(display, "space", title, prompt)
        asked = answer_questions(display, pool, NORMAL_ANSWERS, None)
        if len(set(asked)) != 12:
            raise Failure("a question came twice: %r" % asked)
        # Labels, gauges and figures differ from the Shift test's; band,
        # scale and help line do not.
        written = finish_analysis(display, references["analysis"], "analysis built (normal test)",
                                  os.path.join(work, "sdl-analysis-normal.png"), (0, 105, WIDTH, 400), result)
        entries = written.split(b"\r")
        labels = [e[:16] for e in expected.split(b"\r")[:8]]
        if b"\n" in written or len(entries) != 9 or entries[-1] != b"":
            raise Failure("the result file does not hold eight CR-ended entries: %r" % written)
        scores = []
        for entry, label in zip(entries, labels):
            number = entry[16:].decode("ascii")
            if entry[:16] != label or number != str(int(number)) or not -100 <= int(number) <= 100:
                raise Failure("bad entry %r" % entry)
            scores.append(int(number))
        if not any(scores):
            raise Failure("twelve answers left every score at 0")
        log("  result file after the normal test: scores %s" % scores)

        display.tap("Escape")
        try:
            code = game.wait(20)
        except subprocess.TimeoutExpired:
            raise Failure("Esc did not end the program")
        if code != 0:
            raise Failure("exit status %d after Esc" % code)
    except Failure:
        display.screen(os.path.join(work, "failure.png"))
        print("the screen at the failure: " + os.path.join(work, "failure.png"))
        with open(log_path, "rb") as f:
            sys.stdout.write(f.read().decode("utf-8", "replace"))
        raise
    finally:
        if game.poll() is None:
            game.kill()
            game.wait()

    # Effects and tunes were mixed: the device heard more than silence.
    with open(audio, "rb") as f:
        data = f.read()
    if len(data) < 100000 or data.count(0) > len(data) * 0.9:
        raise Failure("the sound device heard only silence (%d bytes)" % len(data))


def replay_references(tool, pack, folder):
    """The headless replay of the Shift test gives the frames and the result
    file the desktop program must show and write."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith((".bm", ".wav", ".mid")):
            os.symlink(os.path.join(pack, name), os.path.join(folder, name))
    script = ["until title 7 max 20000", "shot title.png", "tap shift", "until answering max 20000", "frames 3",
              "shot question.png"]
    for number, downs in enumerate(SHIFT_ANSWERS):
        if number > 0:
            # The confirming latch must see Space up before a new press.
            script += ["until answering max 20000", "frames 3"]
        script += ["tap down", "frames 2"] * downs + ["tap space"]
    script += ["until analysis 21 max 100000", "shot analysis.png", "tap space", "until title 0 max 20000"]
    with open(os.path.join(folder, "script.txt"), "w") as f:
        f.write("\n".join(script) + "\n")
    subprocess.run([tool, "replay", "script.txt"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return {"title": to_565(raw_rgb(os.path.join(folder, "title.png"))),
            "analysis": to_565(raw_rgb(os.path.join(folder, "analysis.png")))}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--game", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    missing = [p for p in ["Xvfb", "xdotool", "import", "convert"] if shutil.which(p) is None]
    if missing:
        print("SKIPPED: not installed: " + " ".join(missing))
        return SKIP
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    pack = os.path.abspath(args.game)
    replay_folder = os.path.join(work, "replay")
    display = None
    try:
        references = replay_references(os.path.abspath(args.tool), pack, replay_folder)
        display = Display()
        play(display, os.path.abspath(args.program), pack, work, references, replay_folder)
    except (Failure, subprocess.CalledProcessError) as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        if display:
            display.close()
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
