#!/usr/bin/env python3
"""Builds the Debian package from the build tree, checks it with lintian,
desktop-file-validate and appstreamcli, unpacks it into a throwaway root and
plays a whole test with its launcher on a virtual X screen, the game folder
read-only, to the result file in the player's own folder.

  package_test.py --build DIR --tool PATH

Exits 77 (skipped) when a tool it needs is missing.
"""

import glob
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from display_session import (  # noqa: E402
    RESULT_NAME, SHIFT_ANSWERS, SHIFT_QUESTIONS, SKIP, Failure, XSession, answer_questions, arguments,
    check_same_as_replay, exit_code_after_escape, finish_analysis, load_questions, log, replay_shift_test, start_test,
    stop, tools_missing)

ICON_SIZES = [16, 32, 48, 64, 128, 256]
RED = (192, 32, 48)


def output(cmd, **kwargs):
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kwargs)
    return done.returncode, done.stdout.decode("utf-8", "replace")


# ---------------------------------------------------------------------------
# the package

def build_package(build, work):
    code, text = output(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"),
                         "-B", os.path.join(work, "cpack")])
    debs = glob.glob(os.path.join(work, "cpack", "shindan_*_amd64.deb"))
    if code != 0 or len(debs) != 1:
        raise Failure("cpack did not make shindan_<version>_amd64.deb:\n" + text)
    return debs[0]


def check_contents(deb):
    code, fields = output(["dpkg-deb", "-f", deb, "Package", "Section", "Depends"])
    if code != 0:
        raise Failure("dpkg-deb cannot read the control file:\n" + fields)
    depends = fields.split("Depends:", 1)[-1]
    for needed in ["libsdl2-2.0-0", "libsdl2-mixer-2.0-0", "libfreetype6", "fonts-ipafont-mincho",
                   "fluid-soundfont-gm"]:
        if needed not in depends:
            raise Failure("the package does not depend on %s:\n%s" % (needed, fields))
    if "Section: games" not in fields:
        raise Failure("the package is not in the games section:\n" + fields)

    code, listing = output(["dpkg-deb", "-c", deb])
    if code != 0:
        raise Failure("dpkg-deb cannot list the package:\n" + listing)
    entries = {}
    for line in listing.splitlines():
        parts = line.split(None, 5)
        name = parts[5].split(" -> ")[0].lstrip(".")
        entries[name] = parts[0]
    wanted = {
        "/usr/games/shindan": "-rwxr-xr-x",
        "/usr/lib/games/shindan/shindan": "-rwxr-xr-x",
        "/usr/lib/games/shindan/bgm01.mid": "l",
        "/usr/lib/games/shindan/icon.bmp": "l",
        "/usr/share/games/shindan/title.bm": "-rw-r--r--",
        "/usr/share/games/shindan/q060.bm": "-rw-r--r--",
        "/usr/share/games/shindan/noize02.wav": "-rw-r--r--",
        "/usr/share/games/shindan/bgm03.mid": "-rw-r--r--",
        "/usr/share/games/shindan/icon.bmp": "-rw-r--r--",
        "/usr/share/games/shindan/words.txt": "-rw-r--r--",
        "/usr/share/games/shindan/en/words.txt": "-rw-r--r--",
        "/usr/share/games/shindan/en/title.bm": "-rw-r--r--",
        "/usr/share/games/shindan/en/q060.bm": "-rw-r--r--",
        "/usr/share/games/shindan/en/title.txt": "-rw-r--r--",
        "/usr/share/applications/org.shindan.Shindan.desktop": "-rw-r--r--",
        "/usr/share/metainfo/org.shindan.Shindan.metainfo.xml": "-rw-r--r--",
        "/usr/share/man/man6/shindan.6.gz": "-rw-r--r--",
        "/usr/share/doc/shindan/copyright": "-rw-r--r--",
        "/usr/share/doc/shindan/changelog.gz": "-rw-r--r--",
    }
    for size in ICON_SIZES:
        wanted["/usr/share/icons/hicolor/%dx%d/apps/shindan.png" % (size, size)] = "-rw-r--r--"
    for name, mode in wanted.items():
        if name not in entries:
            raise Failure("%s is missing from the package" % name)
        if not entries[name].startswith(mode):
            raise Failure("%s has mode %s, not %s" % (name, entries[name], mode))
    # Nothing of the build tree or the developer's tools comes along.
    for name in entries:
        if "shindan-tool" in name or "shindan-assetgen" in name or name.endswith((".cpp", ".h", ".a")):
            raise Failure("%s does not belong in the package" % name)


