#!/usr/bin/env python3
"""Plays the Windows build under Wine on a virtual X screen and checks it
against the headless replay of the same key presses.

  wine_play.py --source DIR --work DIR --game DIR --tool PATH --arch x64|x86

--game is the native build's folder with the generated pictures, sounds and
tunes; --tool the shindan-tool beside them. The Windows program for --arch
(64-bit or 32-bit) is cross-compiled into --work first; the 32-bit one plays
in a 32-bit Wine prefix, on Wine's 32-bit loader alone. Exits 77 (skipped)
when Wine (for x86: its 32-bit loader), MinGW-w64, Xvfb, xdotool or
ImageMagick are missing.
"""

import os
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from display_session import (  # noqa: E402
    ANALYSIS_ROWS, ENTER_PROMPT, HEIGHT, NORMAL_ANSWERS, POOL_QUESTIONS, RESULT_NAME, SHIFT_ANSWERS, SHIFT_QUESTIONS,
    SKIP, WIDTH, Failure, XSession, answer_questions, arguments, check_question_against_replay, check_same_as_replay,
    check_scores, fill_folder, finish_analysis, load_questions, log, question_shown, replay_shift_test, start_test,
    tools_missing, verdict)

# ファイルオープンに失敗しました, as Wine's message box trace prints it.
OPEN_FAILED_TRACE = (r'L"\30d5\30a1\30a4\30eb\30aa\30fc\30d7\30f3\306b\5931\6557'
                     r'\3057\307e\3057\305f"')


# The cross-compiler, the toolchain file, the Wine prefix's kind and Wine's
# loader of each Windows build. The loader is named, not left to the wine
# script: that one takes the 32-bit loader whenever Debian's wine32 is
# installed, even for a 64-bit prefix, and on a system that cannot run 32-bit
# programs nothing would start at all.
ARCHES = {
    "x64": ("x86_64-w64-mingw32-g++", "mingw-w64-x86_64.cmake", "win64", "/usr/lib/wine/wine64"),
    "x86": ("i686-w64-mingw32-g++", "mingw-w64-i686.cmake", "win32", "/usr/lib/wine/wine"),
}


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, **kwargs)


# ---------------------------------------------------------------------------
# the program under Wine

class Game:
    def __init__(self, display, folder, trace):
        self.display = display
        self.trace_path = trace
        self.trace = open(trace, "wb")
        self.process = subprocess.Popen([display.env["WINELOADER"], "shindan.exe"], cwd=folder, env=display.env,
                                        stdout=subprocess.DEVNULL, stderr=self.trace)

    def boxes(self):
        self.trace.flush()
        with open(self.trace_path, "rb") as f:
            return [line for line in f.read().decode("latin-1").splitlines() if "MSGBOX_OnInit" in line]

    def window(self):
        return self.display.xdotool("search", "--name", "^DEFAULT$")

    def quit_with_escape(self):
        """Esc ends the program with status 1."""
        self.display.tap("Escape")
        try:
            code = self.process.wait(20)
        except subprocess.TimeoutExpired:
            code = None
        if code != 1:
            raise Failure("Esc: exit code %r, expected 1" % code)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        subprocess.run(["wineserver", "-k"], env=self.display.env, stderr=subprocess.DEVNULL)
        self.trace.close()


