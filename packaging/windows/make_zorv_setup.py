"""Builds zorv-setup.exe: stages zorv.exe, the setup stub and the uninstaller of a win32 build
with the documents, copies packaging/windows/zorv.toml beside them and builds it with zorv.
  usage: make_zorv_setup.py --zorv ZORV --win32-build DIR --out zorv-setup.exe
"""

import argparse
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent.parent


def stage(win32_build, work):
    """The files as zorv-setup.exe installs them, below work/stage; the manifest and the icon
    beside it."""
    shutil.rmtree(work, ignore_errors=True)
    root = work / "stage"
    resources = win32_build / "resources"
    files = {
        "bin/zorv.exe": win32_build / "tools" / "zorv" / "zorv.exe",
        "lib/zorv/setup.exe": resources / "setup.exe",
        "lib/zorv/uninstall.exe": resources / "uninstall.exe",
        "docs/README.md": SOURCE / "README.md",
        "docs/third_party/zlib/LICENSE": SOURCE / "third_party" / "zlib" / "LICENSE",
        "docs/third_party/libdeflate/COPYING": SOURCE / "third_party" / "libdeflate" / "COPYING",
    }
    for name, source in files.items():
        if not source.is_file():
            sys.exit(f"make_zorv_setup: {source} is missing: build the win32 preset first")
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(source, root / name)
    shutil.copyfile(HERE / "zorv.toml", work / "zorv.toml")
    shutil.copyfile(resources / "setup.ico", work / "zorv.ico")
    return work / "zorv.toml"


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--zorv", required=True, help="the host zorv that builds it")
    p.add_argument("--win32-build", required=True, help="the win32 build folder")
    p.add_argument("--out", required=True, help="the setup to write, e.g. zorv-setup.exe")
    args = p.parse_args()
    out = Path(args.out).resolve()
    win32 = Path(args.win32_build).resolve()
    manifest = stage(win32, out.parent / (out.stem + "-stage"))
    resources = win32 / "resources"
    subprocess.run([args.zorv, "build", str(manifest), "-o", str(out), "--stub",
                    str(resources / "setup.exe"), "--uninstaller",
                    str(resources / "uninstall.exe")], check=True)


if __name__ == "__main__":
    main()