def check_validators(deb, root):
    code, text = output(["lintian", "--fail-on", "error", "--no-tag-display-limit", deb])
    tags = [line for line in text.splitlines() if line[:2] in ("E:", "W:", "I:", "X:", "P:")]
    log("  lintian: %d errors, %d warnings, %d informational" % (
        sum(t.startswith("E:") for t in tags), sum(t.startswith("W:") for t in tags),
        sum(t.startswith("I:") for t in tags)))
    for tag in tags:
        log("    " + tag)
    if code != 0:
        raise Failure("lintian failed:\n" + text)

    desktop = os.path.join(root, "usr/share/applications/org.shindan.Shindan.desktop")
    code, text = output(["desktop-file-validate", desktop])
    if code != 0 or "error" in text:
        raise Failure("desktop-file-validate:\n" + text)
    with open(desktop, encoding="utf-8") as f:
        entry = f.read()
    for line in ["Name[ja]=深層心理診断", "Categories=Game;", "Exec=shindan", "Icon=shindan"]:
        if line not in entry.splitlines():
            raise Failure("the desktop entry lacks %r" % line)

    metainfo = os.path.join(root, "usr/share/metainfo/org.shindan.Shindan.metainfo.xml")
    code, text = output(["appstreamcli", "validate", "--no-net", metainfo])
    if code != 0:
        raise Failure("appstreamcli validate:\n" + text)
    # The whole tree as a software centre reads it: the metainfo, its
    # launchable desktop entry and the icon that entry names.
    code, text = output(["appstreamcli", "validate-tree", "--no-net", root])
    if code != 0:
        raise Failure("appstreamcli validate-tree:\n" + text)


def pixel(png, x, y):
    """The RGBA pixel of a PNG through ImageMagick."""
    data = subprocess.run(["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgba:-"],
                          check=True, stdout=subprocess.PIPE).stdout
    return tuple(data[:4])


def check_icons(root):
    """Every size is the same picture drawn at that size: a red disc on a
    transparent square with a white ring around a red centre."""
    for size in ICON_SIZES:
        png = os.path.join(root, "usr/share/icons/hicolor/%dx%d/apps/shindan.png" % (size, size))
        code, text = output(["identify", "-format", "%w %h %[channels]", png])
        if code != 0 or not text.startswith("%d %d srgba" % (size, size)):
            raise Failure("icon %d: %s" % (size, text))
        middle = size // 2
        at = {
            "corner": pixel(png, 0, 0),
            "centre": pixel(png, middle, middle),
            "ring": pixel(png, middle + round(size * 0.125), middle),
            "disc": pixel(png, middle + round(size * 0.3), middle),
            "outside": pixel(png, middle + round(size * 0.45), middle),
        }
        if at["corner"][3] != 0 or at["outside"][3] != 0:
            raise Failure("icon %d is not see-through around the disc: %r" % (size, at))
        # Edges are smoothed, so the smallest sizes mix colours a little
        # where a pixel straddles the ring.
        red_enough = {
            "disc": all(abs(a - b) <= 8 for a, b in zip(at["disc"], RED)) and at["disc"][3] >= 240,
            "centre": at["centre"][0] - at["centre"][1] >= 100 and at["centre"][3] == 255,
        }
        for part, fine in red_enough.items():
            if not fine:
                raise Failure("icon %d: the %s is %r, not red" % (size, part, at[part]))
        if min(at["ring"]) < 240:
            raise Failure("icon %d: the ring is %r, not white" % (size, at["ring"]))
    # The window's icon: a 64x64 24-bit bitmap, the disc over black.
    bmp = os.path.join(root, "usr/share/games/shindan/icon.bmp")
    with open(bmp, "rb") as f:
        head = f.read(54)
    width = int.from_bytes(head[18:22], "little")
    height = int.from_bytes(head[22:26], "little", signed=True)
    bits = int.from_bytes(head[28:30], "little")
    if head[:2] != b"BM" or (width, height, bits) != (64, 64, 24):
        raise Failure("icon.bmp is not a 64x64 24-bit bitmap: %r" % ((width, height, bits),))
    if pixel(bmp, 0, 0)[:3] != (0, 0, 0) or pixel(bmp, 32, 32)[:3] != RED:
        raise Failure("icon.bmp does not show the red disc over black")


