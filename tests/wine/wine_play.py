#!/usr/bin/env python3
"""Plays the Windows build under Wine on a virtual X screen and checks it
against the headless replay of the same key presses.

  wine_play.py --source DIR --work DIR --game DIR --tool PATH

--game is the native build's folder with the generated pictures, sounds and
tunes; --tool the shindan-tool beside them. The Windows program is
cross-compiled into --work first. Exits 77 (skipped) when Wine, MinGW-w64,
Xvfb, xdotool or ImageMagick are missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
RESULT_NAME = "分析結果.txt"
# ファイルオープンに失敗しました, as Wine's message box trace prints it.
OPEN_FAILED_TRACE = (r'L"\30d5\30a1\30a4\30eb\30aa\30fc\30d7\30f3\306b\5931\6557'
                     r'\3057\307e\3057\305f"')
WIDTH, HEIGHT = 640, 480

# Answers of the Shift test: how many times Down is pressed before Space.
SHIFT_ANSWERS = [0, 1, 2, 1, 0, 2, 2, 1, 0, 0, 1, 2]
NORMAL_ANSWERS = [2, 0, 1, 1, 2, 0, 0, 2, 1, 2, 0, 1]

# The question picture's place on screen: (left, top) and size.
QUESTION_AT = (166, 100)
QUESTION_SIZE = (308, 196)


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, **kwargs)


# ---------------------------------------------------------------------------
# pictures: raw 8-bit RGB through ImageMagick, compared in 5-6-5 precision
# (the X screen and the replay widen 16-bit pixels differently, but both keep
# the top bits)

def raw_rgb(path, fmt=""):
    data = subprocess.run(["convert", fmt + path, "-depth", "8", "rgb:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    return data


SHIFT_3 = bytes(v >> 3 for v in range(256))
SHIFT_2 = bytes(v >> 2 for v in range(256))


def to_565(data):
    out = bytearray(data.translate(SHIFT_3))
    out[1::3] = data[1::3].translate(SHIFT_2)
    return bytes(out)


def region_mismatch(a, b, left, top, right, bottom, width=WIDTH):
    """Share of pixels inside the rectangle that differ between two screens."""
    differ = 0
    for y in range(top, bottom):
        row = (y * width + left) * 3
        end = (y * width + right) * 3
        if a[row:end] != b[row:end]:
            for i in range(row, end, 3):
                if a[i:i + 3] != b[i:i + 3]:
                    differ += 1
    return differ / float((right - left) * (bottom - top))


class Display:
    def __init__(self):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx16" % (WIDTH, HEIGHT),
             "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
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
        self.name = ":" + number.decode().strip()

    def close(self):
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()

    def env(self, base):
        env = dict(base)
        env["DISPLAY"] = self.name
        return env

    def screen(self, env, keep=None):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=env, check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if len(data) != WIDTH * HEIGHT * 3:
            raise Failure("the screenshot has %d bytes" % len(data))
        if keep:
            subprocess.run(["convert", "-size", "%dx%d" % (WIDTH, HEIGHT), "-depth", "8", "rgb:-", keep],
                           input=data, check=True)
        return to_565(data)


def xdotool(env, *args):
    return subprocess.run(["xdotool"] + list(args), env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout.decode().split()


def tap(env, key):
    # A tap shorter than a frame would go unseen: the game polls key states.
    xdotool(env, "keydown", key)
    time.sleep(0.15)
    xdotool(env, "keyup", key)
    time.sleep(0.1)


def wait_for(what, test, seconds, step=0.25):
    end = time.time() + seconds
    while True:
        value = test()
        if value:
            return value
        if time.time() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


# ---------------------------------------------------------------------------
# the program under Wine

class Game:
    def __init__(self, env, folder, trace):
        self.env = env
        self.trace_path = trace
        self.trace = open(trace, "wb")
        self.process = subprocess.Popen(["wine", "shindan.exe"], cwd=folder, env=env,
                                        stdout=subprocess.DEVNULL, stderr=self.trace)

    def boxes(self):
        self.trace.flush()
        with open(self.trace_path, "rb") as f:
            return [line for line in f.read().decode("latin-1").splitlines() if "MSGBOX_OnInit" in line]

    def window(self):
        return xdotool(self.env, "search", "--name", "^DEFAULT$")

    def wait_exit(self, seconds):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.trace.close()


def prepare_prefix(env):
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        log("wine: creating the prefix")
        run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run(["wineserver", "-w"], env=env)  # the registry files are written at its end
    # Wine draws DirectDraw through OpenGL unless told otherwise; on a virtual
    # screen with software OpenGL that runs the game at a few frames a second
    # where surfaces are locked, and taps fall between frames. Its plain
    # software renderer runs it at hundreds.
    with open(os.path.join(env["WINEPREFIX"], "user.reg"), encoding="latin-1") as f:
        configured = '"renderer"="gdi"' in f.read()
    if not configured:
        run(["wine", "reg", "add", r"HKCU\Software\Wine\Direct3D", "/v", "renderer", "/t", "REG_SZ", "/d", "gdi",
             "/f"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run(["wineserver", "-w"], env=env)


def build_windows_program(source, work, game):
    build = os.path.join(work, "windows")
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        run(["cmake", "-S", source, "-B", build, "-G", "Ninja",
             "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", "mingw-w64-x86_64.cmake"),
             "-DCMAKE_BUILD_TYPE=Release", "-DSHINDAN_ASSET_DIR=" + game], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", build], stdout=subprocess.DEVNULL)
    return os.path.join(build, "game")


def replay(tool, pack, script_text, folder):
    """Runs the headless replay in its own copy of the pack; answers the folder."""
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith((".bm", ".wav", ".mid")):
            os.symlink(os.path.join(pack, name), os.path.join(folder, name))
    script = os.path.join(folder, "script.txt")
    with open(script, "w") as f:
        f.write(script_text)
    subprocess.run([tool, "replay", script], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def answer_script(answers):
    lines = []
    for downs in answers:
        # A few frames of answering with Space up: the scene's latch last saw
        # the previous confirmation's press and must see the release first.
        lines += ["until answering max 20000", "frames 3"]
        # A key counts again only after two polls with it up.
        lines += ["tap down", "frames 2"] * downs
        lines.append("tap space")
    return lines


# ---------------------------------------------------------------------------
# the scenarios

def screen_mismatch(display, env, reference, keep=None, ignore=None):
    """Share of the screen's pixels that differ from the reference; a
    rectangle to ignore (left, top, right, bottom) counts as matching."""
    shot = display.screen(env, keep)
    if ignore:
        left, top, right, bottom = ignore
        patched = bytearray(reference)
        for y in range(top, bottom):
            a, b = (y * WIDTH + left) * 3, (y * WIDTH + right) * 3
            patched[a:b] = shot[a:b]
        reference = bytes(patched)
    return region_mismatch(shot, reference, 0, 0, WIDTH, HEIGHT)


def expect_screen(display, env, reference, what, seconds, keep, threshold=0.002, ignore=None):
    """Waits until the screen matches the replay's frame. The screens the
    replay is compared at stand still, and GDI and the replay convert the
    pictures alike, so nearly every pixel must match: a looser bound would
    also accept the last frames of a fade before them."""
    best = [1.0]

    def matches():
        share = screen_mismatch(display, env, reference, keep, ignore)
        best[0] = min(best[0], share)
        return share <= threshold

    try:
        wait_for(what, matches, seconds)
    except Failure:
        raise Failure("%s: the screen never matched the replay (best: %.1f%% of pixels differ)"
                      % (what, best[0] * 100))
    log("  %s matches the replay (%d of %d pixels differ)" % (what, round(best[0] * WIDTH * HEIGHT), WIDTH * HEIGHT))


def question_shown(display, env, pictures, keep=None):
    """Which of the candidate question pictures is on screen, or None."""
    shot = display.screen(env, keep)
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


def load_questions(pack, names):
    """Each question's text pixels that are not black (and so not see-through),
    as (offset on screen, pixel in 5-6-5 precision), every second column."""
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
                pixel = data[p:p + 3]
                if pixel != b"\0\0\0":
                    points.append((((top + y) * WIDTH + left + x) * 3, pixel))
        pictures[name] = points
    return pictures


def cursor_row(display, env):
    """The answer row (0..2) the cursors stand at, or None while none shows.
    The cursors are added onto the background left and right of the answer
    bands, where nothing else is drawn, so their row is clearly the brightest
    even in their dimmest animation frame."""
    shot = display.screen(env)
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


def keep_tapping(env, key, done, what, tries=4, seconds=2.5):
    """Taps until done() holds: a tap can go unseen when a slow frame takes
    both the key's press and its release off the queue at once."""
    for _ in range(tries):
        tap(env, key)
        try:
            return wait_for(what, done, seconds)
        except Failure:
            continue
    raise Failure("%s: no effect after %d taps of %s" % (what, tries, key))


