#!/usr/bin/env python3
"""Packs a small made-up release twice with scripts/make-dist and checks what
a player, a web server and a second build see.

  dist_test.py --packer PATH --source DIR --work DIR
"""

import argparse
import gzip
import hashlib
import os
import shutil
import subprocess
import sys
import tarfile
import time
import zipfile

EPOCH = 1765000000  # 2025-12-06 05:46:40 UTC
VERSION = "9.8.7"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_inputs(top, stamp):
    """Two Windows builds, a site and a package, every file dated stamp."""
    for arch in ("x64", "x86"):
        for edition, word in (("game", b"ja"), ("game-en", b"en")):
            folder = os.path.join(top, arch, edition)
            write(os.path.join(folder, "shindan.exe"), b"MZ " + arch.encode())
            write(os.path.join(folder, "title.bm"), b"BM " + word)
            write(os.path.join(folder, "scale_up.wav"), b"RIFF " + word)
            write(os.path.join(folder, "bgm01.mid"), b"MThd")
            # Build leftovers that are not the game's.
            write(os.path.join(folder, "shindan.exe.manifest.tmp"), b"x")
    write(os.path.join(top, "site", "index.html"), b"<!doctype html>")
    write(os.path.join(top, "site", "packs", "ja.bin"), b"\x00\x01")
    write(os.path.join(top, "shindan_%s_amd64.deb" % VERSION), b"!<arch>\n")
    for root, dirs, files in os.walk(top):
        for name in dirs + files:
            os.utime(os.path.join(root, name), (stamp, stamp))


def pack(packer, source, inputs, out, umask, zone):
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(EPOCH), TZ=zone)
    old = os.umask(umask)
    try:
        subprocess.run([sys.executable, packer, "--version", VERSION, "--out", out,
                        "--deb", os.path.join(inputs, "shindan_%s_amd64.deb" % VERSION),
                        "--windows", "x64=" + os.path.join(inputs, "x64"),
                        "--windows", "x86=" + os.path.join(inputs, "x86"),
                        "--web", os.path.join(inputs, "site"),
                        "--readme", os.path.join(source, "packaging", "windows", "README.txt"),
                        "--licences", os.path.join(source, "packaging", "copyright")],
                       env=env, check=True, stdout=subprocess.DEVNULL)
    finally:
        os.umask(old)


def check_zip(path, arch):
    top = "shindan-%s-windows-%s/" % (VERSION, arch)
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        check(names == sorted(names), arch + ": zip entries not sorted")
        expected = {top, top + "en/", top + "README.txt", top + "LICENSES.txt"}
        for folder in (top, top + "en/"):
            expected |= {folder + n for n in ("shindan.exe", "title.bm", "scale_up.wav", "bgm01.mid")}
        check(set(names) == expected, arch + ": zip holds %s" % sorted(set(names) ^ expected))
        for info in infos:
            check(info.date_time == time.gmtime(EPOCH)[:6], arch + ": %s dated %s" % (info.filename, info.date_time))
            mode = info.external_attr >> 16
            want = 0o40755 if info.filename.endswith("/") else (
                0o100755 if info.filename.endswith(".exe") else 0o100644)
            check(mode == want, arch + ": %s has mode %o" % (info.filename, mode))
        check(z.read(top + "en/title.bm") == b"BM en" and z.read(top + "title.bm") == b"BM ja",
              arch + ": the editions' packs are mixed up")
        check(z.read(top + "shindan.exe") == b"MZ " + arch.encode(), arch + ": another build's program")
        readme = z.read(top + "README.txt")
        licences = z.read(top + "LICENSES.txt").decode("utf-8-sig")
    # Notepad reads it: UTF-8 with a byte-order mark, CR LF, both languages,
    # every placeholder filled in.
    check(readme.startswith(b"\xef\xbb\xbf"), arch + ": README.txt has no byte-order mark")
    check(b"\n" not in readme.replace(b"\r\n", b""), arch + ": README.txt has a bare line feed")
    text = readme.decode("utf-8-sig")
    check("@" not in text, arch + ": README.txt keeps a placeholder")
    check(VERSION in text and "分析結果.txt" in text and "How to play" in text, arch + ": README.txt lacks its parts")
    check(("32-bit" if arch == "x86" else "64-bit") in text.splitlines()[0], arch + ": README.txt names another edition")
    check("SIL OPEN FONT LICENSE" in licences.upper() and "IPA" in licences, arch + ": the fonts' licences are missing")


