"""One scenario's run: a copy of the base prefix, an X server, the driver playing a script
against setup.exe, and the checks of what the setup left behind."""

import json
import os
import shutil
import time
from pathlib import Path

import expect
import wine_env

SETUP_DIR = b"C:\\e2e"          # setup.exe is copied here, so setupDir is C:\e2e\
SETUP_EXE = SETUP_DIR + b"\\setup.exe"
INSTALLER_KEY = "Software\\Zantrel\\Installer"
ZANTREL_KEY = "Software\\Zantrel\\"
# The screenshots that are kept for the documentation; others stay in the scenario's folder.
PUBLISHED_SHOTS = ("page-en", "page-ru", "progress-en", "complete-en", "complete-ru",
                   "uninstall-en", "page-default-bitmaps")


def script_word(value):
    """One word of a driver script: numbers and step names as they are, texts quoted with
    every byte outside printable ASCII escaped."""
    if isinstance(value, int):
        return str(value).encode()
    if isinstance(value, str):
        value = value.encode("ascii")
    out = bytearray(b'"')
    for b in value:
        if b in (0x5C, 0x22):
            out += b"\\" + bytes([b])
        elif 0x20 <= b < 0x7F:
            out.append(b)
        else:
            out += b"\\x%02x" % b
    return bytes(out + b'"')


class Package:
    """The description that make_test_packages wrote next to a package, with hex decoded."""

    def __init__(self, directory):
        d = json.loads((directory / "package.json").read_text())
        unhex = lambda h: None if h is None else bytes.fromhex(h)
        self.setup_exe = directory / "setup.exe"
        self.app_name = unhex(d["app_name_hex"])
        self.default_dir = unhex(d["default_dir_hex"])
        self.required_bytes = d["required_bytes"]
        self.files = [(bytes.fromhex(f["name_hex"]), f["size"], f["crc32"]) for f in d["files"]]
        self.top_files = [bytes.fromhex(h) for h in d["top_files_hex"]]
        self.top_dirs = [bytes.fromhex(h) for h in d["top_dirs_hex"]]
        links = lambda items: [{"link": bytes.fromhex(i["link_hex"]),
                                "target": bytes.fromhex(i["target_hex"])} for i in items]
        self.group_links = links(d["group_links"])
        self.desktop_links = links(d["desktop_links"])
        r = d["root"]
        self.root = r and {"abbreviation": bytes.fromhex(r["abbreviation_hex"]),
                           "key": bytes.fromhex(r["key_hex"])}
        self.values = [(bytes.fromhex(v["name_hex"]), v["type"], bytes.fromhex(v["data_hex"]))
                       for v in d["values"]]
        self.delete_dirs = [bytes.fromhex(h) for h in d["delete_dirs_hex"]]
        self.delete_files = [bytes.fromhex(h) for h in d["delete_files_hex"]]
        self.run = unhex(d["run_hex"])
        self.bitmaps = {name: list(size) for name, size in d["bitmaps"].items()}


class Report:
    """The driver's JSON report, with texts as bytes."""

    def __init__(self, data):
        self.data = data
        self.exit_code = data["exit_code"]
        self.boxes = [(bytes.fromhex(b["text_hex"]), bytes.fromhex(b["caption_hex"]),
                       b["expected"]) for b in data["boxes"]]
        self.snapshots = {s["name"]: s for s in data["snapshots"]}
        self.folders = {k[:-4]: bytes.fromhex(v) for k, v in data["folders"].items()}

    # What a snapshot holds for a control that the page does not have.
    MISSING_CONTROL = {"missing": True, "class": None, "visible": False, "enabled": False,
                       "text_hex": "", "size": None, "client_size": None, "checked": None,
                       "selected": None, "items_hex": [], "has_image": False}

    def control(self, snapshot, control_id):
        return self.snapshots[snapshot]["controls"][str(control_id)] or self.MISSING_CONTROL

    def text(self, snapshot, control_id):
        return bytes.fromhex(self.control(snapshot, control_id)["text_hex"])

    def caption(self, snapshot):
        return bytes.fromhex(self.snapshots[snapshot]["caption_hex"])


