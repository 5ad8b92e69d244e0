"""The end-to-end scenarios. Each one names its package and the language of the machine,
writes the driver's script, runs it, and checks the page, the boxes, the files, the uninstall
log, the shortcuts, the registry and the exit code."""

import checks
import controls
import expect
from scenario import INSTALLER_KEY, SETUP_DIR

SCENARIOS = {}


def scenario(name, package="standard", language="en"):
    def register(function):
        SCENARIOS[name] = (package, language, function)
        return function
    return register


def default_destination(s):
    parent = s.package.default_dir or s.report.folders["appdata"]
    return expect.join(parent, s.package.app_name)


def install_to_completion(s, language, shot=None):
    """Next, then the completion state, then Ok; screenshots of the completion on request."""
    s.step("click", controls.NEXT)
    s.step("wait-text", controls.FILE_NAME_LINE, expect.ansi(expect.COMPLETE[language]))
    s.step("snapshot", "done")
    if shot:
        s.step("screenshot-mark", shot)
    s.step("click", controls.CANCEL)
    s.step("wait-exit")


def complete_install_checks(s, destination, language, desktop=True):
    checks.completion_page(s, "done", language)
    checks.boxes(s, [])
    checks.installed_files(s, destination)
    checks.uninstall_log(s, destination, desktop=desktop)
    checks.links(s, destination, desktop=desktop)
    checks.registry_values(s, destination)


@scenario("default")
def default(s):
    """English, every option on, the proposed destination: the whole install, then Ok."""
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("screenshot-mark", "page-en")
    install_to_completion(s, "en", shot="complete-en")
    s.run()
    destination = default_destination(s)
    checks.page_texts(s, "page", "en")
    checks.choosing_page(s, "page", destination)
    complete_install_checks(s, destination, "en")
    # A first start stores English.
    checks.stored_languages(s, "en", "en")


@scenario("russian", package="russian", language="ru")
def russian(s):
    """A stored "Ru" (any case) makes the page Russian from the start and is left as it is;
    the package's default folder, Russian file, link and value names."""
    s.step("reg-set", "HKLM", INSTALLER_KEY, "Language", "Ru")
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("screenshot-mark", "page-ru")
    install_to_completion(s, "ru", shot="complete-ru")
    s.run()
    destination = default_destination(s)
    checks.page_texts(s, "page", "ru")
    checks.choosing_page(s, "page", destination)
    complete_install_checks(s, destination, "ru")
    checks.stored_languages(s, "Ru", "ru")


@scenario("language-switch", language="ru")
def language_switch(s):
    """English at first; the list switches the page to Russian and back at once, and stores
    each choice; choosing the current language again changes nothing."""
    s.step("start")
    s.step("wait-page")
    s.step("snapshot", "english")
    s.step("select", controls.LANGUAGE_LIST, 1)
    s.step("snapshot", "russian")
    s.step("select", controls.LANGUAGE_LIST, 1)
    s.step("snapshot", "russian-again")
    s.step("select", controls.LANGUAGE_LIST, 0)
    s.step("snapshot", "english-again")
    s.step("select", controls.LANGUAGE_LIST, 1)
    s.step("snapshot", "russian-last")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run()
    for snapshot, language in (("english", "en"), ("russian", "ru"), ("russian-again", "ru"),
                               ("english-again", "en"), ("russian-last", "ru")):
        checks.page_texts(s, snapshot, language)
    checks.boxes(s, [])
    checks.nothing_installed(s, default_destination(s))
    checks.stored_languages(s, "ru", None)


@scenario("desktop-off")
def desktop_off(s):
    """Without "Place Icons on Desktop": the group links only, no desktop line in the log."""
    s.step("start")
    s.step("wait-page")
    s.step("uncheck", controls.PLACE_ICONS)
    install_to_completion(s, "en")
    s.run()
    complete_install_checks(s, default_destination(s), "en", desktop=False)


@scenario("run-after", package="run")
def run_after(s):
    """With "Run after Install" on, the "RunS" program starts in the destination directory and
    the setup ends without the completion state."""
    s.step("start")
    s.step("wait-page")
    s.step("click", controls.NEXT)
    s.step("wait-exit")
    s.run()
    destination = default_destination(s)
    checks.boxes(s, [])
    checks.installed_files(s, destination)
    checks.uninstall_log(s, destination)
    marker = s.host_path(expect.join(destination, b"e2e-marker.txt"))
    if s.checks.true("the started program left its marker", marker.is_file(), str(marker)):
        lines = marker.read_bytes().split(b"\n")
        s.checks.equal("current directory of the started program", lines[0], destination)
        s.checks.equal("command line of the started program", lines[1], s.package.run)


@scenario("run-off", package="run")
def run_off(s):
    """With "Run after Install" off nothing is started, even with a "RunS" entry."""
    s.step("start")
    s.step("wait-page")
    s.step("uncheck", controls.RUN_AFTER_INSTALL)
    install_to_completion(s, "en")
    s.run()
    destination = default_destination(s)
    checks.completion_page(s, "done", "en")
    checks.installed_files(s, destination)
    s.checks.true("no program was started",
                  not s.host_path(expect.join(destination, b"e2e-marker.txt")).exists())


@scenario("relative")
def relative(s):
    """A destination without a drive colon installs below the setup's own directory."""
    s.step("start")
    s.step("wait-page")
    s.step("settext", controls.DESTINATION, b"Apps\\Tool")
    install_to_completion(s, "en")
    s.run()
    complete_install_checks(s, expect.join(SETUP_DIR, b"Apps\\Tool"), "en")


