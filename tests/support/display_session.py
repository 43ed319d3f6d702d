"""What the tests that play a real build on a private X server share: the X
server and its window manager, screenshots, pictures compared in 5-6-5
precision, key taps and waiting loops, the headless replay that gives the
reference frames, and reading the game's own screens (which question is
shown, where the cursors stand, what the result file holds).

A script finds this module through its own place in the source tree, in
the build tree's runs and a fresh clone's alike, and writes no bytecode
beside it:

    sys.dont_write_bytecode = True
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
"""

import argparse
import os
import shutil
import subprocess
import time

SKIP = 77
RESULT_NAME = "分析結果.txt"
# The game's picture.
WIDTH, HEIGHT = 640, 480

# How many times Down is pressed before Space, question by question.
SHIFT_ANSWERS = [0, 1, 2, 1, 0, 2, 2, 1, 0, 0, 1, 2]
NORMAL_ANSWERS = [2, 0, 1, 1, 2, 0, 0, 2, 1, 2, 0, 1]
# The Shift test asks these in this order; a normal test draws from the rest.
SHIFT_QUESTIONS = ["q%03d.bm" % n for n in range(49, 61)]
POOL_QUESTIONS = ["q%03d.bm" % n for n in range(1, 49)]

# The question picture's place on screen: (left, top) and size.
QUESTION_AT = (166, 100)
QUESTION_SIZE = (308, 196)
# From the second title on the Enter prompt shows as well.
ENTER_PROMPT = (130, 310, 510, 334)
# The rows of labels, gauges and figures on the analysis, which differ from
# test to test; band, scale and help line do not.
ANALYSIS_ROWS = (0, 105, WIDTH, 400)

PACK_FILES = (".bm", ".wav", ".mid", "words.txt")


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


def arguments(*names):
    """The command line's options --NAME, every one of them required."""
    parser = argparse.ArgumentParser()
    for name in names:
        parser.add_argument("--" + name, required=True)
    return parser.parse_args()


def verdict(check):
    """Runs the test's body: FAILED and the reason, answering 1, when it
    raises Failure or a command it ran failed; else passed and 0."""
    try:
        check()
    except (Failure, subprocess.CalledProcessError) as e:
        print("FAILED: %s" % e)
        return 1
    log("passed")
    return 0


def tools_missing(names):
    """Says SKIPPED and answers True when any of the programs is not on PATH."""
    missing = [p for p in names if shutil.which(p) is None]
    if missing:
        print("SKIPPED: not installed: " + " ".join(missing))
    return bool(missing)


def wait_for(what, test, seconds, step=0.25):
    """Calls test() every step seconds until it answers something true, and
    answers that; raises Failure after the given seconds."""
    end = time.time() + seconds
    while True:
        value = test()
        if value:
            return value
        if time.time() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


def stop(process):
    """Kills a process that is still running and reaps it."""
    if process.poll() is None:
        process.kill()
        process.wait()


def exit_code_after_escape(process, seconds=20):
    """The program's exit status once Esc has been sent; Failure when it
    runs on."""
    try:
        return process.wait(seconds)
    except subprocess.TimeoutExpired:
        raise Failure("Esc did not end the program")


# ---------------------------------------------------------------------------
# pictures, compared in 5-6-5 precision: the X screen and the replay widen
# 16-bit pixels differently, but both keep the top bits

SHIFT_3 = bytes(v >> 3 for v in range(256))
SHIFT_2 = bytes(v >> 2 for v in range(256))


def to_565(data):
    """Raw 8-bit RGB with each channel cut to its 5-6-5 bits."""
    out = bytearray(data.translate(SHIFT_3))
    out[1::3] = data[1::3].translate(SHIFT_2)
    return bytes(out)