def answer_questions(display, env, pictures, answers, fixed_order):
    asked = []
    for number, downs in enumerate(answers):
        if fixed_order:
            candidates = {k: v for k, v in pictures.items() if k == fixed_order[number]}
        else:
            candidates = {k: v for k, v in pictures.items() if k not in asked}
        what = "question %d" % (number + 1)
        name = wait_for(what, lambda: question_shown(display, env, candidates), 60)
        asked.append(name)
        wait_for(what + ": the cursors", lambda: cursor_row(display, env) == 0, 10)
        for row in range(1, downs + 1):
            keep_tapping(env, "Down", lambda: cursor_row(display, env) == row, what + ": cursor to row %d" % row)
        # Once the flash has run, this question is gone for good (the cursors
        # go away as well, but only for a moment, too short to poll for).
        this_one = {name: candidates[name]}
        keep_tapping(env, "space", lambda: question_shown(display, env, this_one) is None, what + ": confirmed",
                     seconds=4.0)
    return asked


def check_result_file(path, labels_from):
    with open(path, "rb") as f:
        data = f.read()
    if b"\n" in data:
        raise Failure("the result file holds a line feed")
    entries = data.split(b"\r")
    if len(entries) != 9 or entries[-1] != b"":
        raise Failure("the result file does not hold eight CR-ended entries: %r" % data)
    with open(labels_from, "rb") as f:
        labels = [e[:16] for e in f.read().split(b"\r")[:8]]
    scores = []
    for entry, label in zip(entries, labels):
        if entry[:16] != label:
            raise Failure("label %r differs from the replay's %r" % (entry[:16], label))
        number = entry[16:].decode("ascii")
        if number != str(int(number)) or not -100 <= int(number) <= 100:
            raise Failure("bad score %r" % number)
        scores.append(int(number))
    return scores


