"""The uninstaller under Wine: the demo setup.exe that `zorv build` makes (with uninstall.exe
and its entry in the list of installed programs) is installed through its page, then removed
by its uninstall.exe, asked or silent, and by hostile logs that must remove nothing outside.

What the install made is read from its own UnInstall.log and the prefix, so the checks hold
for any package: every file, folder, link and key that the log names must be gone after, and
everything else must be as it was."""

import os
import shutil
import subprocess
import threading
import time
from pathlib import Path
from types import SimpleNamespace

import controls
import demo
import expect
from scenario import ZANTREL_KEY, Scenario

UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
REGISTRY_FILES = {b"hlm": "system.reg", b"hcu": "user.reg"}
EXIT_REFUSED_LOG = 2
EXIT_LEFT_BEHIND = 3

SCENARIOS = {}


def scenario(name):
    def register(function):
        SCENARIOS[name] = function
        return function
    return register


def install(s):
    """Installs with the page's defaults but "Run after Install"; the log's lines."""
    demo.play_default_install(s)
    destination = s.report.text("page", controls.DESTINATION)
    log = s.host_path(expect.join(destination, b"UnInstall.log")).read_bytes()
    return [(line[:4], line[5:]) for line in log.splitlines()]


def key_exists(s, root, path):
    return path.lower() in expect.read_registry(s.prefix / REGISTRY_FILES[root.lower()])


class Installed:
    """What one install left, from its log and the prefix."""

    def __init__(self, s, lines):
        self.lines = lines
        self.name = next(v for t, v in lines if t == b"Name")[len(b"Remove "):]
        self.work = next(v for t, v in lines if t == b"Work")
        self.work_dir = s.host_path(self.work)
        self.files = sorted(p for p in self.work_dir.rglob("*") if p.is_file())
        self.paths = [s.host_path(v) for t, v in lines if t in (b"DelF", b"DelD")
                      and b"*" not in v and s.host_path(v).exists()]
        self.keys = [(v.split(b" ", 1)[0], v.split(b" ", 1)[1].decode(s.code_page))
                     for t, v in lines if t == b"DelK"]
        self.app_key = ZANTREL_KEY + self.name.decode(s.code_page)
        self.uninstaller = expect.join(self.work, b"uninstall.exe")


def outside_snapshot(s):
    """Files of the Windows folder and a file of the user's at the drive's top."""
    mine = s.host_path(b"C:\\mine.txt")
    mine.write_text("the user's own")
    return sorted(p for p in s.host_path(b"C:\\windows").rglob("*") if p.is_file())


def check_outside(s, before):
    after = sorted(p for p in s.host_path(b"C:\\windows").rglob("*") if p.is_file())
    s.checks.equal("files of C:\\windows after", len(after), len(before))
    s.checks.true("C:\\mine.txt survives", s.host_path(b"C:\\mine.txt").exists())
    s.checks.true("HKLM\\Software\\Microsoft survives",
                  key_exists(s, b"HLM", "Software\\Microsoft\\Windows\\CurrentVersion"))


def check_removed(s, installed, work_stays):
    for path in installed.paths:
        s.checks.true(f"{path} is gone", not path.exists())
    for path in installed.files:
        s.checks.true(f"{path.name} is gone", not path.exists())
    for root, key in installed.keys:
        s.checks.true(f"{root.decode()}\\{key} is gone", not key_exists(s, root, key))
    s.checks.true("the application's language key is gone",
                  not key_exists(s, b"HLM", installed.app_key))
    s.checks.equal("the folder stays", installed.work_dir.exists(), work_stays)


def check_registered(s, installed):
    key = UNINSTALL_KEY + installed.name.decode(s.code_page)
    values = expect.read_registry(s.prefix / "system.reg").get(key.lower(), {})
    s.checks.true("the list of installed programs has the application", bool(values))
    quoted = b'"' + installed.uninstaller + b'"'
    s.checks.equal("UninstallString", values.get("uninstallstring", (None, None))[1],
                   quoted.decode(s.code_page))
    s.checks.true("the log removes the entry", (b"HLM", key) in installed.keys)


