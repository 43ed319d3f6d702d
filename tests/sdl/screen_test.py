#!/usr/bin/env python3
"""Full screen on a 1280x1024 X server, without a window manager and with
openbox: the desktop program must show the whole waiting title where the
fitted picture belongs (twice the size, centred, black bars above and below),
in a 640x480 window after F11 and full screen again after a second F11; the
window carries the game's name, or the one title.txt gives, and icon.bmp as
its icon.

  screen_test.py --program SHINDAN --tool SHINDAN_TOOL --game GAME_DIR --work DIR

Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or openbox are missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

SKIP = 77
WIDTH, HEIGHT = 640, 480
SCREEN_W, SCREEN_H = 1280, 1024
# The picture doubled fills the width; the bars share the height that is left.
FITTED = (0, (SCREEN_H - 2 * HEIGHT) // 2, 2 * WIDTH, 2 * HEIGHT)
JAPANESE_TITLE = "深層心理診断"
ENGLISH_TITLE = "Deep Psyche Diagnosis"


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


SHIFT_3 = bytes(v >> 3 for v in range(256))
SHIFT_2 = bytes(v >> 2 for v in range(256))


def to_565(data):
    out = bytearray(data.translate(SHIFT_3))
    out[1::3] = data[1::3].translate(SHIFT_2)
    return bytes(out)


def mismatch(a, b):
    differ = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
    return differ / float(len(a) // 3)


def wait_for(what, test, seconds, step=0.25):
    end = time.time() + seconds
    while True:
        value = test()
        if value:
            return value
        if time.time() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(step)


class Session:
    """An X server of its own, with a window manager when one is named."""

    def __init__(self, manager):
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten",
             "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            self.server.kill()
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number.decode())
        self.manager = None
        if manager:
            self.manager = subprocess.Popen([manager], env=self.env, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            # A window manager announces itself on the root window.
            wait_for(manager, lambda: b"window id" in subprocess.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL).stdout, 20)

    def close(self):
        for p in (self.manager, self.server):
            if p:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()

    def xdotool(self, *args):
        try:
            return subprocess.run(["xdotool"] + list(args), env=self.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=10).stdout.decode().strip()
        except subprocess.TimeoutExpired:
            return ""

    def grab(self, keep=None):
        """(width, height, pixels in 5-6-5 precision) of the whole screen."""
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


def crop(width, pixels, left, top, w, h, step=1):
    """The w x h rectangle at (left, top), every step-th pixel of it."""
    out = bytearray()
    for y in range(top, top + h, step):
        row = pixels[(y * width + left) * 3:(y * width + left + w) * 3]
        out += b"".join(row[x * 3:x * 3 + 3] for x in range(0, w, step)) if step > 1 else row
    return bytes(out)


def fitted_share(session, title, keep=None):
    """Share of the fitted picture's pixels that differ from the title, or 1
    when anything but black lies outside it."""
    width, height, pixels = session.grab(keep=keep)
    if (width, height) != (SCREEN_W, SCREEN_H):
        return 1.0
    left, top, w, h = FITTED
    bars = pixels[:top * width * 3] + pixels[(top + h) * width * 3:]
    if bars.count(0) != len(bars):
        return 1.0
    return mismatch(crop(width, pixels, left, top, w, h, 2), title)


def window_size(session, window):
    """Width, height and the rest of what xwininfo tells of the window."""
    if not window:
        return 0, 0, {}
    info = subprocess.run(["xwininfo", "-id", window], env=session.env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=10).stdout.decode()
    geometry = {k.strip(): v.strip() for k, v in (line.split(":", 1) for line in info.splitlines() if ":" in line)}
    return int(geometry.get("Width", 0)), int(geometry.get("Height", 0)), geometry


def windowed_share(session, window, title, keep=None):
    """Share of the window's pixels that differ from the title, or 1 while
    the window is not 640x480."""
    width, height, geometry = window_size(session, window)
    if (width, height) != (WIDTH, HEIGHT):
        return 1.0
    # Where the window's inside lies on the screen, inside any frame a window
    # manager drew round it.
    x, y = int(geometry["Absolute upper-left X"]), int(geometry["Absolute upper-left Y"])
    width, height, pixels = session.grab(keep=keep)
    if x < 0 or y < 0 or x + WIDTH > width or y + HEIGHT > height:
        return 1.0
    return mismatch(crop(width, pixels, x, y, WIDTH, HEIGHT), title)


def expect(what, measure, seconds=60):
    best = [1.0]

    def matches():
        share = measure()
        best[0] = min(best[0], share)
        return share <= 0.002

    try:
        wait_for(what, matches, seconds)
    except Failure:
        raise Failure("%s: never shown (best: %.1f%% of pixels differ)" % (what, best[0] * 100))
    log("  %s: %.2f%% of pixels differ from the replay" % (what, best[0] * 100))


def run(session, program, pack, work, title, name):
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for f in os.listdir(pack):
        if f.endswith((".bm", ".wav", ".mid")):
            os.symlink(os.path.join(pack, f), os.path.join(folder, f))
    expected_title = JAPANESE_TITLE
    if session.manager:
        # An edition's own name, and an icon.
        expected_title = ENGLISH_TITLE
        with open(os.path.join(folder, "title.txt"), "w", encoding="utf-8") as f:
            f.write(ENGLISH_TITLE + "\n")
        subprocess.run(["convert", "-size", "64x64", "xc:red", "-type", "truecolor",
                        "BMP3:" + os.path.join(folder, "icon.bmp")], check=True)
    env = dict(session.env, SDL_AUDIODRIVER="dummy")
    env.pop("SHINDAN_WINDOWED", None)
    game = subprocess.Popen([program], cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # SDL may replace its first window by one that suits the renderer,
        # so the window is looked up anew each time: the visible one at least
        # as large as the picture.
        def game_window():
            if game.poll() is not None:
                raise Failure("the program ended")
            found = session.xdotool("search", "--onlyvisible", "--pid", str(game.pid)).split()
            large = [w for w in found if window_size(session, w)[0] >= WIDTH]
            return large[-1] if large else None

        def the_window():
            return wait_for("the window", game_window, 30)

        the_window()
        names = []
        try:
            wait_for("the window's name", lambda: names.append(session.xdotool("getwindowname", the_window())) or
                     names[-1] == expected_title, 15)
        except Failure:
            raise Failure("the window is named %r, not %r" % (names[-1], expected_title))
        log("  window name: " + names[-1])
        icon = subprocess.run(["xprop", "-id", the_window(), "_NET_WM_ICON"],
                              env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if session.manager and b"Icon (64 x 64)" not in icon:
            raise Failure("the window has no 64x64 icon: %r" % icon[:100])
        expect("full screen", lambda: fitted_share(session, title, os.path.join(work, name + "-full.png")))
        for what, measure, size in (
                ("a window", lambda: windowed_share(session, game_window(), title,
                                                    os.path.join(work, name + "-window.png")),
                 (SCREEN_W, SCREEN_H)),
                ("full screen again",
                 lambda: fitted_share(session, title, os.path.join(work, name + "-full-again.png")),
                 (WIDTH, HEIGHT))):
            # A key sent while the window has not yet got the focus is lost;
            # F11 is pressed again only while the window keeps its old size.
            for attempt in range(3):
                if attempt == 0 or window_size(session, game_window())[:2] == size:
                    session.xdotool("windowfocus", "--sync", the_window())
                    session.xdotool("key", "F11")
                try:
                    expect(what, measure, 8)
                    break
                except Failure:
                    if attempt == 2:
                        raise
        session.xdotool("windowfocus", "--sync", the_window())
        session.xdotool("key", "Escape")
        try:
            code = game.wait(20)
        except subprocess.TimeoutExpired:
            raise Failure("Esc did not end the program")
        if code != 0:
            raise Failure("exit status %d after Esc" % code)
    finally:
        if game.poll() is None:
            game.kill()
            game.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--game", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    missing = [p for p in ["Xvfb", "xdotool", "xprop", "xwininfo", "import", "convert", "identify", "openbox"]
               if shutil.which(p) is None]
    if missing:
        print("SKIPPED: not installed: " + " ".join(missing))
        return SKIP
    work = os.path.abspath(args.work)
    pack = os.path.abspath(args.game)
    replay = os.path.join(work, "replay")
    shutil.rmtree(replay, ignore_errors=True)
    os.makedirs(replay)
    for f in os.listdir(pack):
        if f.endswith((".bm", ".wav", ".mid")):
            os.symlink(os.path.join(pack, f), os.path.join(replay, f))
    with open(os.path.join(replay, "script.txt"), "w") as f:
        f.write("until title 7 max 20000\nshot title.png\n")
    subprocess.run([os.path.abspath(args.tool), "replay", "script.txt"], cwd=replay, check=True,
                   stdout=subprocess.DEVNULL)
    title = to_565(subprocess.run(["convert", os.path.join(replay, "title.png"), "-depth", "8", "rgb:-"],
                                  stdout=subprocess.PIPE, check=True).stdout)
    for manager in (None, "openbox"):
        log("%s:" % (manager or "no window manager"))
        session = None
        try:
            session = Session(manager)
            run(session, os.path.abspath(args.program), pack, work, title, manager or "bare")
        except (Failure, subprocess.CalledProcessError) as e:
            print("FAILED: %s" % e)
            return 1
        finally:
            if session:
                session.close()
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
