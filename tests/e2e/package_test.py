#!/usr/bin/env python3
"""package_test.py PACKAGE_SCRIPT BIN_DIR WINE_RUN WORK_DIR: the zip, the silent installer and the
silent uninstaller (while the notifier runs) in a fresh Wine prefix."""
import glob
import os
import re
import shutil
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from expectations import expect, verdict  # noqa: E402

PROGRAMS = ["Zantoli.exe", "Setting.exe", "mailcheck.exe"]
SHORTCUTS = {"Zantoli.lnk": "Zantoli.exe", "Zantoli Mail Settings.lnk": "Setting.exe"}
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Zantoli"
RUN = r"Software\Microsoft\Windows\CurrentVersion\Run"
PROFILE = r"Software\QUVA\Zantoli\GLOBAL"
PROGRAM_ICON = ",-128"  # the program's icon by its id: the first icon in Zantoli.exe is the envelope's


class Prefix:
    def __init__(self, wine_run, path):
        self.wine_run, self.path = wine_run, path
        # No menu entries or file associations in the user's own desktop.
        self.env = dict(os.environ, ZANTOLI_WINEPREFIX=path, WINEPREFIX=path,
                        WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")

    def run(self, *args, wait=True):
        # No pipes: a program started here may hold them long after; waiting puts the registry on disk.
        result = subprocess.run([self.wine_run, *args], env=self.env, timeout=120,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        return result

    def user_folder(self, *parts):
        return os.path.join(glob.glob(os.path.join(self.path, "drive_c/users/[!P]*"))[0], *parts)

    def registry(self, key):
        with open(os.path.join(self.path, "user.reg"), encoding="utf-8", errors="replace") as reg:
            sections = re.split(r'^\[(.*)\] \d+.*$', reg.read(), flags=re.M)
        for name, body in zip(sections[1::2], sections[2::2]):
            if name.replace("\\\\", "\\") == key:
                return {n: re.sub(r'\\(.)', r'\1', v)
                        for n, v in re.findall(r'^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"$', body, flags=re.M)}
        return {}


def check_installed(prefix, install, menu, autostart):
    for name in PROGRAMS + ["README.txt", "LICENSE", "uninstall.exe"]:
        expect(os.path.isfile(os.path.join(install, name)), "installed " + name)
    for link, target in SHORTCUTS.items():
        path = os.path.join(menu, link)
        data = open(path, "rb").read() if os.path.isfile(path) else b""
        expect(target.encode() in data or target.encode("utf-16-le") in data, "shortcut %s to %s" % (link, target))
    entry = prefix.registry(UNINSTALL)
    expect(entry.get("DisplayName") == "Zantoli" and entry.get("UninstallString", "").endswith('\\uninstall.exe"')
          and entry.get("DisplayIcon", "").endswith("\\Zantoli.exe" + PROGRAM_ICON), "uninstall entry: %s" % entry)
    run = prefix.registry(RUN).get("Zantoli")
    expect((run or "").endswith('\\Zantoli.exe"') if autostart else run is None, "sign-in entry: %s" % run)


def main():
    package, bin_dir, wine_run, work = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    made = subprocess.run([package, "--bin", bin_dir, "--out", os.path.join(work, "dist")], check=True,
                          stdout=subprocess.PIPE, text=True).stdout.split()
    zip_path, setup = made[-2:]
    version = re.search(r"Zantoli-(.*)-setup\.exe$", setup).group(1)
    top = "Zantoli-%s/" % version
    with zipfile.ZipFile(zip_path) as archive:
        expect(sorted(archive.namelist()) == sorted([top] + [top + f for f in PROGRAMS + ["README.txt", "LICENSE"]]),
              "zip: %s" % archive.namelist())
        for program in PROGRAMS:
            expect(("ProductVersion\0" + version).encode("utf-16-le") in archive.read(top + program),
                  program + " carries version " + version)
        expect(b"MIT License" in archive.read(top + "LICENSE"), "the licence is MIT")

    prefix = Prefix(wine_run, os.path.join(work, "wineprefix"))
    prefix.run("reg", "add", "HKCU\\" + PROFILE, "/v", "POP_COUNT", "/d", "0", "/f")
    install = prefix.user_folder("AppData/Local/Programs/Zantoli")
    menu = prefix.user_folder("AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Zantoli")
    for autostart in (1, 0):  # installing again without the option turns it off
        prefix.run(setup, "/S", "/AUTOSTART=%d" % autostart)
        check_installed(prefix, install, menu, autostart)

    # The notifier runs, as it does after sign-in: the uninstaller asks it to exit first.
    zdriver = os.path.join(bin_dir, "zdriver.exe")
    prefix.run(zdriver, "start", os.path.join(install, "Zantoli.exe"), wait=False)
    expect(prefix.run(zdriver, "wait", "20000", wait=False).returncode == 0, "the installed notifier runs")
    kept = prefix.user_folder("AppData/Local/Zantoli")
    os.makedirs(kept, exist_ok=True)
    open(os.path.join(kept, "seen.txt"), "w").close()
    prefix.run(os.path.join(install, "uninstall.exe"), "/S")
    expect(not os.path.exists(install) and not os.path.exists(menu), "the program and its shortcuts are gone")
    expect(not prefix.registry(UNINSTALL) and "Zantoli" not in prefix.registry(RUN), "the registry entries are gone")
    expect(prefix.registry(PROFILE).get("POP_COUNT") == "0", "the accounts are kept")
    expect(os.path.isfile(os.path.join(kept, "seen.txt")), "the kept acknowledgements are kept")

    # Asked to, the uninstaller removes the accounts and the kept acknowledgements too.
    prefix.run(setup, "/S")
    prefix.run(os.path.join(install, "uninstall.exe"), "/S", "/REMOVEPROFILE=1")
    expect(not os.path.exists(install), "the program is gone again")
    expect(not prefix.registry(PROFILE), "the accounts are gone")
    expect(not os.path.exists(kept), "the kept acknowledgements are gone")
    return verdict("package test")


sys.exit(main())