@scenario("uninstall-asked")
def uninstall_asked(s):
    """Yes to the question: everything installed goes, a file the user added stays, and with
    it the folder."""
    installed = Installed(s, install(s))
    check_registered(s, installed)
    before = outside_snapshot(s)
    (installed.work_dir / "notes-of-mine.txt").write_text("kept")
    s.step("boxes-of-any-process")
    s.step("start")
    s.step("wait-box")
    s.step("screenshot-mark", "uninstall-en")
    s.step("answer-box", 6)  # IDYES
    s.step("wait-box")
    s.step("ok-box")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False)
    boxes = s.report.boxes
    s.checks.equal("the question", boxes[0][0] if boxes else None,
                   b"Remove " + installed.name + b" and all of its components?")
    s.checks.equal("the caption", boxes[0][1] if boxes else None,
                   b"Uninstall " + installed.name)
    check_removed(s, installed, work_stays=True)
    s.checks.true("the user's file stays", (installed.work_dir / "notes-of-mine.txt").exists())
    check_outside(s, before)


@scenario("uninstall-declined")
def uninstall_declined(s):
    """No to the question: nothing goes, exit code 1."""
    installed = Installed(s, install(s))
    s.step("boxes-of-any-process")
    s.step("start")
    s.step("wait-box")
    s.step("answer-box", 7)  # IDNO
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, exit_code=1)
    for path in installed.files:
        s.checks.true(f"{path.name} stays", path.exists())


@scenario("uninstall-silent")
def uninstall_silent(s):
    """/S: no box at all, everything goes, the folder with it, exit code 0."""
    installed = Installed(s, install(s))
    before = outside_snapshot(s)
    s.step("boxes-of-any-process")
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False)
    s.checks.equal("boxes", len(s.report.boxes), 0)
    check_removed(s, installed, work_stays=False)
    check_outside(s, before)


@scenario("uninstall-hostile")
def uninstall_hostile(s):
    """Forged lines act on nothing outside, and the run says so with its exit code; a log whose
    "Work" is the drive's root is refused whole."""
    installed = Installed(s, install(s))
    before = outside_snapshot(s)
    log = installed.work_dir / "UnInstall.log"
    forged = b"DelD C:\\windows\nDelF ..\\..\\mine.txt\nDelF C:\\mine.txt\nDelK HLM Software\n"
    log.write_bytes(b"Name Remove x\nWork C:\\\n" + forged)
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, exit_code=EXIT_REFUSED_LOG)
    for path in installed.files[:3]:
        s.checks.true(f"{path.name} stays under a refused log", path.exists())
    log.write_bytes(b"Name Remove x\nWork " + installed.work + b"\n" + forged)
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, exit_code=EXIT_LEFT_BEHIND)
    check_outside(s, before)


# U+FF0E U+FF0E U+FF3C: what a best-fit conversion to code page 1252 turns into "..\\".
CLIMB = "\uff0e\uff0e\uff3c"


def depth(windows):
    return len([p for p in windows.split(b"\\")[1:] if p])


def victims(s, names):
    """Files outside every folder the uninstaller may act in, each holding its own name."""
    paths = []
    for name in names:
        path = s.host_path(name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(name)
        paths.append(path)
    return paths


def check_victims(s, paths):
    for path in paths:
        s.checks.true(f"{path} outside is untouched", path.is_file())


@scenario("uninstall-best-fit")
def uninstall_best_fit(s):
    """Names that a best-fit conversion would turn into "..\\", made by the user inside the
    program group and the application's folder: never acted on, and the run says so."""
    installed = Installed(s, install(s))
    group = next(v for t, v in installed.lines
                 if t == b"DelD" and not v.lower().startswith(installed.work.lower()))
    outside = victims(s, [b"C:\\victimdir\\secret.txt", b"C:\\victim.log"])
    s.host_path(group).joinpath(CLIMB * depth(group) + "victimdir").mkdir()
    installed.work_dir.joinpath(CLIMB * depth(installed.work) + "victim.log").write_text("x")
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, exit_code=EXIT_LEFT_BEHIND)
    check_victims(s, outside)
    # The log stays for another run, and with it the uninstaller.
    for path in installed.files:
        if path.suffix != ".log" and path.name != "uninstall.exe":
            s.checks.true(f"{path.name} is gone", not path.exists())


