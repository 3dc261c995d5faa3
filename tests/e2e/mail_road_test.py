#!/usr/bin/env python3
"""The road of new mail through the whole program: the real Zantoli.exe under Wine, two
accounts on loopback (a real Dovecot server and the project's demo server), watched on the
screen and driven with the mouse.

  mail_road_test.py --wine-run PATH --bin DIR --demo-server PATH --work DIR

Without $DISPLAY it runs itself on a virtual display. One scenario, phase after phase, because
each phase starts from where the one before left the program:

  1. new mail shows: five envelopes of the fuller account (it holds seven), two of the other,
     in the accounts' colours on the screen, and the character beside them;
  2. a left click on the character acknowledges: the trail and the character go;
  3. one new message: exactly one envelope comes back, in its account's colour, and further
     checks bring back nothing acknowledged;
  4. the exit writes the two options back to what every start begins with.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import desktop  # noqa: E402
from desktop import Hue, Screenshot, hue_of_colorref, wait_until  # noqa: E402
from dovecot_pop3 import PASSWORD as DOVECOT_PASSWORD, USER as DOVECOT_USER, DovecotPop3  # noqa: E402

ID_ZORDER_TOPMOST = 32773
ID_ZORDER_BOTTOM = 32775
ID_APP_EXIT = 57665

DOVECOT_COLOR, DOVECOT_HUE = 2, hue_of_colorref("cyan", 0xFFFF00)
DEMO_COLOR, DEMO_HUE = 6, hue_of_colorref("purple", 0x800080)
BODY_HUE = Hue("character body", (0xF7, 0xC9, 0x48))
DEMO_USER = DEMO_PASSWORD = "demo"

WAIT = 30  # seconds: the bound of every wait on the program
CURSOR = (400, 300)  # upper left quarter of the screen, so the trail runs right and down
CURSOR_OFFSET = 10  # with new mail the character sits this far above and left of the cursor


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class DemoServer:
    """The project's demo POP3 server on one folder."""

    def __init__(self, script, work):
        self.script = script
        self.folder = os.path.join(work, "demo-mail")
        self.port_file = os.path.join(work, "demo-port")
        self.port = 0
        self.process = None
        shutil.rmtree(self.folder, ignore_errors=True)
        sys.path.insert(0, os.path.dirname(script))
        import demo_pop3_server
        self.add_message = lambda: demo_pop3_server.add_message(self.folder)

    def start(self, messages=0):
        self.process = subprocess.Popen(
            [sys.executable, self.script, "--folder", self.folder, "--port", str(self.port), "--port-file",
             self.port_file, "--messages", str(messages), "--lifetime", "240", "--watch-pid", str(os.getpid())],
            stdout=subprocess.DEVNULL)
        check(wait_until(lambda: os.path.exists(self.port_file), 15), "the demo server did not start")
        with open(self.port_file) as port:
            self.port = int(port.read())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


class Notifier:
    """Zantoli.exe, its windows and its trace."""

    def __init__(self, wine, work):
        self.wine = wine
        self.trace_path = os.path.join(work, "trace.log")
        self.failed_screen_path = os.path.join(work, "failed-screen.ppm")
        self.process = None

    def start(self):
        self.process = self.wine.start("Zantoli.exe", self.trace_path)

    def windows(self):
        return desktop.program_windows(self.wine)

    def trace(self):
        return desktop.read_trace(self.trace_path)

    def count_in_trace(self, text):
        return sum(1 for line in self.trace() if text in line)

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)


def expect_trail(notifier, colours, what):
    """Waits until the trail holds exactly the given colours (nearest the character first) and
    the character rests beside the cursor; then checks the screen. Returns the windows."""
    def settled():
        windows = notifier.windows()
        character = windows.character
        at_rest = character and character.rect[:2] == (CURSOR[0] - CURSOR_OFFSET, CURSOR[1] - CURSOR_OFFSET)
        return windows if at_rest and len(windows.trail) == len(colours) and character.visible else None

    windows = wait_until(settled, WAIT)
    check(windows, f"{what}: no resting character with {len(colours)} envelopes "
                   f"(windows now: {[(w.rect, w.visible) for w in notifier.windows().all]})")
    # What a person sees. Each envelope is partly covered by the next one: its uncovered part
    # must show its account's colour, and where no other envelope lies (the one before shows
    # through the cut-out margin), nothing of the other account's.
    # Up to five screenshots, in case one caught a window while the desktop redrew.
    problems = []
    for _ in range(5):
        shot = Screenshot()
        problems = screen_problems(shot, windows, colours)
        if not problems:
            return windows
        time.sleep(0.7)
    shot.save(notifier.failed_screen_path)
    raise Failure(f"{what}: " + "; ".join(problems) + f" (the screen: {notifier.failed_screen_path})")


def screen_problems(shot, windows, colours):
    problems = []
    rects = [w.rect for w in windows.trail]
    for index, (rect, colour) in enumerate(zip(rects, colours)):
        own = shot.count(colour, rect, rects[index + 1:])
        alone = rects[:index] + rects[index + 1:]
        others = sum(shot.count(hue, rect, alone) for hue in (DOVECOT_HUE, DEMO_HUE) if hue is not colour)
        if own < 40 or others > 0:
            problems.append(f"envelope {index} shows {own} {colour.name} pixels and {others} of the other colour")
    body = shot.count(BODY_HUE, windows.character.rect)
    if body < 150:
        problems.append(f"the character shows only {body} body pixels")
    return problems


