"""Installs any setup.exe headless, the way a user would with every default but "Run after
Install" (the installed program is not started), and prints what it installed: the uninstall
log, the files below the destination, the shortcuts and the registry values."""

import os
import shutil
from pathlib import Path
from types import SimpleNamespace

import expect
from scenario import ZANTREL_KEY, Scenario

# Root abbreviations whose keys live in the prefix's system.reg.
REGISTRY_ROOTS_IN_SYSTEM_REG = (b"hlm",)


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


def _print_key(s, keys, path):
    values = keys.get(path.lower())
    if values is None:
        print(f"  HKLM\\{path}: missing")
        return
    print(f"  HKLM\\{path}")
    for name, (kind, data) in sorted(values.items()):
        print(f"    {name or '@'} = {data!r}" + ("" if kind == "sz" else f" ({kind})"))


def install(setup_exe, driver, work, keep=False):
    package = SimpleNamespace(setup_exe=Path(setup_exe))
    s = Scenario("demo", Path(work), Path(driver), Path(work) / "screenshots", package, "en")
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("uncheck", 1003)
    s.step("click", 1006)
    s.step("wait-text", 1007, b"Ok")
    s.step("snapshot", "done")
    s.step("click", 1007)
    s.step("wait-exit")
    s.run()
    if s.checks.failures:
        return s.finish()

    destination = s.report.text("page", 1000)
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
    keys = s.registry()
    for tag, value in lines:
        root, _, key = value.partition(b" ")
        if tag == b"DelK" and root.lower() in REGISTRY_ROOTS_IN_SYSTEM_REG:
            _print_key(s, keys, key.decode(s.code_page))
    name = next((value for tag, value in lines if tag == b"Name"), b"Remove ")[len("Remove "):]
    _print_key(s, keys, ZANTREL_KEY + name.decode(s.code_page))
    if keep or os.environ.get("ZORV_E2E_KEEP") == "1":
        print("the prefix stays in", s.prefix)
    else:
        shutil.rmtree(s.dir, ignore_errors=True)
    return True
