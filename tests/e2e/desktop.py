"""The desktop as a person meets it, for the whole-program tests: the mouse (xdotool), what
the screen shows (screenshots taken with ImageMagick's import, read pixel by pixel), the
program's windows (zdriver), its profile in the prefix's registry (reg.exe) and its debug
channel (Wine's debugstr trace). Every Windows program runs through the build's wine-run, in
the build's prefix and on $DISPLAY.
"""
import os
import re
import subprocess
import time

COMMAND_TIMEOUT = 60  # seconds; a Wine program start takes a second or two at most


def wait_until(condition, timeout, interval=0.25):
    """Polls until condition() returns something true or timeout seconds have passed; returns
    the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Wine:
    def __init__(self, wine_run, bin_dir):
        self.wine_run = wine_run
        self.bin_dir = bin_dir

    def run(self, program, *args):
        """Runs a program of the build (or a Wine built-in such as reg) to its end."""
        path = os.path.join(self.bin_dir, program) if program.endswith(".exe") else program
        return subprocess.run([self.wine_run, path, *args], capture_output=True, text=True,
                              timeout=COMMAND_TIMEOUT)

    def start(self, program, trace_path):
        """Starts a program of the build; what it writes to the debug channel goes to trace_path."""
        env = dict(os.environ, WINEDEBUG="-all,+debugstr")
        with open(trace_path, "wb") as trace:
            return subprocess.Popen([self.wine_run, os.path.join(self.bin_dir, program)], env=env,
                                    stdout=subprocess.DEVNULL, stderr=trace)


# ---------------------------------------------------------------------------------------------
# The program's windows, as zdriver lists them.

WINDOW_LINE = re.compile(r"hwnd=(\w+) pid=(\d+) caption=\"[^\"]*\" rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) "
                         r"visible=(\d) .* owner=(\w+) ")


class Window:
    def __init__(self, match):
        self.handle = int(match.group(1), 16)
        self.rect = tuple(int(match.group(i)) for i in range(3, 7))  # left, top, right, bottom
        self.visible = match.group(7) == "1"
        self.owner = int(match.group(8), 16)


class ProgramWindows:
    """The character window and its envelope trail at one moment."""

    def __init__(self, windows):
        self.all = windows
        characters = [w for w in windows if w.owner == 0]
        self.character = characters[0] if len(characters) == 1 else None
        # Each envelope is owned by the one before it, the first by the character.
        self.trail = []
        owner = self.character.handle if self.character else None
        by_owner = {w.owner: w for w in windows if w.owner != 0}
        while owner in by_owner and len(self.trail) < len(windows):
            self.trail.append(by_owner[owner])
            owner = self.trail[-1].handle


def program_windows(wine):
    listing = wine.run("zdriver.exe", "windows").stdout
    return ProgramWindows([Window(m) for m in map(WINDOW_LINE.search, listing.splitlines()) if m])


def post_command(wine, command):
    return wine.run("zdriver.exe", "command", str(command)).returncode == 0


# ---------------------------------------------------------------------------------------------
# The mouse.

def move_mouse(x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True, timeout=10)


def click(button=1):
    subprocess.run(["xdotool", "click", str(button)], check=True, timeout=10)


# ---------------------------------------------------------------------------------------------
# Screenshots.

class Screenshot:
    """The whole screen at one moment, 8 bits per channel."""

    def __init__(self):
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                             check=True, timeout=30).stdout
        # P6, width, height, maximum value, each followed by one whitespace byte, then the pixels.
        fields = []
        position = 0
        while len(fields) < 4:
            while raw[position:position + 1].isspace():
                position += 1
            end = position
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[position:end])
            position = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise RuntimeError("unexpected screenshot format")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = raw[position + 1:]
        self.raw = raw

    def pixel(self, x, y):
        offset = (y * self.width + x) * 3
        return tuple(self.pixels[offset:offset + 3])

    def points(self, rect, outside=()):
        """The points of rect that lie on the screen and in none of the rectangles outside."""
        left, top, right, bottom = rect
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                if not any(o[0] <= x < o[2] and o[1] <= y < o[3] for o in outside):
                    yield x, y

    def count(self, colour, rect, outside=()):
        return sum(1 for x, y in self.points(rect, outside) if colour.matches(self.pixel(x, y)))

    def save(self, path):
        with open(path, "wb") as out:
            out.write(self.raw)


class Hue:
    """A colour recognised by the ratios of its channels rather than by its values.

    The program's windows pulse in transparency; where a compositor blends them with a dark
    desktop, a pixel keeps its colour's channel ratios while its brightness changes. So a pixel
    counts as this colour when it is bright enough to judge and each channel, divided by the
    brightest one, is within a tolerance of the colour's own ratio. Greys, black and white all
    share one ratio, so the colours the tests look for must be saturated ones.
    """

    def __init__(self, name, rgb, tolerance=0.12, darkest=48):
        self.name = name
        brightest = max(rgb)
        self.ratios = tuple(channel / brightest for channel in rgb)
        self.tolerance = tolerance
        self.darkest = darkest

    def matches(self, pixel):
        brightest = max(pixel)
        if brightest < self.darkest:
            return False
        return all(abs(channel / brightest - ratio) <= self.tolerance
                   for channel, ratio in zip(pixel, self.ratios))


def hue_of_colorref(name, colorref):
    """A palette entry, stored as the GDI's 0x00BBGGRR."""
    return Hue(name, (colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF))


# ---------------------------------------------------------------------------------------------
# The program's profile in the prefix's registry.

PROFILE_KEY = r"HKCU\Software\QUVA\Zantoli"


def write_profile(wine, work, sections):
    """Writes {section: {key: text}} in one import; every value is a string, as the program
    stores them."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for section, values in sections.items():
        lines.append(f"[{PROFILE_KEY.replace('HKCU', 'HKEY_CURRENT_USER')}\\{section}]")
        for key, text in values.items():
            escaped = str(text).replace("\\", "\\\\").replace('"', '\\"')
            lines.append(f'"{key}"="{escaped}"')
        lines.append("")
    path = os.path.join(work, "profile.reg")
    with open(path, "w", newline="\r\n") as out:
        out.write("\n".join(lines))
    # reg takes a Windows path; Wine maps the Unix root to drive Z:.
    result = wine.run("reg", "import", "Z:" + path.replace("/", "\\"))
    if result.returncode != 0:
        raise RuntimeError("reg import failed: " + result.stdout + result.stderr)


def read_profile(wine, section, key):
    """The text stored under the key, or None when there is none."""
    result = wine.run("reg", "query", f"{PROFILE_KEY}\\{section}", "/v", key)
    for line in result.stdout.splitlines():
        fields = line.split(None, 2)
        if len(fields) >= 2 and fields[0] == key and fields[1].startswith("REG_"):
            return fields[2] if len(fields) == 3 else ""
    return None


def clear_profile(wine):
    wine.run("reg", "delete", PROFILE_KEY, "/f")


# ---------------------------------------------------------------------------------------------
# The debug channel.

TRACE_LINE = re.compile(r':OutputDebugStringA "(.*)"$')


def read_trace(path):
    """The program's debug-channel writes so far, as Wine quotes them ("\\r\\n" stays escaped)."""
    with open(path, "rb") as trace:
        text = trace.read().decode("latin-1")
    complete = text[:text.rfind("\n") + 1]
    return [m.group(1) for m in map(TRACE_LINE.search, complete.splitlines()) if m]
