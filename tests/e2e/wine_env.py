"""Wine prefixes, the X server and the driver: everything a scenario needs to run setup.exe.

A base prefix is made once per test run (wineboot -i, about 15 s) and copied for each scenario,
so that every scenario starts from a machine that has never seen the setup. Each scenario gets
an X server of its own, so that scenarios running side by side cannot cover each other's
windows in the screenshots.
"""

import os
import shutil
import signal
import subprocess
import time
from pathlib import Path

# Shell folders that wineboot links to the Unix home; the links are replaced by directories
# so that links the setup puts on the desktop stay inside the prefix.
LINKED_USER_FOLDERS = ("Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos")

# English runs in code page 1252, Russian in 1251, as on real machines of either language.
LOCALES = {"en": "en_US.UTF-8", "ru": "ru_RU.UTF-8"}
CODE_PAGES = {"en": "cp1252", "ru": "cp1251"}

SCREEN = "1024x768x24"


def make_locales(directory):
    """Compiles the locales of LOCALES into a directory of our own (used through LOCPATH):
    Wine takes the ANSI code page from the locale's name but converts file names with the
    locale's character set, which an uninstalled locale leaves at ASCII."""
    directory.mkdir(parents=True, exist_ok=True)
    for name in LOCALES.values():
        target = directory / name
        if not (target / "LC_CTYPE").exists():
            language, charset = name.split(".")
            subprocess.run(["localedef", "-i", language, "-f", charset, str(target)],
                           check=True, stdout=subprocess.DEVNULL)


def wine_environment(work, prefix, locale="en", display=None):
    """The environment of Wine programs in `prefix`; HOME and the compiled locales are the
    test run's own, below `work`."""
    env = dict(os.environ)
    for name in ("LANG", "LANGUAGE", "LC_CTYPE", "LC_MESSAGES"):
        env.pop(name, None)
    env.update(
        WINEPREFIX=str(prefix),
        WINEARCH="win32",
        WINEDEBUG="-all",
        # No menu entries on the host, and no offers to install Mono or Gecko.
        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d",
        HOME=str(work / "home"),
        LC_ALL=LOCALES[locale],
        LOCPATH=str(work / "locales"),
    )
    if display is None:
        env.pop("DISPLAY", None)
    else:
        env["DISPLAY"] = display
    return env


def wait_for_server(env, timeout=60):
    """Waits until the prefix's wineserver has ended, which also writes the registry files."""
    try:
        subprocess.run(["wineserver", "-w"], env=env, timeout=timeout, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        subprocess.run(["wineserver", "-k"], env=env, check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_base_prefix(work, prefix, log_path):
    """Creates a fresh 32-bit prefix whose user folders are plain directories and whose
    windows Wine decorates itself (there is no window manager on the X server)."""
    if prefix.exists():
        shutil.rmtree(prefix)
    (work / "home").mkdir(parents=True, exist_ok=True)
    make_locales(work / "locales")
    env = wine_environment(work, prefix)
    with open(log_path, "wb") as log:
        subprocess.run(["wineboot", "-i"], env=env, stdout=log, stderr=subprocess.STDOUT,
                       timeout=300, check=True)
    wait_for_server(env)
    users = prefix / "drive_c" / "users"
    for user in users.iterdir():
        for name in LINKED_USER_FOLDERS:
            folder = user / name
            if folder.is_symlink():
                folder.unlink()
                folder.mkdir()
    with open(prefix / "user.reg", "a", encoding="ascii") as reg:
        reg.write('\n[Software\\\\Wine\\\\X11 Driver] 0\n"Decorated"="N"\n')


def copy_prefix(base, target):
    if target.exists():
        shutil.rmtree(target)
    subprocess.run(["cp", "-a", str(base), str(target)], check=True)


class XServer:
    """An Xvfb of its own, on the first free display number."""

    def __init__(self, log_path):
        read_end, write_end = os.pipe()
        self._log = open(log_path, "wb")
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=self._log, stderr=subprocess.STDOUT)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start; see " + str(log_path))
        self.display = ":" + number.decode().strip()

    def screenshot(self, target, geometry=None):
        command = ["import", "-display", self.display, "-window", "root"]
        if geometry:
            x, y, w, h = geometry
            command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        subprocess.run(command + [str(target)], check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()


def windows_path(path):
    """The Z: drive path of a host path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_driver(driver, env, setup_win, script, report, shots_dir, out_log, take_shot,
               timeout=240, cwd=None):
    """Runs the driver under Wine until it ends, answering its screenshot requests with
    take_shot(name, geometry). Returns the driver's exit code (None when it had to be killed)."""
    shots_dir.mkdir(parents=True, exist_ok=True)
    command = ["wine", str(driver), "--setup", setup_win, "--script", windows_path(script),
               "--out", windows_path(report), "--shots", windows_path(shots_dir)]
    if cwd:
        command += ["--cwd", cwd]
    with open(out_log, "wb") as out:
        process = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout
        while True:
            for request in sorted(shots_dir.glob("*.req")):
                done = request.with_suffix(".done")
                if done.exists():
                    continue
                text = request.read_text()
                if not text.endswith("\n"):  # still being written
                    continue
                fields = text.split()
                geometry = tuple(int(v) for v in fields) if len(fields) == 4 else None
                take_shot(request.stem, geometry)
                done.touch()
            if process.poll() is not None:
                return process.returncode
            if time.monotonic() > deadline:
                process.kill()
                process.wait()
                return None
            time.sleep(0.05)
