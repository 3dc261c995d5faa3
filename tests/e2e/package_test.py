#!/usr/bin/env python3
"""The release package under Wine: the zip's contents; the silent installer into a fresh prefix
with and without the start at sign-in; the silent uninstaller, while the notifier runs, removes
the program and keeps the user's accounts."""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import zipfile

PROGRAMS = ["Zantoli.exe", "Setting.exe", "pop3check.exe"]
SHORTCUTS = {"Zantoli.lnk": "Zantoli.exe", "Zantoli Mail Settings.lnk": "Setting.exe"}
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Zantoli"
RUN = r"Software\Microsoft\Windows\CurrentVersion\Run"
PROFILE = r"Software\QUVA\Zantoli\GLOBAL"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


class Prefix:
    def __init__(self, wine_run, path):
        self.wine_run, self.path = wine_run, path
        self.env = dict(os.environ, ZANTOLI_WINEPREFIX=path, WINEPREFIX=path,
                        # No menu entries or file associations in the user's own desktop.
                        WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")

    def run(self, *args, wait=True):
        # No pipes: a program started from here may hold them open long after it.
        result = subprocess.run([self.wine_run, *args], env=self.env, timeout=120,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait:
            self.settle()
        return result

    def settle(self):
        """Waits until every process of the prefix has ended and the registry is on disk."""
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)

    def user_folder(self, *parts):
        users = [u for u in glob.glob(os.path.join(self.path, "drive_c/users/*")) if not u.endswith("Public")]
        return os.path.join(users[0], *parts)

    def user_registry(self):
        """user.reg as {key: {value name: text}}, string values only."""
        keys, values = {}, None
        with open(os.path.join(self.path, "user.reg"), encoding="utf-8", errors="replace") as reg:
            for line in reg:
                section = re.match(r'^\[(.*)\] \d+', line)
                if section:
                    values = keys.setdefault(section.group(1).replace("\\\\", "\\"), {})
                    continue
                value = re.match(r'^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"$', line.rstrip("\n"))
                if value and values is not None:
                    values[value.group(1)] = re.sub(r'\\(.)', r'\1', value.group(2))
        return keys


def check_zip(zip_path, version):
    with zipfile.ZipFile(zip_path) as archive:
        check(sorted(archive.namelist()) == sorted(PROGRAMS + ["README.txt", "LICENSE"]),
              "zip holds the programs, README.txt and LICENSE: %s" % archive.namelist())
        for program in PROGRAMS:
            data = archive.read(program)
            check(("ProductVersion\0" + version).encode("utf-16-le") in data,
                  program + " carries version " + version)
        check(b"MIT License" in archive.read("LICENSE"), "the licence is MIT")


def check_installed(prefix, install, autostart):
    for name in PROGRAMS + ["README.txt", "LICENSE", "uninstall.exe"]:
        check(os.path.isfile(os.path.join(install, name)), "installed " + name)
    menu = prefix.user_folder("AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zantoli")
    for link, target in SHORTCUTS.items():
        path = os.path.join(menu, link)
        data = open(path, "rb").read() if os.path.isfile(path) else b""
        check(target.encode() in data or target.encode("utf-16-le") in data, "shortcut %s to %s" % (link, target))
    registry = prefix.user_registry()
    entry = registry.get(UNINSTALL, {})
    check(entry.get("DisplayName") == "Zantoli" and entry.get("UninstallString", "").endswith('\\uninstall.exe"'),
          "uninstall entry: %s" % entry)
    run = registry.get(RUN, {}).get("Zantoli")
    if autostart:
        check(run is not None and run.startswith('"C:\\') and run.endswith('\\Zantoli.exe"'), "sign-in entry: %s" % run)
    else:
        check(run is None, "no sign-in entry when not chosen: %s" % run)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--package", required=True, help="scripts/package")
    parser.add_argument("--bin", required=True, help="the built programs")
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    dist = os.path.join(args.work, "dist")
    made = subprocess.run([args.package, "--bin", args.bin, "--out", dist], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.split()
    zip_path, setup = made[-2], made[-1]
    version = re.search(r"Zantoli-(.*)-setup\.exe$", setup).group(1)
    check_zip(zip_path, version)

    prefix = Prefix(args.wine_run, os.path.join(args.work, "wineprefix"))
    prefix.run("reg", "add", "HKCU\\" + PROFILE, "/v", "POP_COUNT", "/d", "0", "/f")
    install = prefix.user_folder("AppData/Local/Programs/Zantoli")

    prefix.run(setup, "/S", "/AUTOSTART=1")
    check_installed(prefix, install, autostart=True)
    # Installing again without the option turns it off.
    prefix.run(setup, "/S", "/AUTOSTART=0")
    check_installed(prefix, install, autostart=False)

    # The notifier runs, as it does after sign-in: the uninstaller asks it to exit first.
    zdriver = os.path.join(args.bin, "zdriver.exe")
    prefix.run(zdriver, "start", os.path.join(install, "Zantoli.exe"), wait=False)
    check(prefix.run(zdriver, "wait", "20000", wait=False).returncode == 0, "the installed notifier runs")
    prefix.run(os.path.join(install, "uninstall.exe"), "/S")
    check(not os.path.exists(install), "the program's folder is gone: %s" % (os.listdir(install) if os.path.exists(install) else ""))
    check(not os.path.exists(prefix.user_folder("AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zantoli")),
          "the shortcuts are gone")
    registry = prefix.user_registry()
    check(UNINSTALL not in registry and "Zantoli" not in registry.get(RUN, {}), "the registry entries are gone")
    check(registry.get(PROFILE, {}).get("POP_COUNT") == "0", "the accounts are kept")

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
