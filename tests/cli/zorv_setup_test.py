"""zorv-setup.exe under Wine: made from packaging/windows/zorv.toml with the win32 build, it
installs silently for the user alone (no elevation), registers itself in the user's list of
installed programs, and the zorv.exe it installs builds the demo byte for byte as the host's
zorv does, finding the stub and the uninstaller it came with (no --stub, no --uninstaller).
"""

import argparse
import re
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "e2e"))

import wine_env  # noqa: E402
from zorv_exe_test import run, windows  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    for name in ("zorv", "source", "win32-build", "work"):
        ap.add_argument("--" + name, required=True)
    a = ap.parse_args()
    work = Path(a.work).resolve()
    source = Path(a.source)
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)

    # The manifest's version is the project's (zorv --version).
    version = run([a.zorv, "--version"]).split()[-1]
    manifest = (source / "packaging" / "windows" / "zorv.toml").read_text()
    if f'version = "{version}"' not in manifest:
        sys.exit(f"FAIL: packaging/windows/zorv.toml does not carry version {version}")

    setup = work / "zorv-setup.exe"
    run([sys.executable, source / "packaging" / "windows" / "make_zorv_setup.py", "--zorv",
         a.zorv, "--win32-build", a.win32_build, "--out", setup])

    prefix = work / "prefix"
    wine_env.make_base_prefix(work, prefix, work / "wineboot.log")
    xserver = wine_env.XServer(work / "xvfb.log")
    try:
        env = wine_env.wine_environment(work, prefix, "en", xserver.display)
        with open(work / "setup.log", "wb") as log:
            code = subprocess.run(["wine", str(setup), "/S"], env=env, stdout=log,
                                  stderr=subprocess.STDOUT, timeout=120).returncode
        wine_env.wait_for_server(env)
        if code != 0:
            sys.exit(f"FAIL: zorv-setup.exe /S exited with {code}")
        installed = list(prefix.glob("drive_c/users/*/AppData/Local/Programs/Zorv"))
        if len(installed) != 1:
            sys.exit("FAIL: zorv-setup.exe did not install into %LOCALAPPDATA%\\Programs\\Zorv")
        root = installed[0]
        for name in ("bin/zorv.exe", "lib/zorv/setup.exe", "lib/zorv/uninstall.exe",
                     "uninstall.exe", "UnInstall.log", "docs/README.md"):
            if not (root / name).is_file():
                sys.exit(f"FAIL: the install lacks {name}")
        user_reg = (prefix / "user.reg").read_text(encoding="latin-1")
        entry = re.search(r"\[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall"
                          r"\\\\Zorv\].*?(?=\n\n|\Z)", user_reg, re.S)
        if not entry or f'"DisplayVersion"="{version}"' not in entry.group(0):
            sys.exit("FAIL: no entry of Zorv " + version + " in the user's installed programs")
        if "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Zorv]" in \
                (prefix / "system.reg").read_text(encoding="latin-1"):
            sys.exit("FAIL: the per-user install wrote the machine's list of programs")

        # The installed zorv.exe, on its own: the stub and the uninstaller from its lib\zorv.
        demo = source / "examples" / "demo" / "zorv.toml"
        linux = work / "linux" / "demo-setup.exe"
        win = work / "windows" / "demo-setup.exe"
        linux.parent.mkdir()
        win.parent.mkdir()
        resources = Path(a.win32_build) / "resources"
        run([a.zorv, "build", demo, "-o", linux, "--stub", resources / "setup.exe",
             "--uninstaller", resources / "uninstall.exe"])
        env.pop("DISPLAY", None)
        run(["wine", str(root / "bin" / "zorv.exe"), "build", windows(demo), "-o", windows(win)],
            env)
        if linux.read_bytes() != win.read_bytes():
            sys.exit("FAIL: the installed zorv.exe built another demo setup than zorv")
    finally:
        xserver.stop()
    print(f"OK: zorv-setup.exe {version} installs for the user alone and its zorv.exe builds "
          "the demo as zorv does")


if __name__ == "__main__":
    main()