@scenario("no-appname", package="no-appname")
def no_appname(s):
    """A package without "AppN": "Setup corrupted", no page, exit code 0."""
    s.step("start")
    s.step("expect-box")
    s.step("wait-exit")
    s.run()
    checks.boxes(s, [tuple(expect.ansi(t) for t in expect.CORRUPTED["en"])])
    s.checks.true("no page was shown", not s.report.data["page_seen"])
    checks.stored_languages(s, "en", None)


@scenario("no-appname-ru", package="no-appname", language="ru")
def no_appname_ru(s):
    """The same with "ru" stored: the box speaks Russian."""
    s.step("reg-set", "HKLM", INSTALLER_KEY, "Language", "ru")
    s.step("start")
    s.step("expect-box")
    s.step("wait-exit")
    s.run()
    checks.boxes(s, [tuple(expect.ansi(t) for t in expect.CORRUPTED["ru"])])
    s.checks.true("no page was shown", not s.report.data["page_seen"])
    checks.stored_languages(s, "ru", None)


@scenario("bad-root", package="bad-root")
def bad_root(s):
    """A root record that names no key: the key message after files and links are made, the
    log ending with its "DelK" line, nothing after it (no language under the application's
    key). The progress page is photographed behind the box."""
    s.step("start")
    s.step("wait-page")
    s.step("click", controls.NEXT)
    s.step("wait-box")
    s.step("move-box", 0, 0)
    s.step("snapshot", "progress")
    s.step("screenshot-mark", "progress-en")
    s.step("ok-box")
    s.step("wait-exit")
    s.run()
    destination = default_destination(s)
    key_text = expect.ansi(expect.KEY_ERROR["en"]) + s.package.root["key"]
    checks.boxes(s, [(key_text, s.package.app_name)])
    r = s.report
    if checks.taken(s, "progress"):
        s.checks.equal("status line during the registry phase",
                       r.text("progress", controls.STATUS_LINE),
                       expect.ansi(expect.STATUS["desktop"]["en"]))
        for control_id in expect.RUN_CONTROLS:
            s.checks.true(f"[progress] control {control_id} visible",
                          r.control("progress", control_id)["visible"])
        checks.pictures(s, "progress",
                        {controls.PICTURE_TITLE: "pic2", controls.PICTURE_ZORV: "zorv"})
    checks.installed_files(s, destination)
    checks.uninstall_log(s, destination, stop_after_key=True)
    checks.links(s, destination)
    checks.stored_languages(s, "en", None)


@scenario("log-blocked")
def log_blocked(s):
    """A destination where UnInstall.log cannot be created (a directory of that name is in
    the way): the log message, nothing extracted, exit code 0."""
    destination = b"C:\\blocked\\Tool"
    s.before_run = [lambda: s.prepare_directory(expect.join(destination, b"UnInstall.log"))]
    s.step("start")
    s.step("wait-page")
    s.step("settext", controls.DESTINATION, destination)
    s.step("click", controls.NEXT)
    s.step("expect-box")
    s.step("wait-exit")
    s.run()
    log_path = expect.join(destination, b"UnInstall.log")
    checks.boxes(s, [(log_path + expect.ansi(expect.LOG_NOT_CREATED["en"]), s.package.app_name)])
    checks.nothing_installed(s, destination)
    checks.no_key(s, s.package.root["key"].decode())
    checks.stored_languages(s, "en", None)


@scenario("file-blocked")
def file_blocked(s):
    """A file that cannot be written (a folder of its name is in the way): the file message,
    with the page behind it naming that file however fast the files before it went by, and
    exit code 0."""
    destination = b"C:\\blocked\\Tool"
    blocked = s.package.top_files[-1]
    s.before_run = [lambda: s.prepare_directory(expect.join(destination, blocked))]
    s.step("start")
    s.step("wait-page")
    s.step("settext", controls.DESTINATION, destination)
    s.step("click", controls.NEXT)
    s.step("wait-box")
    s.step("snapshot", "progress")
    s.step("ok-box")
    s.step("wait-exit")
    s.run()
    checks.boxes(s, [(expect.ansi(expect.FILE_ERROR["en"]) + destination, s.package.app_name)])
    if checks.taken(s, "progress"):
        s.checks.equal("[progress] file-name line behind the box",
                       s.report.text("progress", controls.FILE_NAME_LINE),
                       blocked)


@scenario("plain-ignores-switches")
def plain_ignores_switches(s):
    """A package of plain entries takes no arguments: "/S" and "/D=" change nothing, the page
    shows and Cancel ends with exit code 0."""
    s.step("start", "/S", "/D=C:\\Elsewhere")
    s.step("wait-page")
    s.step("snapshot", "page")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run()
    s.checks.equal("the proposed folder", s.report.text("page", controls.DESTINATION),
                   default_destination(s))
    checks.nothing_installed(s, default_destination(s))


@scenario("cancel")
def cancel(s):
    """Cancel closes the page at once; nothing is installed."""
    s.step("start")
    s.step("wait-page")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run()
    checks.boxes(s, [])
    checks.nothing_installed(s, default_destination(s))
    checks.no_key(s, s.package.root["key"].decode())


@scenario("escape")
def escape(s):
    """Escape and the window's close command leave the page open; Cancel then closes it."""
    s.step("start")
    s.step("wait-page")
    s.step("key", "escape")
    s.step("expect-running", 1500)
    s.step("close")
    s.step("expect-running", 1500)
    s.step("snapshot", "still-open")
    s.step("click", controls.CANCEL)
    s.step("wait-exit")
    s.run()
    checks.boxes(s, [])
    s.checks.true("the page is still there after Escape and close",
                  "still-open" in s.report.snapshots)
    checks.nothing_installed(s, default_destination(s))
