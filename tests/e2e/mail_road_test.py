#!/usr/bin/env python3
"""The road of new mail through the whole program: the real Zantoli.exe under Wine and a real
Dovecot server on loopback, watched on the screen and driven with the mouse.

  mail_road_test.py --wine-run PATH --bin DIR --work DIR

Without $DISPLAY it runs itself on a virtual display. One scenario, phase after phase, because
each phase starts from where the one before left the program:

  1. new mail shows: five envelopes (the mailbox holds seven) in the account's colour on the
     screen, and the character beside them;
  2. a left click on the character acknowledges: the trail and the character go;
  3. one new message: exactly one envelope comes back, and further checks bring back nothing
     acknowledged;
  4. the exit writes the two options back to what every start begins with.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import desktop  # noqa: E402
from desktop import Hue, Screenshot, hue_of_colorref, wait_until  # noqa: E402
from dovecot_pop3 import PASSWORD, USER, DovecotPop3  # noqa: E402

ID_ZORDER_TOPMOST = 32773
ID_ZORDER_BOTTOM = 32775
ID_APP_EXIT = 57665
COLOR, HUE = 2, hue_of_colorref("cyan", 0xFFFF00)
BODY_HUE = Hue("character body", (0xF7, 0xC9, 0x48))
WAIT = 30  # seconds: the bound of every wait on the program
CURSOR = (400, 300)  # upper left quarter of the screen, so the trail runs right and down
CURSOR_OFFSET = 10  # with new mail the character sits this far above and left of the cursor


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def expect_trail(wine, count, what, work):
    """Waits until the trail holds count envelopes and the character rests beside the cursor;
    then checks the screen: each envelope's uncovered part shows the account's colour, and the
    character shows its body. Up to five screenshots, in case one caught the desktop redrawing."""
    def settled():
        windows = desktop.program_windows(wine)
        c = windows.character
        at_rest = c and c.rect[:2] == (CURSOR[0] - CURSOR_OFFSET, CURSOR[1] - CURSOR_OFFSET) and c.visible
        return windows if at_rest and len(windows.trail) == count else None

    windows = wait_until(settled, WAIT)
    check(windows, f"{what}: no resting character with {count} envelopes")
    rects = [w.rect for w in windows.trail]
    for _ in range(5):
        shot = Screenshot()
        problems = [f"envelope {i} shows {n} {HUE.name} pixels"
                    for i, n in enumerate(shot.count(HUE, rect, rects[i + 1:]) for i, rect in enumerate(rects))
                    if n < 40]
        if shot.count(BODY_HUE, windows.character.rect) < 150:
            problems.append("the character shows too little of its body")
        if not problems:
            return windows
        time.sleep(0.7)
    shot.save(os.path.join(work, "failed-screen.ppm"))
    raise Failure(f"{what}: " + "; ".join(problems))


def run(args):
    wine = desktop.Wine(args.wine_run, args.bin)
    os.makedirs(args.work, exist_ok=True)
    check(not wine.run("zdriver.exe", "windows").stdout.strip(), "a program window is left from elsewhere")
    desktop.clear_profile(wine)
    trace_path = os.path.join(args.work, "trace.log")
    notifier = None
    with DovecotPop3(os.path.join(args.work, "dovecot"), lifetime=240) as dovecot:
        try:
            dovecot.add_messages(7)
            desktop.write_profile(wine, args.work, {
                # The exit must write these two back to what every start begins with.
                "GLOBAL": {"POP_COUNT": 1, "WINDOW_POS": ID_ZORDER_BOTTOM, "ShowOnlyMailExist": 0},
                "POP0": {"Account": USER, "Address": "127.0.0.1", "Port": dovecot.port, "Duration": 0,
                         "CryptPassward": PASSWORD.encode().hex(), "COLOR": COLOR}})
            notifier = wine.start("Zantoli.exe", trace_path)
            # Its first timer tick traces the tray icon's state: the window and the Wine desktop
            # are up. Wine puts the pointer in the middle of the screen when its desktop starts.
            check(wait_until(lambda: desktop.read_trace(trace_path), WAIT), "the program traced nothing")
            desktop.move_mouse(*CURSOR)

            print("1. new mail shows")
            expect_trail(wine, 5, "new mail", args.work)

            print("2. a click acknowledges")
            desktop.click(1)
            check(wait_until(lambda: (lambda w: w.character and not w.trail and not w.character.visible)(
                desktop.program_windows(wine)), WAIT), "after the click the trail or the character is still there")

            print("3. one new message")
            dovecot.add_messages(1)
            before = expect_trail(wine, 1, "one new message", args.work)
            ends = lambda: sum(1 for line in desktop.read_trace(trace_path) if line.startswith("QUIT"))  # noqa: E731
            seen = ends()
            check(wait_until(lambda: ends() >= seen + 2, WAIT), "fewer than two further checks")
            after = expect_trail(wine, 1, "one new message, checked again", args.work)
            check(after.trail[0].handle == before.trail[0].handle, "the envelope was replaced")

            print("4. the exit writes the options")
            check(desktop.post_command(wine, ID_APP_EXIT), "the exit command could not be posted")
            check(wait_until(lambda: notifier.poll() is not None, WAIT), "the program did not end")
            check(notifier.returncode == 0, f"exit code {notifier.returncode}")
            for key, expected in (("WINDOW_POS", str(ID_ZORDER_TOPMOST)), ("ShowOnlyMailExist", "1")):
                stored = desktop.read_profile(wine, "GLOBAL", key)
                check(stored == expected, f"GLOBAL {key} is {stored!r} after the exit, expected {expected}")
        finally:
            if notifier and notifier.poll() is None:
                notifier.kill()
                notifier.wait(10)
            desktop.clear_profile(wine)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--bin", required=True, help="the folder of the build's Windows programs")
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
