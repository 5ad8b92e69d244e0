"""Checks shared by the scenarios: the page in each of its states, the installed files, the
uninstall log, the shortcuts, the registry values and the message boxes."""

import re

import controls
import expect
from scenario import INSTALLER_KEY, SETUP_DIR, ZANTREL_KEY


def taken(s, snapshot):
    """False, with a failure, when the script stopped before it took the snapshot."""
    return s.checks.true(f"snapshot [{snapshot}] taken", snapshot in s.report.snapshots,
                         "the script stopped before it")


def page_texts(s, snapshot, language):
    """The texts of the choosing page in `language`, its caption and its language list."""
    if not taken(s, snapshot):
        return
    r, c = s.report, s.checks
    for control_id, text in expect.PAGE_TEXTS[language].items():
        c.equal(f"[{snapshot}] text of control {control_id}", r.text(snapshot, control_id),
                expect.ansi(text))
    c.equal(f"[{snapshot}] page caption", r.caption(snapshot),
            expect.ansi(expect.CAPTION_PREFIX[language]) + s.package.app_name)
    combo = r.control(snapshot, controls.LANGUAGE_LIST)
    c.equal(f"[{snapshot}] language list items", [bytes.fromhex(h) for h in combo["items_hex"]],
            expect.LANGUAGE_ITEMS)
    c.equal(f"[{snapshot}] selected language", combo["selected"], ["en", "ru"].index(language))


def pictures(s, snapshot, shown):
    """Which package image each picture control shows, told by the control's size: a picture
    control takes the size of its bitmap (Wine sizes the window, border included; Windows the
    inside), and the test images differ in size."""
    if not taken(s, snapshot):
        return
    r = s.report
    for control_id, name in shown.items():
        control = r.control(snapshot, control_id)
        s.checks.true(f"[{snapshot}] picture {control_id} holds an image", control["has_image"])
        s.checks.true(f"[{snapshot}] picture {control_id} is \"{name}\"",
                      s.package.bitmaps[name] in (control["size"], control["client_size"]),
                      f"{name} is {s.package.bitmaps[name]}, the control {control['size']}")