@scenario("uninstall-links-on-the-way")
def uninstall_links_on_the_way(s):
    """The application's data folder turned into a link to a folder elsewhere (under Wine a
    Unix symbolic link, which Windows programs see as a plain folder), and a link to a file:
    the setup's own lines remove nothing through them."""
    installed = Installed(s, install(s))
    data = installed.work_dir / "data"
    elsewhere = s.host_path(b"C:\\Victim")
    shutil.copytree(data, elsewhere)
    (elsewhere / "cache").mkdir(exist_ok=True)
    (elsewhere / "cache" / "kept.txt").write_text("kept")
    (elsewhere / "scores.dat").write_text("kept")
    outside = [p for p in elsewhere.rglob("*") if p.is_file()]
    shutil.rmtree(data)
    os.symlink(elsewhere, data)
    outside += victims(s, [b"C:\\out\\secret.txt"])
    os.symlink(outside[-1], installed.work_dir / "flink")
    log = installed.work_dir / "UnInstall.log"
    log.write_bytes(log.read_bytes() + b"DelF " + installed.work + b"\\flink\n")
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, exit_code=EXIT_LEFT_BEHIND)
    check_victims(s, outside)
    s.checks.true("the link to a folder is no folder of the application's any more",
                  elsewhere.is_dir())


def temp_folders(s):
    users = s.prefix / "drive_c" / "users"
    found = [p for p in users.glob("*/AppData/Local/Temp") if p.is_dir()]
    found += [p for p in users.glob("*/Temp") if p.is_dir()]
    return found + [s.prefix / "drive_c" / "windows" / "temp"]


@scenario("uninstall-temp-copy-replaced")
def uninstall_temp_copy_replaced(s):
    """Another process of the user replaces the uninstaller's copy in the temporary folder as
    soon as it appears: whatever stands at that path later is never started."""
    installed = Installed(s, install(s))
    folders = temp_folders(s)
    replaced = []
    stop = threading.Event()

    def replace_copies():
        while not stop.is_set():
            for folder in folders:
                for copy in list(folder.glob("zun*")) + list(folder.glob("zun*/*.exe")):
                    if copy.is_file() and copy not in replaced:
                        time.sleep(0.2)
                        copy.unlink()
                        shutil.copyfile(s.marker, copy)
                        replaced.append(copy)
            time.sleep(0.02)

    # A program started by the driver's chain writes its marker in the current directory.
    stray_marker = Path.cwd() / "e2e-marker.txt"
    if stray_marker.exists():
        stray_marker.unlink()
    watcher = threading.Thread(target=replace_copies, daemon=True)
    watcher.start()
    s.step("start", "/S")
    s.step("wait-exit")
    try:
        s.run(installed.uninstaller, fresh=False)
        time.sleep(1)
    finally:
        stop.set()
        watcher.join()
    s.checks.true("the copy was there to replace", bool(replaced))
    markers = list((s.prefix / "drive_c").rglob("e2e-marker.txt"))
    markers += [stray_marker] if stray_marker.exists() else []
    s.checks.equal("programs started from the replaced copy", [str(m) for m in markers], [])
    check_removed(s, installed, work_stays=False)


@scenario("uninstall-keeps-users-files")
def uninstall_keeps_users_files(s):
    """A file that the user made inside an installed folder survives /S, with the folders that
    hold it; everything the install wrote goes, and the run is complete (exit code 0)."""
    installed = Installed(s, install(s))
    levels = installed.work_dir / "data" / "levels"
    mine = levels / "mynotes.txt"
    mine.write_text("the user's own")
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False)
    s.checks.true("the user's file stays", mine.is_file())
    for path in installed.files:
        s.checks.true(f"{path.name} is gone", not path.exists())
    s.checks.true("the log is gone", not (installed.work_dir / "UnInstall.log").exists())


@scenario("uninstall-from-its-own-folder")
def uninstall_from_its_own_folder(s):
    """Started in its own folder, as a double-click in Explorer starts it: /S still removes
    the emptied folder, since no process of the uninstall keeps it as its current directory."""
    installed = Installed(s, install(s))
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False, cwd=installed.work)
    time.sleep(1)  # the copy removes the original and the folder once the original has ended
    check_removed(s, installed, work_stays=False)


# The demo is a release of our builder: its setup takes "/S" and "/D=" and ends with exit codes.
EXIT_CANCELLED = 1
EXIT_FAILED = 2
EXIT_FILE_IN_USE = 3
EXIT_NO_SPACE = 4
DEMO_FOLDER = b"C:\\Program Files\\Zorv Demo"
QUICK_NOTES = b"C:\\Apps\\Quick Notes"


def work_line(s, folder):
    log = s.host_path(expect.join(folder, b"UnInstall.log"))
    lines = log.read_bytes().splitlines() if log.is_file() else []
    return next((line[5:] for line in lines if line.startswith(b"Work ")), None)


