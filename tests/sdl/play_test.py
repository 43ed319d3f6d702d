#!/usr/bin/env python3
"""Plays the desktop program on a private X server with real key presses and
checks what it shows and writes against the headless replay of the same
presses: the waiting title, the Shift test's questions and its analysis, the
result files of a Shift test and a normal test, F12 on the analysis saving
the replay's very pixels in the player's pictures folder, Esc ending the
program with status 0, and sound reaching the device.

  play_test.py --program SHINDAN --tool SHINDAN_TOOL --game GAME_DIR --work DIR

Exits 77 (skipped) when Xvfb, xdotool or ImageMagick are missing.
"""

import glob
import os
import re
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from display_session import (  # noqa: E402
    ANALYSIS_ROWS, ENTER_PROMPT, NORMAL_ANSWERS, POOL_QUESTIONS, RESULT_NAME, SHIFT_ANSWERS, SHIFT_QUESTIONS, SKIP,
    Failure, XSession, answer_questions, arguments, check_question_against_replay, check_same_as_replay, check_scores,
    exit_code_after_escape, fill_folder, finish_analysis, load_questions, log, question_shown, raw_rgb,
    replay_shift_test, start_test, stop, tools_missing, verdict)


def player_home(work):
    """A home folder whose pictures folder, as xdg-user-dir tells it, has a
    name with a space and non-ASCII letters; answers the home and that
    folder (not made: the game makes it)."""
    home = os.path.join(work, "home")
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(os.path.join(home, ".config"))
    with open(os.path.join(home, ".config", "user-dirs.dirs"), "w", encoding="utf-8") as f:
        f.write('XDG_PICTURES_DIR="$HOME/写真 pictures"\n')
    return home, os.path.join(home, "写真 pictures")


def check_saved_screen(display, pictures, replay_png, log_path):
    """F12 on the analysis: one new PNG named by the date and time, holding
    exactly the replay's analysis, and stderr saying where."""
    display.tap("F12")

    def said():
        with open(log_path, "rb") as f:
            return b"saved as " in f.read()

    # Said only once the file is written whole.
    display.wait_for("the program saying where the screen went", said, 20)
    saved = glob.glob(os.path.join(pictures, "shindan-*.png"))
    if len(saved) != 1 or not re.fullmatch(r"shindan-\d{4}(-\d\d){5}\.png", os.path.basename(saved[0])):
        raise Failure("F12 saved %r" % saved)
    with open(log_path, "rb") as f:
        if ("saved as " + saved[0]).encode() not in f.read():
            raise Failure("the program named another file than %s" % saved[0])
    if raw_rgb(saved[0]) != raw_rgb(replay_png):
        raise Failure("the saved screen %s differs from the replay's analysis" % saved[0])
    log("  F12 saved the replay's analysis as " + os.path.basename(saved[0]))


def play(display, program, pack, work, references, replay_folder):
    folder = os.path.join(work, "遊ぶ play")
    fill_folder(pack, folder)
    shutil.copy(program, folder)
    result = os.path.join(folder, RESULT_NAME)
    fixed = load_questions(pack, SHIFT_QUESTIONS)
    pool = load_questions(pack, POOL_QUESTIONS)
    audio = os.path.join(work, "audio.raw")

    home, pictures = player_home(work)
    env = dict(display.env, SHINDAN_WINDOWED="1", SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio, HOME=home,
               XDG_CONFIG_HOME=os.path.join(home, ".config"))
    log_path = os.path.join(work, "game.log")
    with open(log_path, "wb") as game_log:
        game = subprocess.Popen([os.path.join(folder, os.path.basename(program))], cwd=folder, env=env,
                                stdout=game_log, stderr=subprocess.STDOUT)
    try:
        display.wait_for("the game window", lambda: game.poll() is None and
                         display.xdotool("search", "--onlyvisible", "--pid", str(game.pid)), 60)
        title = references["title"]
        display.expect_screen(title, "title waiting", 60, os.path.join(work, "sdl-title.png"))
        # Looked up only now: SDL may replace its first window by one that
        # suits the renderer.
        window = display.xdotool("search", "--onlyvisible", "--pid", str(game.pid))
        if window:
            display.xdotool("windowfocus", "--sync", window[-1])

        log("a Shift test: fixed questions, every screen compared")
        start_test(display, "shift", title)
        shot = os.path.join(work, "sdl-question.png")
        display.wait_for("question 1", lambda: question_shown(display, {"q049.bm": fixed["q049.bm"]}, shot), 60)
        check_question_against_replay(shot, os.path.join(replay_folder, "question.png"), fixed["q049.bm"])
        answer_questions(display, fixed, SHIFT_ANSWERS, SHIFT_QUESTIONS)
        written = finish_analysis(display, references["analysis"], "analysis built",
                                  os.path.join(work, "sdl-analysis.png"), result,
                                  on_built=lambda: check_saved_screen(
                                      display, pictures, os.path.join(replay_folder, "analysis.png"), log_path))
        expected = check_same_as_replay(written, replay_folder, "the result file after the Shift test")
        os.remove(result)

        log("a normal test: questions drawn from the pool")
        display.keep_tapping("space", lambda: display.mismatch(title, ENTER_PROMPT) <= 0.02,
                             "the waiting title at once")
        start_test(display, "space", title, ENTER_PROMPT)
        asked = answer_questions(display, pool, NORMAL_ANSWERS)
        if len(set(asked)) != 12:
            raise Failure("a question came twice: %r" % asked)
        written = finish_analysis(display, references["analysis"], "analysis built (normal test)",
                                  os.path.join(work, "sdl-analysis-normal.png"), result, ANALYSIS_ROWS)
        check_scores(written, expected)

        display.tap("Escape")
        code = exit_code_after_escape(game)
        if code != 0:
            raise Failure("exit status %d after Esc" % code)
    except Failure:
        display.save_failure(work, log_path)
        raise
    finally:
        stop(game)

    # Effects and tunes were mixed: the device heard more than silence.
    with open(audio, "rb") as f:
        data = f.read()
    if len(data) < 100000 or data.count(0) > len(data) * 0.9:
        raise Failure("the sound device heard only silence (%d bytes)" % len(data))


def main():
    args = arguments("program", "tool", "game", "work")
    if tools_missing(["Xvfb", "xdotool", "import", "convert", "xdg-user-dir"]):
        return SKIP
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    pack = os.path.abspath(args.game)
    replay_folder = os.path.join(work, "replay")

    def check():
        references = replay_shift_test(os.path.abspath(args.tool), pack, replay_folder, shot_question=True)
        # The pacing this test was tuned with: shorter taps and closer looks
        # than the Wine test's, and no xdotool call held for long.
        with XSession(tap_hold=0.12, tap_gap=0.08, poll_step=0.2, xdotool_timeout=10) as display:
            play(display, os.path.abspath(args.program), pack, work, references, replay_folder)

    return verdict(check)


if __name__ == "__main__":
    sys.exit(main())