def scenario_missing_sound(display, env, exe, pack, work, references):
    log("missing sound file: one message box, then the game runs on; Esc ends it with 1")
    folder = os.path.join(work, "missing sound")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith((".bm", ".wav", ".mid")) and name != "c_move.wav":
            shutil.copy(os.path.join(pack, name), folder)
    shutil.copy(exe, folder)
    game = Game(env, folder, os.path.join(work, "missing-sound-trace.txt"))
    try:
        wait_for("the message box", lambda: xdotool(env, "search", "--name", "^Error$"), 60)
        boxes = game.boxes()
        if len(boxes) != 1 or OPEN_FAILED_TRACE not in boxes[0]:
            raise Failure("expected one 'file open failed' box, saw: %r" % boxes)
        if not game.window():
            raise Failure("the game window is missing")
        tap(env, "Return")
        expect_screen(display, env, references["title"], "title waiting", 40,
                      os.path.join(work, "missing-sound-title.png"))
        if len(game.boxes()) != 1:
            raise Failure("more message boxes than the one: %r" % game.boxes())
        tap(env, "Escape")
        code = game.wait_exit(20)
        if code != 1:
            raise Failure("Esc: exit code %r, expected 1" % code)
        if os.path.exists(os.path.join(folder, RESULT_NAME)):
            raise Failure("a result file was written without an analysis")
    except Failure:
        display.screen(env, os.path.join(work, "failure.png"))
        print("the screen at the failure: " + os.path.join(work, "failure.png"))
        raise
    finally:
        game.kill()


