"""The Debian package: cpack makes it from this build tree (zorv, and the win32 build's
setup.exe and uninstall.exe); unpacked into a scratch root with dpkg -x, its zorv alone builds
the demo, copied outside the source tree, byte for byte as this tree's zorv does with the stub
and the uninstaller named, finding them in its own ../lib/zorv; without them it finds none.
"""

import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from zorv_exe_test import run  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    for name in ("zorv", "source", "build", "win32-build", "work"):
        ap.add_argument("--" + name, required=True)
    a = ap.parse_args()
    work = Path(a.work).resolve()
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    resources = Path(a.win32_build).resolve() / "resources"

    run(["cpack", "-G", "DEB", "-B", work / "deb", "-D", f"CPACK_OUTPUT_FILE_PREFIX={work}"],
        cwd=a.build)
    debs = list(work.glob("zorv_*.deb"))
    if len(debs) != 1:
        sys.exit(f"FAIL: cpack made {len(debs)} .deb files")
    # Outside the build tree, as on a user's machine: a zorv there may look into its source tree.
    scratch = tempfile.TemporaryDirectory(prefix="zorv-deb-")
    root = Path(scratch.name) / "root"
    run(["dpkg-deb", "-x", debs[0], root])
    zorv = root / "usr" / "bin" / "zorv"
    for name in ("usr/lib/zorv/setup.exe", "usr/lib/zorv/uninstall.exe",
                 "usr/share/doc/zorv/README.md"):
        if not (root / name).is_file():
            sys.exit(f"FAIL: the package lacks /{name}")
    fields = run(["dpkg-deb", "-f", debs[0], "Package", "Version", "Depends"])
    version = run([zorv, "--version"]).split()[-1]
    if "Package: zorv" not in fields or f"Version: {version}" not in fields:
        sys.exit("FAIL: the package's control fields are not zorv " + version + ":\n" + fields)

    demo = Path(scratch.name) / "demo"
    shutil.copytree(Path(a.source) / "examples" / "demo", demo)
    installed = work / "installed" / "demo-setup.exe"
    here = work / "here" / "demo-setup.exe"
    installed.parent.mkdir()
    here.parent.mkdir()
    run([zorv, "build", demo / "zorv.toml", "-o", installed], cwd=work)
    run([a.zorv, "build", demo / "zorv.toml", "-o", here, "--stub", resources / "setup.exe",
         "--uninstaller", resources / "uninstall.exe"], cwd=work)
    if installed.read_bytes() != here.read_bytes():
        sys.exit("FAIL: the installed zorv built another demo setup")

    # Its stub comes from its own lib/zorv, never from the source tree it was built in.
    (root / "usr" / "lib" / "zorv" / "setup.exe").unlink()
    lost = subprocess.run([zorv, "build", demo / "zorv.toml", "-o", installed], cwd=work,
                          capture_output=True, text=True)
    if lost.returncode == 0 or "no setup stub found" not in lost.stderr \
            or str(Path(a.source).resolve()) in lost.stderr:
        sys.exit("FAIL: without its stub the installed zorv did not refuse as it should:\n"
                 + lost.stderr)
    print(f"OK: the .deb's zorv {version} builds the demo with its own stub and uninstaller")


if __name__ == "__main__":
    main()
