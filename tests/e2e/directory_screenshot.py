#!/usr/bin/env python3
"""Takes the README's picture of the Internet list, docs/screenshots/wizard-internet-list.png,
with a real list: the directory service runs on loopback, two hosts publish their games from
Hollagrin's loopback build, and a third player's list shows them after a successful download.

Usage: tests/e2e/directory_screenshot.py        (build folder: $QUARV_BUILD or build/)

It reuses wizard_screenshots.py's players and Wine session, and the directory session script
of the tests, on the port the loopback build was built for.
"""
import os
import re
import subprocess
import sys
import tempfile
import shutil
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wizard_screenshots as shots  # noqa: E402

LOOPBACK_WIZARD = os.path.join(shots.BUILD, "tests", "e2e", "hollagrin_loopback.exe")
SERVICE_SESSION = os.path.join(shots.BUILD, "screenshots", "directory-service")
SESSION_SCRIPT = os.path.join(shots.ROOT, "tests", "directory", "directory-service-session")
HOSTS = (("Hal", "Cool Quarv Server", "2000"), ("Owl", "Night Owls", "2100"))
LIST_MS = 15000


def cache_value(name):
    with open(os.path.join(shots.BUILD, "CMakeCache.txt")) as cache:
        for line in cache:
            match = re.match(name + r":[A-Z]+=(.*)", line.strip())
            if match:
                return match.group(1)
    sys.exit("%s is not in the build's cache: configure first (tools/build)" % name)


def listed(player):
    output = player.drive("lines", "1014")
    return output.split("--end--")[0].splitlines()


def main():
    for path in (LOOPBACK_WIZARD, shots.DRIVER, shots.STANDIN):
        if not os.path.exists(path):
            sys.exit("missing %s: build first (tools/build)" % path)
    service = cache_value("QUARV_DIRECTORY_SERVICE_EXE")
    port = cache_value("QUARV_E2E_DIRECTORY_PORT")
    shots.WIZARD = LOOPBACK_WIZARD
    os.makedirs(shots.OUT, exist_ok=True)
    os.makedirs(shots.SESSION, exist_ok=True)
    subprocess.run([os.path.join(shots.ROOT, "tools", "wine-session"), "start", shots.SESSION], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([SESSION_SCRIPT, "start", SERVICE_SESSION, service, port, "--probe-interval", "1",
                    "--retry-interval", "1"], check=True)
    work = tempfile.mkdtemp(prefix="directory-shot-")
    players = []
    try:
        for name, server, host_port in HOSTS:
            host = shots.Player(os.path.join(work, name.lower()))
            players.append(host)
            host.drive("page", "1", "click", "1002", "set", "1012", name, "next", "page", "7",
                       "set", "1017", server, "set", "1006", host_port, "click", "1010", "next", "page", "8")

        ann = shots.Player(os.path.join(work, "ann"))
        players.append(ann)
        ann.drive("page", "1", "click", "1003", "set", "1012", "Ann", "next", "page", "2", "click", "1013",
                  "next", "page", "5")
        # The directory lists a game once its first probe has been answered.
        deadline = time.monotonic() + LIST_MS / 1000
        while not all(server in listed(ann) for _, server, _ in HOSTS):
            if time.monotonic() > deadline:
                sys.exit("the published games never showed in the list")
            ann.drive("click", "1022")
        ann.drive("until", "1024", "SUCCESS!")
        ann.shot("wizard-internet-list")
    finally:
        for player in players:
            if player.process.poll() is None:
                player.process.kill()
        subprocess.run([SESSION_SCRIPT, "stop", SERVICE_SESSION])
        subprocess.run([os.path.join(shots.ROOT, "tools", "wine-session"), "stop", shots.SESSION],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