def scenario_play(display, env, exe, pack, work, references, replay_folder):
    log("a Shift test and a normal test, played with key presses")
    # A folder name with spaces and Japanese in it: the program's own path
    # and the result file's name must survive a non-Japanese code page.
    folder = os.path.join(work, "遊ぶ play")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith((".bm", ".wav", ".mid")):
            shutil.copy(os.path.join(pack, name), folder)
    shutil.copy(exe, folder)
    result = os.path.join(folder, RESULT_NAME)
    shift_order = ["q%03d.bm" % n for n in range(49, 61)]
    fixed = load_questions(pack, shift_order)
    pool = load_questions(pack, ["q%03d.bm" % n for n in range(1, 49)])

    game = Game(env, folder, os.path.join(work, "play-trace.txt"))
    try:
        wait_for("the game window", game.window, 60)
        expect_screen(display, env, references["title"], "title waiting", 40, os.path.join(work, "wine-title.png"))
        if game.boxes():
            raise Failure("unexpected message boxes: %r" % game.boxes())

        # Shift test: fixed questions, so every screen can be compared.
        keep_tapping(env, "shift", lambda: screen_mismatch(display, env, references["title"]) > 0.1,
                     "the Shift test starts")
        time.sleep(3.0)
        tap(env, "space")  # all three messages at once
        time.sleep(0.5)
        tap(env, "space")  # straight to the noise
        name = wait_for("question 1", lambda: question_shown(display, env, {"q049.bm": fixed["q049.bm"]},
                                                             os.path.join(work, "wine-question.png")), 60)
        # The replay's frame of the same question, where the picture is opaque
        # (the animated background shows through the rest).
        question_reference = to_565(raw_rgb(os.path.join(replay_folder, "question.png")))
        shot = to_565(raw_rgb(os.path.join(work, "wine-question.png")))
        points = fixed["q049.bm"]
        differ = sum(1 for offset, _ in points if shot[offset:offset + 3] != question_reference[offset:offset + 3])
        if differ > len(points) // 50:
            raise Failure("question 1 differs from the replay's in %d of %d pixels" % (differ, len(points)))
        log("  question 1 (%s) matches the replay (%d of %d pixels differ)" % (name, differ, len(points)))
        answer_questions(display, env, fixed, SHIFT_ANSWERS, shift_order)
        time.sleep(3.5)
        tap(env, "space")  # past the band and scale
        time.sleep(1.0)
        tap(env, "space")  # every trait at once
        expect_screen(display, env, references["analysis"], "analysis built", 90,
                      os.path.join(work, "wine-analysis.png"))
        keep_tapping(env, "space", lambda: screen_mismatch(display, env, references["analysis"]) > 0.02,
                     "the closing wipe")
        wait_for("the result file", lambda: os.path.exists(result), 30)
        time.sleep(0.5)
        with open(result, "rb") as f:
            written = f.read()
        with open(os.path.join(replay_folder, RESULT_NAME), "rb") as f:
            expected = f.read()
        if written != expected:
            raise Failure("result file after the Shift test differs: %r, replay %r" % (written, expected))
        log("  result file after the Shift test equals the replay's (%d bytes)" % len(written))
        os.remove(result)

        # Normal test: questions drawn at random from the pool.
        # From the second title on the Enter prompt shows as well.
        enter_prompt = (130, 310, 510, 334)
        keep_tapping(env, "space", lambda: screen_mismatch(display, env, references["title"], None, enter_prompt)
                     <= 0.02, "the waiting title at once")
        keep_tapping(env, "space", lambda: screen_mismatch(display, env, references["title"], None, enter_prompt)
                     > 0.1, "the normal test starts")
        time.sleep(3.0)
        tap(env, "space")
        time.sleep(0.5)
        tap(env, "space")
        asked = answer_questions(display, env, pool, NORMAL_ANSWERS, None)
        if len(set(asked)) != 12:
            raise Failure("a question came twice: %r" % asked)
        log("  asked: " + " ".join(asked))
        time.sleep(3.5)
        tap(env, "space")
        time.sleep(1.0)
        tap(env, "space")
        # Labels, gauges and figures differ from the Shift test's; band, scale
        # and help line not.
        rows = (0, 105, WIDTH, 400)
        expect_screen(display, env, references["analysis"], "analysis built (normal test)", 90,
                      os.path.join(work, "wine-analysis-normal.png"), ignore=rows)
        keep_tapping(env, "space", lambda: os.path.exists(result) or
                     screen_mismatch(display, env, references["analysis"], None, rows) > 0.02, "the closing wipe")
        wait_for("the result file", lambda: os.path.exists(result), 30)
        time.sleep(0.5)
        scores = check_result_file(result, os.path.join(replay_folder, RESULT_NAME))
        log("  result file after the normal test: scores %s" % scores)
        if not any(scores):
            raise Failure("twelve answers left every score at 0")
        if game.boxes():
            raise Failure("unexpected message boxes: %r" % game.boxes())

        tap(env, "Escape")
        code = game.wait_exit(20)
        if code != 1:
            raise Failure("Esc: exit code %r, expected 1" % code)
    except Failure:
        display.screen(env, os.path.join(work, "failure.png"))
        print("the screen at the failure: " + os.path.join(work, "failure.png"))
        raise
    finally:
        game.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--game", required=True)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()

    needed = ["wine", "wineserver", "wineboot", "x86_64-w64-mingw32-g++", "Xvfb", "xdotool", "import", "convert"]
    missing = [p for p in needed if shutil.which(p) is None]
    if missing:
        print("SKIPPED: not installed: " + " ".join(missing))
        return SKIP

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    pack = os.path.abspath(args.game)
    if not os.path.exists(os.path.join(pack, "q060.bm")):
        print("the asset pack is missing from " + pack)
        return 1

    log("cross-compiling shindan.exe")
    exe = os.path.join(build_windows_program(os.path.abspath(args.source), work, pack), "shindan.exe")

    # The headless replay of the same Shift test gives the reference frames.
    references_folder = os.path.join(work, "replay")
    shutil.rmtree(references_folder, ignore_errors=True)
    script = ["until title 7 max 20000", "shot title.png", "tap shift"] + answer_script(SHIFT_ANSWERS)
    script[3:5] = ["until answering max 20000", "frames 3", "shot question.png"]
    script += ["until analysis 21 max 100000", "shot analysis.png", "tap space", "until title 0 max 20000"]
    replay(args.tool, pack, "\n".join(script) + "\n", references_folder)
    references = {
        "title": to_565(raw_rgb(os.path.join(references_folder, "title.png"))),
        "analysis": to_565(raw_rgb(os.path.join(references_folder, "analysis.png"))),
    }

    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    # Sound goes to ALSA's null device: DirectSound opens and plays silently.
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": os.path.join(work, "prefix"),
        "WINEDEBUG": "-all,trace+msgbox",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "HOME": home,
        # A non-Japanese code page: the program must convert its texts itself.
        "LANG": "C.UTF-8",
        "LC_ALL": "C.UTF-8",
    })
    display = Display()
    env = display.env(env)
    try:
        prepare_prefix(env)
        scenario_missing_sound(display, env, exe, pack, work, references)
        scenario_play(display, env, exe, pack, work, references, references_folder)
    except (Failure, subprocess.CalledProcessError) as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        display.close()
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