# ---------------------------------------------------------------------------
# playing the unpacked package

def player_account():
    """Root may write anywhere, so a read-only folder means nothing to it:
    then the game is played by the unprivileged account 'nobody'."""
    if os.getuid() != 0:
        return None
    try:
        return pwd.getpwnam("nobody")
    except KeyError:
        return None


def make_read_only(root):
    for folder, dirs, files in os.walk(root):
        for name in files + dirs:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                os.chmod(path, os.stat(path).st_mode & ~0o222)
    os.chmod(root, os.stat(root).st_mode & ~0o222)


def as_player(cmd, account):
    if not account:
        return cmd
    return ["setpriv", "--reuid", str(account.pw_uid), "--regid", str(account.pw_gid), "--clear-groups", "--"] + cmd


def check_player_folders(root, home, account):
    """The launcher makes the player's folder where the base directory rules
    put it, for the pack of the player's language, with links to every file
    the game opens from its working directory. Without a display the program
    itself then ends at once."""
    game_dir = os.path.join(root, "usr/share/games/shindan")
    cases = [("ja", os.path.join(home, "data"), os.path.join(home, "data/shindan"), game_dir),
             # Not absolute, so not valid: the default applies.
             ("ja", "data", os.path.join(home, ".local/share/shindan"), game_dir),
             ("en", os.path.join(home, "data"), os.path.join(home, "data/shindan/en"), os.path.join(game_dir, "en"))]
    for language, xdg, folder, pack in cases:
        opened = sorted(n for n in os.listdir(pack) if n.endswith((".bm", ".bmp", ".wav")) or n == "title.txt")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "XDG_DATA_HOME": xdg,
               "SHINDAN_LANG": language, "SDL_AUDIODRIVER": "dummy"}
        code, text = output(as_player([os.path.join(root, "usr/games/shindan")], account), cwd=home, env=env,
                            timeout=60)
        if not os.path.isdir(folder):
            raise Failure("XDG_DATA_HOME=%s: no player's folder %s; the launcher said:\n%s" % (xdg, folder, text))
        for name in opened:
            path = os.path.join(folder, name)
            if os.path.realpath(path) != os.path.realpath(os.path.join(pack, name)):
                raise Failure("%s does not lead to the pack's %s" % (path, name))
        log("  %s: the launcher makes %s with links to the pack's %d files" % (language, folder, len(opened)))


def check_window(screen, pid):
    """The window carries the game's name and the icon from the package."""
    windows = screen.xdotool("search", "--pid", str(pid))
    properties = ""
    for window in windows:
        code, text = output(["xprop", "-id", window, "_NET_WM_NAME", "_NET_WM_ICON"], env=screen.env)
        if "_NET_WM_ICON(CARDINAL)" in text:
            properties = text
            break
    if "深層心理診断" not in properties or "Icon (64 x 64)" not in properties:
        raise Failure("the window lacks the game's name or its 64x64 icon:\n" + properties[:400])
    log("  the window is named 深層心理診断 and carries the 64x64 icon")