def raw_rgb(path, fmt=""):
    """A picture file's pixels as raw 8-bit RGB, through ImageMagick; fmt
    names the format where the file's name does not ("bmp:")."""
    return subprocess.run(["convert", fmt + path, "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE).stdout


def differing_share(a, b, width=WIDTH, ignore=None):
    """Share of the pixels that differ between two pictures of the given
    width; a rectangle to ignore (left, top, right, bottom) counts as
    matching."""
    differ = 0
    for row in range(0, len(a), width * 3):
        end = row + width * 3
        if a[row:end] == b[row:end]:
            continue
        y = row // (width * 3)
        for i in range(row, end, 3):
            if a[i:i + 3] != b[i:i + 3]:
                x = (i - row) // 3
                if ignore and ignore[0] <= x < ignore[2] and ignore[1] <= y < ignore[3]:
                    continue
                differ += 1
    return differ / float(len(a) // 3)


# ---------------------------------------------------------------------------
# the X server

class XSession:
    """An X server of its own on a free display, with a window manager when
    one is named, and what a test does there: screenshots, key taps, waits.

    base_env is the environment the session's programs get, with DISPLAY
    added (env); os.environ when not given. The pacing differs with what a
    program polls: tap_hold and tap_gap are how long a key stays down and
    the pause after it, poll_step how often a wait looks again, and
    xdotool_timeout how long a call of xdotool may take (None: no limit)."""

    def __init__(self, width=WIDTH, height=HEIGHT, depth=24, manager=None, base_env=None, tap_hold=0.15,
                 tap_gap=0.1, poll_step=0.25, xdotool_timeout=None):
        self.width, self.height = width, height
        self.tap_hold, self.tap_gap, self.poll_step = tap_hold, tap_gap, poll_step
        self.xdotool_timeout = xdotool_timeout
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx%d" % (width, height, depth), "-nolisten",
             "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            self.server.kill()
            raise Failure("Xvfb did not start")
        self.name = ":" + number.decode()
        self.env = dict(os.environ if base_env is None else base_env, DISPLAY=self.name)
        self.manager = None
        if manager:
            self.manager = subprocess.Popen([manager], env=self.env, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            # A window manager announces itself on the root window; slow on
            # a busy machine. A session that never starts leaves no server
            # behind, which would hold the test's output open.
            try:
                wait_for(manager, lambda: b"window id" in subprocess.run(
                    ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, stdout=subprocess.PIPE,
                    stderr=subprocess.DEVNULL).stdout, 60)
            except Failure:
                self.close()
                raise

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def close(self):
        for p in (self.manager, self.server):
            if p:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()

    def screen(self, keep=None):
        """The whole screen in 5-6-5 precision, kept as a picture file too
        when keep names one."""
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env, check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if len(data) != self.width * self.height * 3:
            raise Failure("the screenshot has %d bytes" % len(data))
        if keep:
            subprocess.run(["convert", "-size", "%dx%d" % (self.width, self.height), "-depth", "8", "rgb:-", keep],
                           input=data, check=True)
        return to_565(data)

    def grab(self, keep=None):
        """(width, height, pixels in 5-6-5 precision) of the whole screen at
        whatever size it has; (0, 0, b"") when the screenshot fails."""
        shot = subprocess.run(["import", "-window", "root", "png:-"], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=30).stdout
        if not shot:
            return 0, 0, b""
        if keep:
            with open(keep, "wb") as f:
                f.write(shot)
        size = subprocess.run(["identify", "-format", "%w %h", "png:-"], input=shot, stdout=subprocess.PIPE,
                              check=True).stdout.split()
        data = subprocess.run(["convert", "png:-", "-depth", "8", "rgb:-"], input=shot, stdout=subprocess.PIPE,
                              check=True).stdout
        return int(size[0]), int(size[1]), to_565(data)

    def save_failure(self, work, game_log=None):
        """Keeps the screen as work/failure.png and prints where, and the
        game's output when its log file is named."""
        path = os.path.join(work, "failure.png")
        self.screen(path)
        print("the screen at the failure: " + path)
        if game_log:
            with open(game_log, "rb") as f:
                log("the game's output:\n" + f.read().decode("utf-8", "replace"))

    def xdotool_text(self, *args):
        """What xdotool prints, stripped; nothing when it overran its time."""
        try:
            return subprocess.run(["xdotool"] + list(args), env=self.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=self.xdotool_timeout).stdout.decode().strip()
        except subprocess.TimeoutExpired:
            return ""

    def xdotool(self, *args):
        """What xdotool prints, as words (window ids, for one)."""
        return self.xdotool_text(*args).split()

    def tap(self, key):
        # The game polls key states once a frame: a tap shorter than a frame
        # would go unseen.
        self.xdotool("keydown", key)
        time.sleep(self.tap_hold)
        self.xdotool("keyup", key)
        time.sleep(self.tap_gap)

    def wait_for(self, what, test, seconds):
        return wait_for(what, test, seconds, self.poll_step)

    def keep_tapping(self, key, done, what, tries=4, seconds=2.5):
        """Taps until done() holds: a tap can go unseen when a slow frame
        takes both the key's press and its release off the queue at once."""
        for _ in range(tries):
            self.tap(key)
            try:
                return self.wait_for(what, done, seconds)
            except Failure:
                continue
        raise Failure("%s: no effect after %d taps of %s" % (what, tries, key))

    def expect(self, what, measure, seconds, threshold=0.002):
        """Waits until measure(), a share of differing pixels, is at most the
        threshold. The screens compared stand still, and the game and the
        replay convert the pictures alike, so nearly every pixel must match:
        a looser bound would also accept the last frames of a fade before
        them."""
        best = [1.0]

        def matches():
            share = measure()
            best[0] = min(best[0], share)
            return share <= threshold

        try:
            self.wait_for(what, matches, seconds)
        except Failure:
            raise Failure("%s: the screen never matched the replay (best: %.1f%% of pixels differ)"
                          % (what, best[0] * 100))
        log("  %s matches the replay (%.2f%% of pixels differ)" % (what, best[0] * 100))

    def mismatch(self, reference, ignore=None, keep=None):
        """Share of the screen's pixels that differ from the reference."""
        return differing_share(self.screen(keep), reference, self.width, ignore)

    def expect_screen(self, reference, what, seconds, keep=None, ignore=None, threshold=0.002):
        """Waits until the whole screen shows the replay's frame."""
        self.expect(what, lambda: self.mismatch(reference, ignore, keep), seconds, threshold)


# ---------------------------------------------------------------------------
# the headless replay

def fill_folder(pack, folder, link=False, leave_out=()):
    """A fresh folder with the pack's pictures, sounds, tunes and words,
    copied or linked, but for those left out."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in os.listdir(pack):
        if name.endswith(PACK_FILES) and name not in leave_out:
            if link:
                os.symlink(os.path.join(pack, name), os.path.join(folder, name))
            else:
                shutil.copy(os.path.join(pack, name), folder)


def replay(tool, pack, lines, folder):
    """Runs shindan-tool's replay of the script lines in a fresh folder of
    its own beside links to the pack; answers the folder, where its shots and
    result file are."""
    fill_folder(pack, folder, link=True)
    with open(os.path.join(folder, "script.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    subprocess.run([tool, "replay", "script.txt"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder


def shift_test_script(shot_question):
    """The replay of a Shift test answered with SHIFT_ANSWERS: the waiting
    title, the first question when asked for, the finished analysis, the
    result file, and back to the title."""
    lines = ["until title 7 max 20000", "shot title.png", "tap shift"]
    for number, downs in enumerate(SHIFT_ANSWERS):
        # A few frames of answering with Space up: the scene's latch last saw
        # the previous confirmation's press and must see the release first.
        lines += ["until answering max 20000", "frames 3"]
        if number == 0 and shot_question:
            lines.append("shot question.png")
        # A key counts again only after two polls with it up.
        lines += ["tap down", "frames 2"] * downs
        lines.append("tap space")
    return lines + ["until analysis 21 max 100000", "shot analysis.png", "tap space", "until title 0 max 20000"]


def replay_shift_test(tool, pack, folder, shot_question=False):
    """The headless replay of the Shift test gives the frames and the result
    file the program must show and write: the title and the analysis in
    5-6-5 precision."""
    replay(tool, pack, shift_test_script(shot_question), folder)
    return {name: to_565(raw_rgb(os.path.join(folder, name + ".png"))) for name in ["title", "analysis"]}


# ---------------------------------------------------------------------------
# the game's screens: questions told apart by their pictures' opaque pixels,
# the answer by where the cursors stand

def load_questions(pack, names):
    """Each question's text pixels that are not black (and so not
    see-through), as (offset on screen, pixel in 5-6-5 precision), every
    second column."""
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


def question_shown(session, pictures, keep=None):
    """Which of the candidate question pictures is on screen, or None."""
    shot = session.screen(keep)
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


def check_question_against_replay(shot_path, replay_path, points):
    """The first question as played and as the replay shows it, compared
    where the picture is opaque (the animated background shows through the
    rest)."""
    shot = to_565(raw_rgb(shot_path))
    reference = to_565(raw_rgb(replay_path))
    differ = sum(1 for offset, _ in points if shot[offset:offset + 3] != reference[offset:offset + 3])
    if differ > len(points) // 50:
        raise Failure("question 1 differs from the replay's in %d of %d pixels" % (differ, len(points)))
    log("  question 1 matches the replay (%d of %d pixels differ)" % (differ, len(points)))


def cursor_row(session):
    """The answer row (0..2) the cursors stand at, or None while none shows.
    The cursors are added onto the background left and right of the answer
    bands, where nothing else is drawn, so their row is clearly the brightest
    even in their dimmest animation frame."""
    shot = session.screen()
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


def start_test(session, key, title, ignore=None):
    """From the waiting title: key starts a test, Space shows the
    introduction's three messages at once and then goes straight to the
    noise."""
    session.keep_tapping(key, lambda: session.mismatch(title, ignore) > 0.1, "the test starts")
    time.sleep(3.0)
    session.tap("space")
    time.sleep(0.5)
    session.tap("space")


def answer_questions(session, pictures, answers, fixed_order=None):
    """Answers each question with its count of Down taps and Space, waiting
    for each to show; answers the names of the questions asked."""
    asked = []
    for number, downs in enumerate(answers):
        if fixed_order:
            candidates = {fixed_order[number]: pictures[fixed_order[number]]}
        else:
            candidates = {k: v for k, v in pictures.items() if k not in asked}
        what = "question %d" % (number + 1)
        name = session.wait_for(what, lambda: question_shown(session, candidates), 60)
        asked.append(name)
        session.wait_for(what + ": the cursors", lambda: cursor_row(session) == 0, 10)
        for row in range(1, downs + 1):
            session.keep_tapping("Down", lambda: cursor_row(session) == row, what + ": cursor to row %d" % row)
        # Once the flash has run, this question is gone for good (the cursors
        # go away as well, but only for a moment, too short to poll for).
        this_one = {name: candidates[name]}
        session.keep_tapping("space", lambda: question_shown(session, this_one) is None, what + ": confirmed",
                             seconds=4.0)
    return asked


def finish_analysis(session, analysis, what, keep, result, ignore=None, on_built=None):
    """After the last answer: Space past the band and the scale, Space for
    every trait at once, the built analysis compared with the replay's (and
    on_built called while it shows); the result file, written as the
    analysis started, must be there already; then Space for the closing
    wipe, seen on the screen. Answers the result
    file's bytes."""
    time.sleep(3.5)
    session.tap("space")
    time.sleep(1.0)
    session.tap("space")
    session.expect_screen(analysis, what, 90, keep, ignore)
    if on_built:
        on_built()
    if not os.path.exists(result):
        raise Failure("no result file while the analysis is shown")
    with open(result, "rb") as f:
        written = f.read()
    session.keep_tapping("space", lambda: session.mismatch(analysis, ignore) > 0.02, "the closing wipe")
    return written


def check_same_as_replay(written, replay_folder, what):
    """The result file as the program wrote it must hold the replay's bytes;
    answers those."""
    with open(os.path.join(replay_folder, RESULT_NAME), "rb") as f:
        replayed = f.read()
    if written != replayed:
        raise Failure("%s differs from the replay's: %r, replay %r" % (what, written, replayed))
    log("  %s equals the replay's (%d bytes)" % (what, len(written)))
    return replayed


def check_scores(written, replayed):
    """A normal test's result file: eight CR-ended entries with the replay's
    labels and whole scores from -100 to 100, not all of them 0 after twelve
    answers. Answers the scores."""
    if b"\n" in written:
        raise Failure("the result file holds a line feed")
    entries = written.split(b"\r")
    if len(entries) != 9 or entries[-1] != b"":
        raise Failure("the result file does not hold eight CR-ended entries: %r" % written)
    labels = [e[:16] for e in replayed.split(b"\r")[:8]]
    scores = []
    for entry, label in zip(entries, labels):
        if entry[:16] != label:
            raise Failure("label %r differs from the replay's %r" % (entry[:16], label))
        number = entry[16:].decode("ascii")
        if number != str(int(number)) or not -100 <= int(number) <= 100:
            raise Failure("bad score %r" % number)
        scores.append(int(number))
    log("  result file after the normal test: scores %s" % scores)
    if not any(scores):
        raise Failure("twelve answers left every score at 0")
    return scores