def check_web(path):
    with open(path, "rb") as f:
        header = f.read(10)
    # gzip -n: no time (bytes 4-7) and no file name flag (bit 3).
    check(header[4:8] == b"\x00\x00\x00\x00" and not header[3] & 0x08, "web: gzip header carries a time or name")
    with tarfile.open(path) as tar:
        members = tar.getmembers()
        names = [m.name for m in members]
        top = "shindan-%s-web" % VERSION
        check(names == sorted(names), "web: tar entries not sorted")
        check(set(n.rstrip("/") for n in names) == {top, top + "/index.html", top + "/packs", top + "/packs/ja.bin"},
              "web: tar holds " + repr(names))
        for m in members:
            check(m.mtime == EPOCH and m.uid == 0 and m.gid == 0 and m.uname == "root",
                  "web: %s has time %d, owner %d:%d" % (m.name, m.mtime, m.uid, m.gid))
            check(m.mode == (0o755 if m.isdir() else 0o644), "web: %s has mode %o" % (m.name, m.mode))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--packer", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)

    # Two builds: other folders, other file times, umask and time zone.
    make_inputs(os.path.join(work, "a", "in"), EPOCH + 100)
    make_inputs(os.path.join(work, "b", "elsewhere", "in"), EPOCH + 86400 * 40)
    out_a = os.path.join(work, "a", "dist")
    out_b = os.path.join(work, "b", "dist")
    pack(args.packer, args.source, os.path.join(work, "a", "in"), out_a, 0o022, "UTC")
    pack(args.packer, args.source, os.path.join(work, "b", "elsewhere", "in"), out_b, 0o002, "Asia/Tokyo")

    files = sorted(os.listdir(out_a))
    zips = ["shindan-%s-windows-%s.zip" % (VERSION, a) for a in ("x64", "x86")]
    expected = sorted(zips + ["shindan-%s-web.tar.gz" % VERSION, "shindan_%s_amd64.deb" % VERSION, "SHA256SUMS"])
    check(files == expected, "dist holds %s" % files)
    check(sorted(os.listdir(out_b)) == files, "the second build made other files")
    for name in files:
        with open(os.path.join(out_a, name), "rb") as fa, open(os.path.join(out_b, name), "rb") as fb:
            check(fa.read() == fb.read(), name + " differs between the two builds")

    with open(os.path.join(out_a, "SHA256SUMS"), encoding="ascii") as f:
        sums = dict(reversed(line.split("  ")) for line in f.read().splitlines())
    check(sorted(sums) == [n for n in expected if n != "SHA256SUMS"], "SHA256SUMS lists %s" % sorted(sums))
    for name, digest in sums.items():
        with open(os.path.join(out_a, name), "rb") as f:
            check(hashlib.sha256(f.read()).hexdigest() == digest, "SHA256SUMS is wrong for " + name)

    for arch, name in zip(("x64", "x86"), zips):
        check_zip(os.path.join(out_a, name), arch)
    check_web(os.path.join(out_a, "shindan-%s-web.tar.gz" % VERSION))
    # Unpacked with the usual tool, the site is whole.
    with gzip.open(os.path.join(out_a, "shindan-%s-web.tar.gz" % VERSION)) as f:
        check(b"<!doctype html>" in f.read(), "web: the page is missing")

    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
