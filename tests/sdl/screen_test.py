#!/usr/bin/env python3
"""Full screen on a 1280x1024 X server, without a window manager and with
openbox: the desktop program must show the whole waiting title where the
fitted picture belongs (twice the size, centred, black bars above and below),
in a 640x480 window after F11 and full screen again after a second F11; the
window carries the game's name, or the one title.txt gives, and icon.bmp as
its icon. On a 1280x800 screen, whose height is no whole multiple of the
picture's, full screen fills the height (the picture smoothed to 1067x800,
bars left and right only), and with SHINDAN_SCALE=integer shows the picture
pixel for pixel at 640x480 in the middle.

  screen_test.py --program SHINDAN --tool SHINDAN_TOOL --game GAME_DIR --work DIR

Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or openbox are missing.
"""

import os
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from display_session import (  # noqa: E402
    HEIGHT, SKIP, WIDTH, Failure, XSession, arguments, differing_share, exit_code_after_escape, fill_folder, log,
    raw_rgb, replay, stop, to_565, tools_missing, verdict)

SCREEN_W, SCREEN_H = 1280, 1024
# The picture doubled fills the width; the bars share the height that is left.
FITTED = (0, (SCREEN_H - 2 * HEIGHT) // 2, 2 * WIDTH, 2 * HEIGHT)
JAPANESE_TITLE = "深層心理診断"
ENGLISH_TITLE = "Deep Psyche Diagnosis"


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
    return differing_share(crop(width, pixels, left, top, w, h, 2), title)


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
    return differing_share(crop(width, pixels, x, y, WIDTH, HEIGHT), title)


WIDE_W, WIDE_H = 1280, 800
# The largest 4:3 picture on the wide screen, rounded to whole pixels.
WIDE_FITTED = ((WIDE_W - 1067) // 2, 0, 1067, WIDE_H)
# Root-mean-square difference, in shares of full scale, between the replay's
# title and the fitted picture brought back to 640x480: the smoothing and the
# way back cost about 0.03; the picture left at 640x480, or missing, 0.1.
SMOOTH_ENOUGH = 0.05


def rms_difference(png, left, top, w, h, reference_png):
    """RMS difference between the rectangle of a screenshot, brought back to
    the picture's size, and the reference picture."""
    scaled = subprocess.run(["convert", "png:-", "-crop", "%dx%d+%d+%d" % (w, h, left, top), "+repage", "-resize",
                             "%dx%d!" % (WIDTH, HEIGHT), "png:-"], input=png, stdout=subprocess.PIPE,
                            check=True).stdout
    answer = subprocess.run(["compare", "-metric", "RMSE", "png:-", reference_png, "null:"], input=scaled,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE).stderr.decode()
    try:
        return float(answer.split("(")[1].split(")")[0])
    except (IndexError, ValueError):
        raise Failure("compare answered %r" % answer)


def wide_screen(session, program, pack, work, title, title_png):
    """Full screen on the wide screen: smoothed to fill its height, and
    whole pixels with SHINDAN_SCALE=integer."""
    folder = os.path.join(work, "wide")
    fill_folder(pack, folder, link=True)
    for scale in ("smooth", "integer"):
        env = dict(session.env, SDL_AUDIODRIVER="dummy")
        env.pop("SHINDAN_WINDOWED", None)
        env.pop("SHINDAN_SCALE", None)
        if scale == "integer":
            env["SHINDAN_SCALE"] = "integer"
        keep = os.path.join(work, "wide-%s.png" % scale)
        game = subprocess.Popen([program], cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            if scale == "integer":
                left, top = (WIDE_W - WIDTH) // 2, (WIDE_H - HEIGHT) // 2

                def measure():
                    width, height, pixels = session.grab(keep=keep)
                    if (width, height) != (WIDE_W, WIDE_H):
                        return 1.0
                    inside = crop(width, pixels, left, top, WIDTH, HEIGHT)
                    outside = pixels.count(0) - inside.count(0)
                    if outside != len(pixels) - len(inside):
                        return 1.0
                    return differing_share(inside, title)

                session.expect("whole pixels on the wide screen", measure, 60)
                continue
            left, top, w, h = WIDE_FITTED
            best = [1.0]

            def fills_height():
                if game.poll() is not None:
                    raise Failure("the program ended")
                width, height, pixels = session.grab(keep=keep)
                if (width, height) != (WIDE_W, WIDE_H):
                    return False
                # Black bars left and right of the picture, none above or below.
                for y in range(height):
                    row = pixels[y * width * 3:(y + 1) * width * 3]
                    if row[:left * 3].count(0) != left * 3 or row[(left + w) * 3:].count(0) != (width - left - w) * 3:
                        return False
                with open(keep, "rb") as f:
                    best[0] = min(best[0], rms_difference(f.read(), left, top, w, h, title_png))
                return best[0] <= SMOOTH_ENOUGH

            try:
                session.wait_for("the picture filling the height", fills_height, 60)
            except Failure:
                raise Failure("the wide screen never showed the title at 1067x800 (best RMS difference %.3f)"
                              % best[0])
            log("  the title fills the wide screen's height (RMS difference %.3f)" % best[0])
        finally:
            stop(game)


def run(session, program, pack, work, title, name):
    folder = os.path.join(work, name)
    fill_folder(pack, folder, link=True)
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
            found = session.xdotool("search", "--onlyvisible", "--pid", str(game.pid))
            large = [w for w in found if window_size(session, w)[0] >= WIDTH]
            return large[-1] if large else None

        def the_window():
            return session.wait_for("the window", game_window, 30)

        the_window()
        names = []
        try:
            session.wait_for("the window's name", lambda: names.append(
                session.xdotool_text("getwindowname", the_window())) or names[-1] == expected_title, 15)
        except Failure:
            raise Failure("the window is named %r, not %r" % (names[-1], expected_title))
        log("  window name: " + names[-1])
        icon = subprocess.run(["xprop", "-id", the_window(), "_NET_WM_ICON"],
                              env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        if session.manager and b"Icon (64 x 64)" not in icon:
            raise Failure("the window has no 64x64 icon: %r" % icon[:100])
        session.expect("full screen", lambda: fitted_share(session, title, os.path.join(work, name + "-full.png")),
                       60)
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
                    session.expect(what, measure, 8)
                    break
                except Failure:
                    if attempt == 2:
                        raise
        session.xdotool("windowfocus", "--sync", the_window())
        session.xdotool("key", "Escape")
        code = exit_code_after_escape(game)
        if code != 0:
            raise Failure("exit status %d after Esc" % code)
    finally:
        stop(game)


def main():
    args = arguments("program", "tool", "game", "work")
    if tools_missing(["Xvfb", "xdotool", "xprop", "xwininfo", "import", "convert", "identify", "openbox"]):
        return SKIP
    work = os.path.abspath(args.work)
    pack = os.path.abspath(args.game)

    def check():
        folder = replay(os.path.abspath(args.tool), pack, ["until title 7 max 20000", "shot title.png"],
                        os.path.join(work, "replay"))
        title = to_565(raw_rgb(os.path.join(folder, "title.png")))
        log("a %dx%d screen:" % (WIDE_W, WIDE_H))
        with XSession(WIDE_W, WIDE_H, xdotool_timeout=10) as session:
            wide_screen(session, os.path.abspath(args.program), pack, work, title,
                        os.path.join(folder, "title.png"))
        for manager in (None, "openbox"):
            log("%s:" % (manager or "no window manager"))
            with XSession(SCREEN_W, SCREEN_H, manager=manager, xdotool_timeout=10) as session:
                run(session, os.path.abspath(args.program), pack, work, title, manager or "bare")

    return verdict(check)


if __name__ == "__main__":
    sys.exit(main())