def play_whole_test(root, tool, work):
    game_dir = os.path.join(root, "usr/share/games/shindan")
    references_folder = os.path.join(work, "replay")
    references = replay_shift_test(tool, game_dir, references_folder)
    fixed = load_questions(game_dir, SHIFT_QUESTIONS)

    home = os.path.join(work, "home")
    os.makedirs(home)
    account = player_account()
    if account:
        os.chown(home, account.pw_uid, account.pw_gid)
    make_read_only(root)
    check_player_folders(root, home, account)
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "LANG": "C.UTF-8",
        "SHINDAN_LANG": "ja",
        # No sound device in a test machine: the game plays silently.
        "SDL_AUDIODRIVER": "dummy",
        "SHINDAN_WINDOWED": "1",
    }
    # A 640x480 virtual screen of 24-bit colour, the desktop's usual depth.
    screen = XSession(base_env=env)
    launcher = as_player([os.path.join(root, "usr/games/shindan")], account)
    log_path = os.path.join(work, "game.log")
    with open(log_path, "wb") as game_log:
        game = subprocess.Popen(launcher, cwd=home, env=screen.env, stdout=game_log, stderr=subprocess.STDOUT)
    try:
        screen.expect_screen(references["title"], "title waiting", 60, os.path.join(work, "title.png"))
        check_window(screen, game.pid)
        start_test(screen, "shift", references["title"])
        answer_questions(screen, fixed, SHIFT_ANSWERS, SHIFT_QUESTIONS)
        result = os.path.join(home, ".local/share/shindan", RESULT_NAME)
        written = finish_analysis(screen, references["analysis"], "analysis built", os.path.join(work, "analysis.png"),
                                  result)
        check_same_as_replay(written, references_folder, "the result file in the player's folder")
        if os.path.exists(os.path.join(game_dir, RESULT_NAME)):
            raise Failure("a result file appeared in the installed game folder")
        screen.tap("Escape")
        exit_code_after_escape(game)
    except Failure:
        screen.save_failure(work, log_path)
        raise
    finally:
        stop(game)
        screen.close()


def main():
    args = arguments("build", "tool")

    if tools_missing(["cpack", "dpkg-deb", "dpkg-shlibdeps", "file", "lintian", "desktop-file-validate",
                      "appstreamcli", "Xvfb", "xdotool", "xprop", "import", "convert", "identify", "setpriv"]):
        return SKIP

    work = tempfile.mkdtemp(prefix="shindan-package-")
    os.chmod(work, 0o755)  # the player's account must reach its home inside
    try:
        log("building the package")
        deb = build_package(os.path.abspath(args.build), work)
        log("  %s, %d bytes" % (os.path.basename(deb), os.path.getsize(deb)))
        check_contents(deb)
        root = os.path.join(work, "root")
        subprocess.run(["dpkg", "-x", deb, root], check=True)
        program_dir = os.path.join(root, "usr/lib/games/shindan")
        for name in os.listdir(program_dir):
            if not os.path.exists(os.path.join(program_dir, name)):
                raise Failure("the link %s beside the program leads nowhere" % name)
        log("checking it")
        check_validators(deb, root)
        check_icons(root)
        log("playing a Shift test with the unpacked launcher, the game folder read-only")
        play_whole_test(root, os.path.abspath(args.tool), work)
    except (Failure, subprocess.CalledProcessError, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("(kept for a look: %s)" % work)
        return 1
    # The unpacked root was made read-only; give the owner back the right to
    # clean it up.
    for folder, dirs, _ in os.walk(work):
        for name in dirs:
            os.chmod(os.path.join(folder, name), 0o755)
    os.chmod(work, 0o755)
    shutil.rmtree(work, ignore_errors=True)
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