@scenario("release-silent")
def release_silent(s):
    """/S installs with no page and no box into the folder the page proposes, and with
    "/D=" (blanks and all, no quotes) into that one; exit code 0 both times."""
    s.step("start", "/S")
    s.step("wait-exit")
    s.run()
    s.checks.equal("boxes", len(s.report.boxes), 0)
    s.checks.true("the program is installed", s.host_path(DEMO_FOLDER + b"\\hello.exe").is_file())
    s.checks.equal("the log's folder", work_line(s, DEMO_FOLDER), DEMO_FOLDER)
    s.step("start", "/S", "/D=" + QUICK_NOTES.decode())
    s.step("wait-exit")
    s.run()
    s.checks.equal("boxes", len(s.report.boxes), 0)
    s.checks.true("installed where /D= says", s.host_path(QUICK_NOTES + b"\\hello.exe").is_file())
    s.checks.equal("the log's folder", work_line(s, QUICK_NOTES), QUICK_NOTES)


@scenario("release-page-and-cancel")
def release_page_and_cancel(s):
    """Without /S, "/D=" is the folder the page proposes; Cancel ends with exit code 1."""
    s.step("start", "/D=" + QUICK_NOTES.decode())
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run(exit_code=EXIT_CANCELLED)
    s.checks.equal("the proposed folder", s.report.text("page", controls.DESTINATION),
                   QUICK_NOTES)
    s.checks.true("nothing installed", not s.host_path(QUICK_NOTES).exists())


@scenario("release-failure")
def release_failure(s):
    """A folder stands where a file goes: /S ends with exit code 2 and shows no box."""
    s.before_run = [lambda: s.host_path(DEMO_FOLDER + b"\\hello.exe").mkdir(parents=True)]
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(exit_code=EXIT_FAILED)
    s.checks.equal("boxes", len(s.report.boxes), 0)


@scenario("release-no-space")
def release_no_space(s):
    """/S onto a volume with less free space than the package needs (a 32 KiB tmpfs as drive
    D:) ends with exit code 4 before anything is written there, and shows no box."""
    volume = s.work / "small-volume"
    volume.mkdir(exist_ok=True)
    if os.geteuid() != 0:
        raise RuntimeError("mounting the small volume needs root")

    def mount():
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=32k", "tmpfs", str(volume)], check=True)
        (s.prefix / "dosdevices" / "d:").symlink_to(volume)

    s.before_run = [mount]
    try:
        s.step("start", "/S", "/D=D:\\Zorv Demo")
        s.step("wait-exit")
        s.run(exit_code=EXIT_NO_SPACE)
        s.checks.equal("boxes", len(s.report.boxes), 0)
        s.checks.equal("written to the volume", sorted(os.listdir(volume)), [])
    finally:
        subprocess.run(["umount", str(volume)], check=False)


@scenario("release-file-in-use")
def release_file_in_use(s):
    """A file of the installed version held open by another program: /S ends with exit code 3
    and no box; on the page the question comes with Retry and Cancel, and Cancel ends with 3."""
    s.step("start", "/S")
    s.step("wait-exit")
    s.run()
    program = (DEMO_FOLDER + b"\\hello.exe").decode()
    s.step("hold", program)
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(fresh=False, exit_code=EXIT_FILE_IN_USE)
    s.checks.equal("boxes", len(s.report.boxes), 0)
    s.step("hold", program)
    s.step("start")
    s.step("wait-page")
    s.step("click", controls.NEXT)
    s.step("wait-box")
    s.step("answer-box", 2)  # IDCANCEL
    s.step("wait-exit")
    s.run(fresh=False, exit_code=EXIT_FILE_IN_USE)
    boxes = s.report.boxes
    s.checks.equal("the question", boxes[0][0] if boxes else None,
                   b"The file is in use by another program:\n" + program.encode() +
                   b"\n\nClose that program and press Retry, or press Cancel to stop the install.")
    s.checks.equal("one box", len(boxes), 1)


@scenario("release-upgrade-finds-folder")
def release_upgrade_finds_folder(s):
    """Installed once with /D=, the setup proposes that folder the next time, on the page and
    with /S: its entry in the list of installed programs and its log there say so."""
    s.step("start", "/S", "/D=" + QUICK_NOTES.decode())
    s.step("wait-exit")
    s.run()
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run(fresh=False, exit_code=EXIT_CANCELLED)
    s.checks.equal("the proposed folder", s.report.text("page", controls.DESTINATION),
                   QUICK_NOTES)
    (s.host_path(QUICK_NOTES) / "hello.exe").unlink()
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(fresh=False)
    s.checks.true("/S installs there again", s.host_path(QUICK_NOTES + b"\\hello.exe").is_file())
    s.checks.true("and nowhere else", not s.host_path(DEMO_FOLDER).exists())