def prepare_prefix(env):
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        log("wine: creating the prefix")
        run([env["WINELOADER"], "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run(["wineserver", "-w"], env=env)  # the registry files are written at its end
    # Wine draws DirectDraw through OpenGL unless told otherwise; on a virtual
    # screen with software OpenGL that runs the game at a few frames a second
    # where surfaces are locked, and taps fall between frames. Its plain
    # software renderer runs it at hundreds.
    with open(os.path.join(env["WINEPREFIX"], "user.reg"), encoding="latin-1") as f:
        configured = '"renderer"="gdi"' in f.read()
    if not configured:
        run([env["WINELOADER"], "reg", "add", r"HKCU\Software\Wine\Direct3D", "/v", "renderer", "/t", "REG_SZ", "/d", "gdi",
             "/f"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run(["wineserver", "-w"], env=env)


def build_windows_program(source, work, game, toolchain):
    build = os.path.join(work, "windows")
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        run(["cmake", "-S", source, "-B", build, "-G", "Ninja",
             "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", toolchain),
             "-DCMAKE_BUILD_TYPE=Release", "-DSHINDAN_ASSET_DIR=" + game], stdout=subprocess.DEVNULL)
    run(["cmake", "--build", build], stdout=subprocess.DEVNULL)
    return os.path.join(build, "game")


# ---------------------------------------------------------------------------
# the scenarios

def scenario_missing_sound(display, exe, pack, work, references):
    log("missing sound file: one message box, then the game runs on; Esc ends it with 1")
    folder = os.path.join(work, "missing sound")
    fill_folder(pack, folder, leave_out=("c_move.wav",))
    shutil.copy(exe, folder)
    game = Game(display, folder, os.path.join(work, "missing-sound-trace.txt"))
    try:
        display.wait_for("the message box", lambda: display.xdotool("search", "--name", "^Error$"), 60)
        boxes = game.boxes()
        if len(boxes) != 1 or OPEN_FAILED_TRACE not in boxes[0]:
            raise Failure("expected one 'file open failed' box, saw: %r" % boxes)
        if not game.window():
            raise Failure("the game window is missing")
        display.tap("Return")
        display.expect_screen(references["title"], "title waiting", 40, os.path.join(work, "missing-sound-title.png"))
        if len(game.boxes()) != 1:
            raise Failure("more message boxes than the one: %r" % game.boxes())
        game.quit_with_escape()
        if os.path.exists(os.path.join(folder, RESULT_NAME)):
            raise Failure("a result file was written without an analysis")
    except Failure:
        display.save_failure(work)
        raise
    finally:
        game.kill()


def scenario_play(display, exe, pack, work, references, replay_folder):
    log("a Shift test and a normal test, played with key presses and speech on")
    # A folder name with spaces and Japanese in it: the program's own path
    # and the result file's name must survive a non-Japanese code page.
    folder = os.path.join(work, "遊ぶ play")
    fill_folder(pack, folder)
    shutil.copy(exe, folder)
    result = os.path.join(folder, RESULT_NAME)
    fixed = load_questions(pack, SHIFT_QUESTIONS)
    pool = load_questions(pack, POOL_QUESTIONS)

    game = Game(display, folder, os.path.join(work, "play-trace.txt"))
    try:
        display.wait_for("the game window", game.window, 60)
        display.expect_screen(references["title"], "title waiting", 40, os.path.join(work, "wine-title.png"))
        if game.boxes():
            raise Failure("unexpected message boxes: %r" % game.boxes())

        # V switches speech on. Wine has no voice: the program goes on
        # silently, and everything below must come out exactly as before.
        log("  V: speech on, with no voice installed")
        display.tap("v")

        # Shift test: fixed questions, so every screen can be compared.
        start_test(display, "shift", references["title"])
        shot = os.path.join(work, "wine-question.png")
        display.wait_for("question 1", lambda: question_shown(display, {"q049.bm": fixed["q049.bm"]}, shot), 60)
        check_question_against_replay(shot, os.path.join(replay_folder, "question.png"), fixed["q049.bm"])
        answer_questions(display, fixed, SHIFT_ANSWERS, SHIFT_QUESTIONS)
        written = finish_analysis(display, references["analysis"], "analysis built",
                                  os.path.join(work, "wine-analysis.png"), result)
        expected = check_same_as_replay(written, replay_folder, "the result file after the Shift test")
        # The end of the analysis writes the same bytes again.
        os.remove(result)
        display.wait_for("the result file at the analysis's end", lambda: os.path.exists(result), 30)
        time.sleep(0.5)
        with open(result, "rb") as f:
            check_same_as_replay(f.read(), replay_folder, "the result file written again at the end")
        os.remove(result)

        # Normal test: questions drawn at random from the pool.
        display.keep_tapping("space", lambda: display.mismatch(references["title"], ENTER_PROMPT) <= 0.02,
                             "the waiting title at once")
        start_test(display, "space", references["title"], ENTER_PROMPT)
        asked = answer_questions(display, pool, NORMAL_ANSWERS)
        if len(set(asked)) != 12:
            raise Failure("a question came twice: %r" % asked)
        log("  asked: " + " ".join(asked))
        written = finish_analysis(display, references["analysis"], "analysis built (normal test)",
                                  os.path.join(work, "wine-analysis-normal.png"), result, ANALYSIS_ROWS)
        check_scores(written, expected)
        if game.boxes():
            raise Failure("unexpected message boxes: %r" % game.boxes())

        game.quit_with_escape()
    except Failure:
        display.save_failure(work)
        raise
    finally:
        game.kill()


def main():
    args = arguments("source", "work", "game", "tool", "arch")
    if args.arch not in ARCHES:
        print("--arch is x64 or x86, not " + args.arch)
        return 1
    compiler, toolchain, wine_arch, loader = ARCHES[args.arch]

    if tools_missing(["wineserver", compiler, "Xvfb", "xdotool", "import", "convert"]):
        return SKIP
    if not os.access(loader, os.X_OK):
        print("SKIPPED: not installed: Wine's loader " + loader +
              (" (wine32:i386)" if wine_arch == "win32" else " (wine64)"))
        return SKIP
    # Some kernels are built without 32-bit support: the loader is there but
    # cannot start.
    try:
        subprocess.run([loader, "--version"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except (OSError, subprocess.CalledProcessError) as error:
        print("SKIPPED: Wine's loader %s does not run on this system: %s" % (loader, error))
        return SKIP

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    pack = os.path.abspath(args.game)
    if not os.path.exists(os.path.join(pack, "q060.bm")):
        print("the asset pack is missing from " + pack)
        return 1

    log("cross-compiling shindan.exe for " + args.arch)
    exe = os.path.join(build_windows_program(os.path.abspath(args.source), work, pack, toolchain), "shindan.exe")

    # The headless replay of the same Shift test gives the reference frames.
    replay_folder = os.path.join(work, "replay")
    references = replay_shift_test(args.tool, pack, replay_folder, shot_question=True)

    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    # Sound goes to ALSA's null device: DirectSound opens and plays silently.
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": os.path.join(work, "prefix"),
        "WINEARCH": wine_arch,
        "WINELOADER": loader,
        "WINEDEBUG": "-all,trace+msgbox",
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "HOME": home,
        # A non-Japanese code page: the program must convert its texts itself.
        "LANG": "C.UTF-8",
        "LC_ALL": "C.UTF-8",
    })

    def check():
        # A 16-bit screen, as the game's own display mode.
        with XSession(WIDTH, HEIGHT, depth=16, base_env=env) as display:
            prepare_prefix(display.env)
            scenario_missing_sound(display, exe, pack, work, references)
            scenario_play(display, exe, pack, work, references, replay_folder)

    return verdict(check)


if __name__ == "__main__":
    sys.exit(main())