class Scenario:
    def __init__(self, name, work, driver, screenshots, package, language):
        self.name = name
        self.work = work
        self.driver = driver
        self.screenshots = screenshots
        self.package = package
        self.language = language  # the locale of the machine: "en" or "ru"
        self.code_page = wine_env.CODE_PAGES[language]
        self.dir = work / "scenarios" / name
        self.prefix = self.dir / "prefix"
        self.lines = []
        self.checks = expect.Checks()
        self.report = None
        self.started_at = None

    # --- the script ---------------------------------------------------------------------

    def step(self, name, *args):
        self.lines.append(b" ".join([name.encode()] + [script_word(a) for a in args]))

    # --- paths in the prefix --------------------------------------------------------------

    def host_path(self, windows):
        """The host path of a C: path given as the setup's ANSI bytes."""
        text = windows.decode(self.code_page)
        if not text[:3].lower() == "c:\\":
            raise ValueError("not a C: path: " + text)
        path = self.prefix / "drive_c"
        for part in text[3:].split("\\"):
            if part:
                path = path / part
        return path

    def prepare_directory(self, windows):
        self.host_path(windows).mkdir(parents=True, exist_ok=True)

    # --- running ------------------------------------------------------------------------

    def run(self, program=SETUP_EXE, fresh=True, exit_code=0, cwd=None):
        """Plays the script against `program` (a C: path) and checks its exit code. A fresh run
        starts from a copy of the base prefix; a later one goes on in the same prefix. `cwd`
        (a C: path) is the program's current directory, else the driver's."""
        if fresh:
            if self.dir.exists():
                shutil.rmtree(self.dir)
            self.dir.mkdir(parents=True)
            base = self.work / "base-prefix"
            if not (base / "system.reg").exists():
                raise RuntimeError("no base prefix: run the e2e.prepare test first")
            wine_env.copy_prefix(base, self.prefix)
            setup_dir = self.host_path(SETUP_DIR)
            setup_dir.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(self.package.setup_exe, setup_dir / "setup.exe")
            for hook in getattr(self, "before_run", []):
                hook()
        script = self.dir / "script.txt"
        script.write_bytes(b"timeout 30000\n" + b"\n".join(self.lines) + b"\n")
        self.lines = []

        xserver = wine_env.XServer(self.dir / "xvfb.log")
        env = wine_env.wine_environment(self.work, self.prefix, self.language, xserver.display)
        try:
            self.started_at = time.time()
            code = wine_env.run_driver(
                self.driver, env, program.decode(self.code_page), script, self.dir / "report.json",
                self.dir / "shots", self.dir / "driver.log",
                lambda shot, geometry: xserver.screenshot(self.shot_path(shot), geometry),
                cwd=cwd.decode(self.code_page) if cwd else None)
            wine_env.wait_for_server(env)
        finally:
            xserver.stop()
        report_path = self.dir / "report.json"
        if not report_path.exists():
            raise RuntimeError(f"the driver wrote no report (exit code {code}); see "
                               f"{self.dir / 'driver.log'}")
        self.report = Report(json.loads(report_path.read_text()))
        self.checks.true("every step of the script passed", self.report.data["ok"],
                         self.report.data["error"])
        name = program.decode(self.code_page).rsplit("\\", 1)[-1]
        self.checks.equal(f"exit code of {name}", self.report.exit_code, exit_code)
        return self.report

    def shot_path(self, shot):
        if shot in PUBLISHED_SHOTS:
            self.screenshots.mkdir(parents=True, exist_ok=True)
            return self.screenshots / (shot + ".png")
        return self.dir / (shot + ".png")

    def registry(self):
        return expect.read_registry(self.prefix / "system.reg")

    def finish(self):
        """Removes the scenario's folder when it passed; prints why when it did not."""
        if not self.checks.failures:
            # ZORV_E2E_KEEP=1 keeps the folders of passing scenarios too, to look at them.
            if os.environ.get("ZORV_E2E_KEEP") != "1":
                shutil.rmtree(self.dir, ignore_errors=True)
            print(f"{self.name}: passed")
            return True
        print(f"{self.name}: FAILED, kept in {self.dir}")
        for failure in self.checks.failures:
            print("  - " + failure)
        driver_log = self.dir / "driver.log"
        if driver_log.exists():
            print("driver log:")
            print(driver_log.read_text(errors="replace"))
        return False