V2_SETUP = b"C:\\e2e\\setup-v2.exe"


def install_both_versions(s, hold=None):
    """Version 1 with /S into QUICK_NOTES, then version 2 with /S, which finds that folder
    (holding `hold`, a path below it, open without sharing, when given); the log of each."""
    s.step("start", "/S", "/D=" + QUICK_NOTES.decode())
    s.step("wait-exit")
    s.run()
    first = Installed(s, [(line[:4], line[5:]) for line in
                          s.host_path(QUICK_NOTES + b"\\UnInstall.log").read_bytes().splitlines()])
    shutil.copyfile(s.package.upgrade_exe, s.host_path(V2_SETUP))
    if hold:
        s.step("hold", (QUICK_NOTES + b"\\" + hold).decode())
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(V2_SETUP, fresh=False, exit_code=EXIT_FILE_IN_USE if hold else 0)
    log = s.host_path(QUICK_NOTES + b"\\UnInstall.log").read_bytes()
    return first, [(line[:4], line[5:]) for line in log.splitlines()]


def check_nothing_left(s, first, second_lines):
    """uninstall.exe /S ends with 0 and leaves nothing that either version made."""
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(first.uninstaller, fresh=False)
    time.sleep(1)  # the copy removes the original and the folder once the original has ended
    s.checks.true("the install folder is gone", not first.work_dir.exists())
    links = [s.host_path(v) for t, v in first.lines + second_lines if t == b"DelF"
             and v.lower().endswith(b".lnk")]
    for link in links:
        s.checks.true(f"{link.name} is gone", not link.exists())
    for root, key in first.keys + Installed(s, second_lines).keys:
        s.checks.true(f"{root.decode()}\\{key} is gone", not key_exists(s, root, key))


@scenario("release-upgrade-then-uninstall")
def release_upgrade_then_uninstall(s):
    """Version 2 over version 1: one log names what both installed, once each, and
    uninstall.exe /S then removes all of it; the entry in the list of installed programs says
    version 2."""
    first, lines = install_both_versions(s)
    old_only = expect.join(QUICK_NOTES, b"docs\\changes.txt")
    s.checks.true("version 1's file is in the log", (b"DelF", old_only) in lines)
    s.checks.equal("lines written twice", len(lines) - len(set(lines)), 0)
    s.checks.true("version 2's file is installed",
                  s.host_path(QUICK_NOTES + b"\\docs\\whatsnew.txt").is_file())
    entry = expect.read_registry(s.prefix / "system.reg").get(
        (UNINSTALL_KEY + "Zorv Demo").lower(), {})
    s.checks.equal("DisplayVersion", entry.get("displayversion", (None, None))[1], "2.0")
    check_nothing_left(s, first, lines)


@scenario("release-upgrade-fails-midway")
def release_upgrade_fails_midway(s):
    """Version 2 stops at a file of version 1 held open (exit code 3): its log still names all
    that version 1 installed and what version 2 wrote before, and uninstall.exe /S removes it."""
    first, lines = install_both_versions(s, hold=b"data\\settings.ini")
    s.checks.true("version 1's file is still in the log",
                  (b"DelF", expect.join(QUICK_NOTES, b"docs\\changes.txt")) in lines)
    s.checks.true("and version 2's first files",
                  (b"DelF", expect.join(QUICK_NOTES, b"docs\\whatsnew.txt")) in lines)
    check_nothing_left(s, first, lines)


def execution_level(exe):
    """The level that an executable's manifest asks for, read with wrestool."""
    xml = subprocess.run(["wrestool", "-x", "--raw", "-t", "24", str(exe)],
                         capture_output=True, check=True).stdout
    start = xml.find(b'level="') + 7
    return xml[start:xml.find(b'"', start)].decode()


def registry_keys(s, name):
    return set(expect.read_registry(s.prefix / name))


