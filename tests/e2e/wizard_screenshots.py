#!/usr/bin/env python3
"""Takes the README's pictures of the multiplayer wizard from the real program: two hosts and
two players run Hollagrin under Wine, are driven through every page a player can reach with
tests/e2e's wizard driver, and each page is saved as docs/screenshots/wizard-*.png.
The Internet list needs a directory to show anything: directory_screenshot.py takes it.

Usage: tests/e2e/wizard_screenshots.py        (build folder: $QUARV_BUILD or build/)

It runs in a Wine session of its own (<build>/screenshots), which has Wine's fonts (the
caption buttons are drawn with them), from copies of the wizard's loopback build: the same
program, whose LAN search asks this machine only, so the LAN page finds the two hosts here.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(os.environ.get("QUARV_BUILD", os.path.join(ROOT, "build")))
SESSION = os.path.join(BUILD, "screenshots")
DRIVER = os.path.join(BUILD, "tests", "e2e", "wizard_driver.exe")
WIZARD = os.path.join(BUILD, "tests", "e2e", "hollagrin_loopback.exe")
STANDIN = os.path.join(BUILD, "tests", "common", "standin_game.exe")
OUT = os.path.join(ROOT, "docs", "screenshots")
PORT = "2000"
OTHER_PORT = "2100"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wine_command(*args):
    return [os.path.join(ROOT, "tools", "wine-run"), SESSION, *args]


def start(folder):
    os.makedirs(folder)
    shutil.copy(WIZARD, os.path.join(folder, "Hollagrin.exe"))
    shutil.copy(STANDIN, os.path.join(folder, "quarv.exe"))
    process = subprocess.Popen(wine_command(os.path.join(folder, "Hollagrin.exe")), cwd=folder,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return process


class Player:
    def __init__(self, folder):
        self.folder = folder
        self.process = start(folder)

    def drive(self, *commands):
        # Several wizards run at once: each is found by the folder it was started from.
        options = ["--folder", windows_path(self.folder)]
        result = subprocess.run(wine_command(DRIVER, *options, *commands), stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
        if result.returncode != 0:
            sys.exit("driver failed: %s (exit %d)" % (" ".join(commands), result.returncode))
        return result.stdout

    def shot(self, name):
        bmp = os.path.join(self.folder, name + ".bmp")
        self.drive("shot", windows_path(bmp))
        subprocess.run(["convert", bmp, os.path.join(OUT, name + ".png")], check=True)
        print("docs/screenshots/%s.png" % name)


def main():
    for path in (DRIVER, WIZARD, STANDIN):
        if not os.path.exists(path):
            sys.exit("missing %s: build first (tools/build)" % path)
    os.makedirs(OUT, exist_ok=True)
    os.makedirs(SESSION, exist_ok=True)
    subprocess.run([os.path.join(ROOT, "tools", "wine-session"), "start", SESSION], check=True,
                   stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="wizard-shots-")
    players = []
    try:
        host = Player(os.path.join(work, "host"))
        players.append(host)
        host.drive("page", "1", "click", "1002", "set", "1012", "Hal")
        host.shot("wizard-host-join")
        host.drive("next", "page", "7", "set", "1017", "Cool Quarv Server", "set", "1006", PORT,
                   "click", "1010")
        host.shot("wizard-server-setup")
        host.drive("click", "1010", "next", "page", "8")
        host.shot("wizard-server-lobby-waiting")

        owl = Player(os.path.join(work, "owl"))
        players.append(owl)
        owl.drive("page", "1", "click", "1002", "set", "1012", "Owl", "next", "page", "7",
                  "set", "1017", "Night Owls", "set", "1006", OTHER_PORT, "next", "page", "8")

        ann = Player(os.path.join(work, "ann"))
        players.append(ann)
        ann.drive("page", "1", "click", "1003", "set", "1012", "Ann", "next", "page", "2", "click", "1003")
        ann.shot("wizard-connection-method")
        ann.drive("next", "page", "4", "until", "1024", "2 FOUND!")
        ann.shot("wizard-lan-list")
        ann.drive("select", "1014", "Cool Quarv Server  127.0.0.1:%s  1/4" % PORT, "click", "1015", "page", "6")

        bob = Player(os.path.join(work, "bob"))
        players.append(bob)
        bob.drive("page", "1", "click", "1003", "set", "1012", "Bob", "next", "page", "2", "click", "1002",
                  "next", "page", "3", "set", "1017", "127.0.0.1", "set", "1006", PORT)
        bob.shot("wizard-direct-connection")
        bob.drive("next", "page", "6")

        host.drive("until", "1021", "Number of Players Connected: 2",
                   "type", "1006", "Welcome to the Cool Quarv Server!", "enter", "1006")
        ann.drive("until", "1017", "Hal->Welcome", "type", "1006", "Hi all, ready when you are.", "enter", "1006")
        bob.drive("until", "1017", "Ann->Hi", "type", "1006", "Ready!", "enter", "1006")
        for player in (host, ann):
            player.drive("until", "1017", "Bob->Ready!")
        ann.shot("wizard-client-lobby")
        host.shot("wizard-server-lobby")
        host.drive("finish")
        owl.drive("cancel")
        for player in players:
            player.process.wait(timeout=30)
    finally:
        for player in players:
            if player.process.poll() is None:
                player.process.kill()
        subprocess.run([os.path.join(ROOT, "tools", "wine-session"), "stop", SESSION],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
