#!/usr/bin/env python3
"""End-to-end tests of setup.exe under Wine and Xvfb.

  harness.py prepare --work DIR --generator EXE --stub SETUP_EXE --marker MARKER_EXE
      writes the scenario packages (and a setup.exe for each) and makes the base Wine prefix
  harness.py run NAME --work DIR --driver DRIVER_EXE --screenshots DIR
      runs one scenario in a copy of the base prefix; exit code 0 when every check passed
  harness.py list
      prints the scenario names, one a line
  harness.py uninstall NAME --setup SETUP_EXE --work DIR --driver DRIVER_EXE --screenshots DIR
      --marker MARKER_EXE
      runs one scenario of the uninstaller against a setup.exe that carries it
  harness.py install SETUP_EXE --work DIR --driver DRIVER_EXE [--keep]
      installs any setup.exe headless with the default choices (but no program started after
      it) and prints what it installed; makes the base prefix in DIR when there is none
  harness.py page-shot SETUP_EXE SHOT --work DIR --driver DRIVER_EXE --screenshots DIR
      opens the page of any setup.exe, saves its screenshot as DIR/SHOT.png and cancels; makes
      the base prefix in the work folder when there is none

A scenario's folder (WORK/scenarios/NAME: prefix, script, driver report and log, failure
screenshots) is removed when it passes and kept when it fails.
"""

import argparse
import os
import subprocess
import sys
import traceback
from pathlib import Path

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

import demo  # noqa: E402
import scenarios  # noqa: E402
import uninstall_scenarios  # noqa: E402
import wine_env  # noqa: E402
from scenario import PUBLISHED_SHOTS, Package, Scenario  # noqa: E402


def prepare(args):
    work = Path(args.work).resolve()
    packages = work / "packages"
    packages.mkdir(parents=True, exist_ok=True)
    subprocess.run([args.generator, "--out", str(packages), "--stub", args.stub,
                    "--marker", args.marker], check=True)
    base = work / "base-prefix"
    # ZORV_E2E_REUSE_PREFIX=1 keeps a prefix from an earlier run, for quick rounds of work on
    # the tests themselves; a real test run makes it anew.
    wine_env.make_locales(work / "locales")
    if os.environ.get("ZORV_E2E_REUSE_PREFIX") == "1" and (base / "system.reg").exists():
        print("reusing the base prefix", base)
    else:
        wine_env.make_base_prefix(work, base, work / "wineboot.log")
    print("packages in", packages, "and the base prefix in", base)
    return 0


def ensure_base_prefix(work):
    wine_env.make_locales(work / "locales")
    if not (work / "base-prefix" / "system.reg").exists():
        wine_env.make_base_prefix(work, work / "base-prefix", work / "wineboot.log")


def install(args):
    work = Path(args.work).resolve()
    ensure_base_prefix(work)
    return 0 if demo.install(Path(args.setup).resolve(), Path(args.driver).resolve(), work,
                             args.keep) else 1


def page_shot(args):
    work = Path(args.work).resolve()
    ensure_base_prefix(work)
    return 0 if demo.page_shot(Path(args.setup).resolve(), Path(args.driver).resolve(), work,
                               Path(args.screenshots).resolve(), args.shot) else 1


def run(args):
    if args.name not in scenarios.SCENARIOS:
        print("unknown scenario", args.name, file=sys.stderr)
        return 2
    package_name, language, function = scenarios.SCENARIOS[args.name]
    work = Path(args.work).resolve()
    package = Package(work / "packages" / package_name)
    s = Scenario(args.name, work, Path(args.driver), Path(args.screenshots), package, language)
    try:
        function(s)
    except Exception:  # a crash in the checks is a failed scenario, kept for a look
        s.checks.failures.append("harness error:\n" + traceback.format_exc())
    return 0 if s.finish() else 1


def uninstall(args):
    try:
        s = uninstall_scenarios.run(args.name, Path(args.work).resolve(), Path(args.driver),
                                    Path(args.screenshots), Path(args.setup).resolve(),
                                    Path(args.marker).resolve())
    except Exception:
        print(f"{args.name}: FAILED\n" + traceback.format_exc())
        return 1
    return 0 if s.finish() else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("prepare")
    for option in ("--work", "--generator", "--stub", "--marker"):
        p.add_argument(option, required=True)
    p = sub.add_parser("run")
    p.add_argument("name")
    for option in ("--work", "--driver", "--screenshots"):
        p.add_argument(option, required=True)
    p = sub.add_parser("list")
    p.add_argument("--uninstall", action="store_true", help="the uninstaller's scenarios")
    p = sub.add_parser("uninstall")
    p.add_argument("name", choices=sorted(uninstall_scenarios.SCENARIOS))
    for option in ("--setup", "--work", "--driver", "--screenshots", "--marker"):
        p.add_argument(option, required=True)
    p = sub.add_parser("install")
    p.add_argument("setup")
    for option in ("--work", "--driver"):
        p.add_argument(option, required=True)
    p.add_argument("--keep", action="store_true", help="keep the prefix for a look")
    p = sub.add_parser("page-shot")
    p.add_argument("setup")
    p.add_argument("shot", choices=PUBLISHED_SHOTS)
    for option in ("--work", "--driver", "--screenshots"):
        p.add_argument(option, required=True)
    args = parser.parse_args()
    if args.command == "list":
        print("\n".join(uninstall_scenarios.SCENARIOS if args.uninstall else scenarios.SCENARIOS))
        return 0
    return {"prepare": prepare, "run": run, "install": install, "uninstall": uninstall,
            "page-shot": page_shot}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