def expect_nothing_shown(notifier, what):
    """Waits until the trail is gone and the character hidden; then checks the screen near the
    cursor for any envelope colour or the character's body."""
    def gone():
        windows = notifier.windows()
        return windows.character and not windows.trail and not windows.character.visible

    check(wait_until(gone, WAIT), f"{what}: the trail or the character is still there")
    shot = Screenshot()
    around = (CURSOR[0] - 150, CURSOR[1] - 150, CURSOR[0] + 250, CURSOR[1] + 250)
    seen = {hue.name: shot.count(hue, around) for hue in (DOVECOT_HUE, DEMO_HUE, BODY_HUE)}
    check(not any(seen.values()), f"{what}: the screen still shows {seen}")


def wait_for_demo_checks(notifier, count, what):
    """Waits until count more checks of the demo account have run to their end: its server's
    farewell closes each one."""
    start = notifier.count_in_trace("+OK bye")
    check(wait_until(lambda: notifier.count_in_trace("+OK bye") >= start + count, WAIT),
          f"{what}: fewer than {count} completed checks of the demo account")


def start_and_point(notifier):
    notifier.start()
    # Its first timer tick traces the tray icon's state: the window and the Wine desktop are
    # up. Only then do other Wine programs start; one that starts beside a program that is
    # still bringing up the desktop can wait a long time.
    check(wait_until(notifier.trace, WAIT), "the program traced nothing")
    check(notifier.windows().character, "the program has no character window")
    # Wine puts the pointer in the middle of the screen when its desktop starts.
    desktop.move_mouse(*CURSOR)


def profile(dovecot, demo):
    def account(user, password, port, color):
        return {"Account": user, "Address": "127.0.0.1", "Port": port, "Duration": 0,
                "CryptPassward": password.encode().hex(), "COLOR": color}

    return {
        # The exit must write these two back to what every start begins with.
        "GLOBAL": {"POP_COUNT": 2, "WINDOW_POS": ID_ZORDER_BOTTOM, "ShowOnlyMailExist": 0},
        "POP0": account(DOVECOT_USER, DOVECOT_PASSWORD, dovecot.port, DOVECOT_COLOR),
        "POP1": account(DEMO_USER, DEMO_PASSWORD, demo.port, DEMO_COLOR),
    }


def run(args):
    wine = desktop.Wine(args.wine_run, args.bin)
    os.makedirs(args.work, exist_ok=True)
    check(not wine.run("zdriver.exe", "windows").stdout.strip(), "a program window is left from elsewhere")
    desktop.clear_profile(wine)
    demo = DemoServer(args.demo_server, args.work)
    notifier = Notifier(wine, args.work)
    with DovecotPop3(os.path.join(args.work, "dovecot"), lifetime=240) as dovecot:
        try:
            dovecot.add_messages(7)
            demo.start(messages=2)
            desktop.write_profile(wine, args.work, profile(dovecot, demo))
            start_and_point(notifier)

            print("1. new mail shows")
            expect_trail(notifier, [DOVECOT_HUE] * 5 + [DEMO_HUE] * 2, "new mail")

            print("2. a click acknowledges")
            desktop.click(1)
            expect_nothing_shown(notifier, "after the click")

            print("3. one new message")
            demo.add_message()
            before = expect_trail(notifier, [DEMO_HUE], "one new message")
            # It stays one, the same window: further checks bring back nothing acknowledged.
            wait_for_demo_checks(notifier, 2, "one new message")
            after = expect_trail(notifier, [DEMO_HUE], "one new message, checked again")
            check(after.trail[0].handle == before.trail[0].handle, "the envelope was replaced")

            print("4. the exit writes the options")
            check(desktop.post_command(wine, ID_APP_EXIT), "the exit command could not be posted")
            check(wait_until(lambda: notifier.process.poll() is not None, WAIT), "the program did not end")
            check(notifier.process.returncode == 0, f"exit code {notifier.process.returncode}")
            for key, expected in (("WINDOW_POS", str(ID_ZORDER_TOPMOST)), ("ShowOnlyMailExist", "1")):
                stored = desktop.read_profile(wine, "GLOBAL", key)
                check(stored == expected, f"GLOBAL {key} is {stored!r} after the exit, expected {expected}")
        finally:
            notifier.kill()
            demo.stop()
            desktop.clear_profile(wine)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--bin", required=True, help="the folder of the build's Windows programs")
    parser.add_argument("--demo-server", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        # The program, the window driver, the mouse and the screenshots must share one display.
        return subprocess.call(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", sys.executable] + sys.argv)
    try:
        run(args)
    except Failure as failure:
        print("FAILED:", failure)
        print("trace:", os.path.join(args.work, "trace.log"))
        return 1
    print("the road of new mail is whole")
    return 0


if __name__ == "__main__":
    sys.exit(main())