def choosing_page(s, snapshot, destination):
    """The page as it first shows: centred, both options on, the proposed destination, the two
    space figures, Next shown and the warning hidden, the run's controls hidden."""
    if not taken(s, snapshot):
        return
    r, c = s.report, s.checks
    snap = r.snapshots[snapshot]
    left, top, right, bottom = snap["rect"]
    width, height = snap["screen"]
    c.equal(f"[{snapshot}] page position (centred)", (left, top),
            ((width - (right - left)) // 2, (height - (bottom - top)) // 2))
    c.equal(f"[{snapshot}] destination", r.text(snapshot, controls.DESTINATION), destination)
    for box in (controls.PLACE_ICONS, controls.RUN_AFTER_INSTALL):
        c.equal(f"[{snapshot}] check box {box}", r.control(snapshot, box)["checked"], 1)
    need = r.text(snapshot, controls.NEED_FIGURE)
    c.equal(f"[{snapshot}] needed space", need,
            expect.space_figure(s.package.required_bytes >> 10))
    free = r.text(snapshot, controls.FREE_FIGURE)
    c.true(f"[{snapshot}] free space has the form %8ukb",
           re.fullmatch(rb" *\d+kb", free) and len(free) >= 10, repr(free))
    for control_id in expect.CHOOSING_CONTROLS + (controls.CANCEL,):
        c.true(f"[{snapshot}] control {control_id} visible",
               r.control(snapshot, control_id)["visible"])
    for control_id in (controls.NO_SPACE_WARNING,) + expect.RUN_CONTROLS:
        c.true(f"[{snapshot}] control {control_id} hidden",
               not r.control(snapshot, control_id)["visible"])
    pictures(s, snapshot, {controls.PICTURE_TITLE: "title", controls.PICTURE_PIC: "pic",
                           controls.PICTURE_ZORV: "zorv"})


def completion_page(s, snapshot, language):
    if not taken(s, snapshot):
        return
    r, c = s.report, s.checks
    c.equal(f"[{snapshot}] completion line", r.text(snapshot, controls.FILE_NAME_LINE),
            expect.ansi(expect.COMPLETE[language]))
    c.equal(f"[{snapshot}] button {controls.CANCEL}", r.text(snapshot, controls.CANCEL), b"Ok")
    for control_id in (controls.CANCEL, controls.FILE_NAME_LINE):
        c.true(f"[{snapshot}] control {control_id} visible",
               r.control(snapshot, control_id)["visible"])
    for control_id in expect.CHOOSING_CONTROLS + (controls.PROGRESS, controls.STATUS_LINE):
        c.true(f"[{snapshot}] control {control_id} hidden",
               not r.control(snapshot, control_id)["visible"])
    pictures(s, snapshot, {controls.PICTURE_TITLE: "pic2", controls.PICTURE_ZORV: "zorv"})


def boxes(s, expected):
    """The message boxes seen, in order, as (text, caption) bytes."""
    s.checks.equal("message boxes", [(t, cap) for t, cap, _ in s.report.boxes], expected)


def installed_files(s, destination):
    c = s.checks
    for name, size, crc in s.package.files:
        path = s.host_path(expect.join(destination, name))
        if c.true(f"file {name!r} installed", path.is_file(), str(path)):
            c.equal(f"size and CRC-32 of {name!r}", expect.file_crc(path), (size, crc))
    # A directory record whose members make no file leaves no directory behind.
    c.true("no directory for the empty directory record",
           not s.host_path(expect.join(destination, b"extra")).exists())


def nothing_installed(s, destination):
    for name, _, _ in s.package.files:
        s.checks.true(f"file {name!r} not installed",
                      not s.host_path(expect.join(destination, name)).exists())


def uninstall_log(s, destination, **options):
    path = s.host_path(expect.join(destination, b"UnInstall.log"))
    if s.checks.true("UnInstall.log exists", path.is_file(), str(path)):
        s.checks.equal("UnInstall.log bytes", path.read_bytes(),
                       expect.expected_log(s.package, destination, s.report.folders, **options))


def links(s, destination, desktop=True):
    """Every group link (sub-folders included) and, when the option was on, every desktop link:
    target, working directory and description."""
    c, folders, app = s.checks, s.report.folders, s.package.app_name
    made = [(expect.join(expect.join(folders["programs"], app), link["link"]) + b".lnk", link)
            for link in s.package.group_links]
    desk = [(expect.join(folders["desktop"], link["link"]) + b".lnk", link)
            for link in s.package.desktop_links]
    made += desk if desktop else []
    for path_bytes, link in made:
        path = s.host_path(path_bytes)
        if not c.true(f"shortcut {path_bytes!r} exists", path.is_file(), str(path)):
            continue
        fields = expect.read_link(path, s.code_page)
        target = expect.join(destination, link["target"]).decode(s.code_page)
        c.equal(f"target of {path_bytes!r}", fields.get("Local path"), target)
        c.equal(f"working directory of {path_bytes!r}", fields.get("Working directory"),
                destination.decode(s.code_page))
        c.equal(f"description of {path_bytes!r}", fields.get("Description"),
                link["target"].decode(s.code_page))
    if not desktop:
        for path_bytes, _ in desk:
            c.true(f"no desktop shortcut {path_bytes!r}", not s.host_path(path_bytes).exists())


def _value_text(data, destination):
    """The expected text of a value, and whether it starts with the install's time stamp."""
    setup_dir = SETUP_DIR
    for marker, replacement in ((b"SRCDIR", setup_dir), (b"DESTDIR", destination)):
        if marker in data:
            return replacement + data[len(marker):], False
    if b"DATEINSTALL" in data:
        return data[len(b"DATEINSTALL"):], True
    return data, False


def registry_values(s, destination):
    """The key of the package's root record with its values, each a string with its NUL."""
    c, keys = s.checks, s.registry()
    key = s.package.root["key"].decode(s.code_page)
    if not c.true(f"key HKLM\\{key} exists", key.lower() in keys):
        return
    for name, _, data in s.package.values:
        value = expect.registry_value(keys, key, name.decode(s.code_page))
        if not c.true(f"value {name!r} written as a string", value and value[0] == "sz",
                      repr(value)):
            continue
        text = value[1].encode(s.code_page)
        expected, stamped = _value_text(data, destination)
        if not stamped:
            c.equal(f"value {name!r}", text, expected)
            continue
        stamp, rest = text[:19].decode(), text[19:]
        seconds = expect.date_stamp_seconds(stamp)
        c.true(f"value {name!r} is a blank-padded UTC stamp of the run",
               seconds is not None and abs(seconds - s.started_at) < 600, repr(text))
        c.equal(f"value {name!r} after its stamp", rest, expected)


def no_key(s, key):
    s.checks.true(f"no key HKLM\\{key}", key.lower() not in s.registry())


def stored_languages(s, installer, application):
    """The stored interface language and the one the install left under the application's
    key (None: no such value)."""
    keys = s.registry()
    value = expect.registry_value(keys, INSTALLER_KEY, "Language")
    s.checks.equal("stored interface language", value, ("sz", installer))
    if s.package.app_name is None:
        return
    app_key = ZANTREL_KEY + s.package.app_name.decode(s.code_page)
    value = expect.registry_value(keys, app_key, "Language")
    s.checks.equal("language under the application's key", value and value[1], application)
