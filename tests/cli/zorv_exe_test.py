"""zorv.exe under Wine: it builds the demo byte for byte as the host's zorv does, lists,
verifies and extracts it, writes the same winget manifest, and installs and uninstalls it
through the Win32 platform.

The Wine prefix is the test's own, below --work, made on the first run and kept after, so that
later runs start in a second or two. Paths reach zorv.exe as Z: paths, which Wine maps to /.
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys
from pathlib import Path


def windows(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run(cmd, env=None, cwd=None):
    result = subprocess.run(cmd, env=env, cwd=cwd, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, timeout=120)
    if result.returncode != 0:
        sys.exit(f"FAIL: {' '.join(map(str, cmd))} exited with {result.returncode}\n"
                 f"{result.stdout}{result.stderr}")
    return result.stdout


def files_below(folder):
    return sorted(p.relative_to(folder).as_posix() for p in Path(folder).rglob("*") if p.is_file())


def main():
    ap = argparse.ArgumentParser()
    for name in ("zorv", "zorv-exe", "source", "stub", "uninstaller", "work"):
        ap.add_argument("--" + name, required=True)
    a = ap.parse_args()
    work = Path(a.work)
    prefix = work / "wineprefix"
    for folder in ("linux", "windows", "extract", "extract-linux", "winget", "winget-linux",
                   "home"):
        shutil.rmtree(work / folder, ignore_errors=True)
        (work / folder).mkdir(parents=True)
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d",
               HOME=str(work / "home"))
    env.pop("DISPLAY", None)
    wine = ["wine", a.zorv_exe]
    manifest = Path(a.source) / "examples" / "demo" / "zorv.toml"

    # The same output name: the setup records it (the header's name, OriginalFilename). Both
    # levels, each with one thread and with two: the bytes depend on neither the machine nor
    # the threads.
    linux_setup = work / "linux" / "demo-setup.exe"
    windows_setup = work / "windows" / "demo-setup.exe"
    sizes = {}
    for level, jobs in ((["--best"], "1"), (["--best"], "2"), ([], "2"), ([], "1")):
        run([a.zorv, "build", manifest, "-o", linux_setup, "--stub", a.stub,
             "--uninstaller", a.uninstaller, "-j", jobs] + level)
        run(wine + ["build", windows(manifest), "-o", windows(windows_setup), "--stub",
                    windows(a.stub), "--uninstaller", windows(a.uninstaller), "-j", jobs] + level,
            env)
        if linux_setup.read_bytes() != windows_setup.read_bytes():
            sys.exit("FAIL: zorv.exe built another setup than zorv from the same manifest "
                     + " ".join(level + ["-j", jobs]))
        sizes.setdefault(tuple(level), set()).add(linux_setup.stat().st_size)
    if len(sizes[("--best",)]) != 1 or len(sizes[()]) != 1 or \
            sizes[("--best",)] == sizes[()]:
        sys.exit("FAIL: sizes by level: %r" % sizes)

    listing = run(wine + ["list", windows(windows_setup)], env)
    if listing.replace("\r\n", "\n") != run([a.zorv, "list", linux_setup]):
        sys.exit("FAIL: zorv.exe lists the demo otherwise than zorv:\n" + listing)
    run(wine + ["verify", windows(windows_setup)], env)

    run(wine + ["extract", windows(windows_setup), "-C", windows(work / "extract")], env)
    run([a.zorv, "extract", linux_setup, "-C", work / "extract-linux"])
    expected = files_below(work / "extract-linux")
    if "hello.exe" not in expected or files_below(work / "extract") != expected:
        sys.exit(f"FAIL: zorv.exe extracted {files_below(work / 'extract')}, not {expected}")
    _, differ, errors = filecmp.cmpfiles(work / "extract", work / "extract-linux", expected,
                                         shallow=False)
    if differ or errors:
        sys.exit(f"FAIL: extracted files differ: {differ + errors}")

    # The texts from the command line reach the manifest in UTF-8 through the ANSI code page.
    winget = ["--id", "Zorv.Demo", "--url", "https://example.com/demo-setup.exe", "--license",
              "MIT", "--description", "Démo für alle"]
    run(wine + ["winget", windows(windows_setup), "-o", windows(work / "winget")] + winget, env)
    run([a.zorv, "winget", linux_setup, "-o", work / "winget-linux"] + winget)
    names = files_below(work / "winget-linux")
    _, differ, errors = filecmp.cmpfiles(work / "winget", work / "winget-linux", names,
                                         shallow=False)
    if len(names) != 3 or files_below(work / "winget") != names or differ or errors:
        sys.exit(f"FAIL: zorv.exe wrote another winget manifest: {files_below(work / 'winget')}")

    # The Win32 platform: real files, links and registry keys in the prefix, and back out.
    dest, programs, desktop = r"C:\Zorv Demo", r"C:\zorv-test\Programs", r"C:\zorv-test\Desktop"
    folders = ["--programs-dir", programs, "--desktop-dir", desktop]
    run(wine + ["install", windows(windows_setup), "--dest", dest] + folders, env)
    drive_c = prefix / "drive_c"
    installed = files_below(drive_c / "Zorv Demo")
    if installed != sorted(expected + ["UnInstall.log"]):
        sys.exit(f"FAIL: zorv.exe installed {installed}")
    if not (drive_c / "zorv-test" / "Desktop" / "Zorv Demo.lnk").is_file():
        sys.exit("FAIL: no desktop link")
    run(wine + ["uninstall", dest, "--yes"] + folders, env)
    if (drive_c / "Zorv Demo").exists() or list((drive_c / "zorv-test").rglob("*.lnk")):
        sys.exit("FAIL: the uninstall left the demo behind")
    print("OK: zorv.exe builds the demo as zorv does, and lists, verifies, extracts, writes its "
          "winget manifest, installs and uninstalls it")


if __name__ == "__main__":
    main()