@scenario("release-signed")
def release_signed(s):
    """A setup.exe signed after the build (as [signing] does) still finds its package and
    installs with /S."""
    keys = s.work / "signing"
    keys.mkdir(exist_ok=True)
    key, cert, signed = keys / "key.pem", keys / "cert.pem", keys / "signed-setup.exe"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                    str(key), "-out", str(cert), "-days", "2", "-subj", "/CN=Zorv e2e"],
                   check=True, capture_output=True)
    signed.unlink(missing_ok=True)
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-in",
                    str(s.package.setup_exe), "-out", str(signed)], check=True, capture_output=True)
    s.package = SimpleNamespace(setup_exe=signed)
    s.step("start", "/S")
    s.step("wait-exit")
    s.run()
    s.checks.true("the program is installed", s.host_path(DEMO_FOLDER + b"\\hello.exe").is_file())


@scenario("release-machine-scope")
def release_machine_scope(s):
    """A release for the machine asks for administrator rights, puts its links in all users'
    Programs folder and its entry in the list of installed programs under HKEY_LOCAL_MACHINE."""
    s.step("start", "/S")
    s.step("wait-exit")
    s.run()
    installed = Installed(s, [(line[:4], line[5:]) for line in s.host_path(
        DEMO_FOLDER + b"\\UnInstall.log").read_bytes().splitlines()])
    s.checks.equal("setup.exe asks for", execution_level(s.package.setup_exe),
                   "requireAdministrator")
    s.checks.equal("uninstall.exe asks for", execution_level(installed.work_dir / "uninstall.exe"),
                   "requireAdministrator")
    group = next(v for t, v in installed.lines if t == b"DelD" and v.endswith(b"\\Zorv Demo"))
    s.checks.true("the group is all users'", group.lower().startswith(b"c:\\programdata\\"))
    key = (UNINSTALL_KEY + "Zorv Demo").lower()
    s.checks.true("the entry is the machine's", key in registry_keys(s, "system.reg"))
    s.checks.true("and not the user's", key not in registry_keys(s, "user.reg"))


@scenario("release-user-scope")
def release_user_scope(s):
    """A release for the user alone asks for no elevation, installs below the user's local
    application data, links in the user's own Start menu, enters itself under
    HKEY_CURRENT_USER and writes nothing under HKEY_LOCAL_MACHINE; its uninstall.exe /S then
    removes all of it."""
    s.package = SimpleNamespace(setup_exe=s.package.user_exe)
    machine_before = set(expect.read_registry(s.work / "base-prefix" / "system.reg"))
    s.step("start", "/S")
    s.step("wait-exit")
    s.run()
    logs = list((s.prefix / "drive_c" / "users").glob(
        "*/AppData/Local/Programs/Zorv Demo/UnInstall.log"))
    s.checks.equal("one install below the user's local application data", len(logs), 1)
    if not logs:
        return
    lines = [(line[:4], line[5:]) for line in logs[0].read_bytes().splitlines()]
    installed = Installed(s, lines)
    s.checks.equal("setup.exe asks for", execution_level(s.package.setup_exe), "asInvoker")
    s.checks.equal("uninstall.exe asks for", execution_level(installed.work_dir / "uninstall.exe"),
                   "asInvoker")
    group = next(v for t, v in lines if t == b"DelD" and v.endswith(b"\\Zorv Demo"))
    s.checks.true("the group is the user's", b"\\appdata\\roaming\\" in group.lower())
    key = (UNINSTALL_KEY + "Zorv Demo").lower()
    s.checks.true("the entry is the user's", key in registry_keys(s, "user.reg"))
    # The setup's own stored language is tried there at start, before the package is read,
    # and fails without a word where the user may not write (Wine lets anybody).
    new_machine_keys = [k for k in registry_keys(s, "system.reg") - machine_before
                        if ("zorv" in k or "zantrel" in k) and k != "software\\zantrel\\installer"]
    s.checks.equal("keys written under HKEY_LOCAL_MACHINE", new_machine_keys, [])
    s.step("start", "/S")
    s.step("wait-exit")
    s.run(installed.uninstaller, fresh=False)
    time.sleep(1)  # the copy removes the original and the folder once the original has ended
    check_removed(s, installed, work_stays=False)
    s.checks.true("the entry is gone", key not in registry_keys(s, "user.reg"))


def run(name, work, driver, screenshots, setup_exe, marker=None):
    package = SimpleNamespace(setup_exe=Path(setup_exe),
                              upgrade_exe=Path(setup_exe).with_name("demo-v2-with-uninstaller.exe"),
                              user_exe=Path(setup_exe).with_name("demo-user-with-uninstaller.exe"))
    s = Scenario(name, Path(work), Path(driver), Path(screenshots), package, "en")
    s.marker = marker
    SCENARIOS[name](s)
    return s
