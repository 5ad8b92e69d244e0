"""Installs any setup.exe headless, the way a user would with every default but "Run after
Install" (the installed program is not started), and prints what it installed: the uninstall
log, the files below the destination, the shortcuts and the registry values. Or takes a
screenshot of its page for the documentation."""

import os
import shutil
from pathlib import Path
from types import SimpleNamespace

import controls
import expect
from scenario import ZANTREL_KEY, Scenario

# Root abbreviations whose keys live in the prefix's system.reg.
# The registry files of a prefix that hold each root the package may name.
REGISTRY_FILES = {b"hlm": ("HKLM", "system.reg"), b"hcu": ("HKCU", "user.reg")}


def _print_tree(s, title, host_dir):
    print(title)
    for path in sorted(p for p in host_dir.rglob("*") if p.is_file()):
        print(f"  {path.relative_to(host_dir)}  ({path.stat().st_size} bytes)")


def _print_links(s, lines):
    for tag, value in lines:
        if tag == b"DelD" and value.startswith(s.report.folders["programs"]):
            folder = s.host_path(value)
            links = sorted(folder.rglob("*.lnk")) if folder.is_dir() else []
        elif tag == b"DelF" and value.endswith(b".lnk"):
            folder = s.host_path(value).parent
            links = [s.host_path(value)]
        else:
            continue
        for link in links:
            fields = expect.read_link(link, s.code_page)
            print(f"  {folder.name}/{link.relative_to(folder)} -> {fields.get('Local path')} "
                  f"(in {fields.get('Working directory')})")


def _print_key(keys, root, path):
    values = keys.get(path.lower())
    if values is None:
        print(f"  {root}\\{path}: missing")
        return
    print(f"  {root}\\{path}")
    for name, (kind, data) in sorted(values.items()):
        print(f"    {name or '@'} = {data!r}" + ("" if kind == "sz" else f" ({kind})"))


def play_default_install(s):
    """Installs through the page with every default but "Run after Install"."""
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("uncheck", controls.RUN_AFTER_INSTALL)
    s.step("click", controls.NEXT)
    s.step("wait-text", controls.CANCEL, b"Ok")
    s.step("snapshot", "done")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run()


def page_shot(setup_exe, driver, work, screenshots, shot):
    """Opens the page of any setup.exe, takes its screenshot as screenshots/SHOT.png (SHOT one of
    the published names) and cancels."""
    package = SimpleNamespace(setup_exe=Path(setup_exe))
    s = Scenario("page-shot", Path(work), Path(driver), Path(screenshots), package, "en")
    s.step("start")
    s.step("wait-page")
    s.step("screenshot-mark", shot)
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run(exit_code=1)  # cancelled, as a setup that zorv builds says (plain packages say 0)
    return s.finish()


def install(setup_exe, driver, work, keep=False):
    package = SimpleNamespace(setup_exe=Path(setup_exe))
    s = Scenario("demo", Path(work), Path(driver), Path(work) / "screenshots", package, "en")
    play_default_install(s)
    if s.checks.failures:
        return s.finish()

    destination = s.report.text("page", controls.DESTINATION)
    log = s.host_path(expect.join(destination, b"UnInstall.log"))
    lines = [(line[:4], line[5:]) for line in log.read_bytes().splitlines()]
    work_dir = next((value for tag, value in lines if tag == b"Work"), destination)
    print(f"installed into {work_dir.decode(s.code_page)} (setup.exe exit code "
          f"{s.report.exit_code})")
    print("UnInstall.log:")
    for tag, value in lines:
        print(f"  {tag.decode()} {value.decode(s.code_page)}")
    _print_tree(s, "files:", s.host_path(work_dir))
    print("shortcuts:")
    _print_links(s, lines)
    print("registry:")
    for tag, value in lines:
        root, _, key = value.partition(b" ")
        if tag == b"DelK" and root.lower() in REGISTRY_FILES:
            label, file = REGISTRY_FILES[root.lower()]
            _print_key(expect.read_registry(s.prefix / file), label, key.decode(s.code_page))
    name = next((value for tag, value in lines if tag == b"Name"), b"Remove ")[len("Remove "):]
    _print_key(s.registry(), "HKLM", ZANTREL_KEY + name.decode(s.code_page))
    if keep or os.environ.get("ZORV_E2E_KEEP") == "1":
        print("the prefix stays in", s.prefix)
    else:
        shutil.rmtree(s.dir, ignore_errors=True)
    return True
