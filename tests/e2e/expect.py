"""What a correct setup leaves behind, and readers for what it actually left: the page's texts
in both languages, the exact bytes of UnInstall.log, the prefix's registry files and the
shortcut files (through lnkinfo).

The texts are written here once more, independently of the program's own tables, so that a
wrong entry there is caught.
"""

import re
import subprocess
import zlib
from pathlib import Path

import controls

# Texts that applyLanguageTexts puts on the page, by control id. Cancel keeps its English text
# in Russian.
PAGE_TEXTS = {
    "en": {
        controls.BROWSE: "Browse", controls.PLACE_ICONS: "Place Icons on Desktop",
        controls.RUN_AFTER_INSTALL: "Run after Install",
        controls.DESTINATION_FRAME: "Destination Directory", controls.LANGUAGE_LABEL: "Language",
        controls.FREE_LABEL: "Free", controls.NEED_LABEL: "Need",
        controls.NO_SPACE_WARNING: "Not free space on the disk", controls.NEXT: "Next",
        controls.CANCEL: "Cancel",
    },
    "ru": {
        controls.BROWSE: "Обзор", controls.PLACE_ICONS: "Иконки на стол",
        controls.RUN_AFTER_INSTALL: "Запустить",
        controls.DESTINATION_FRAME: "Установить в каталог", controls.LANGUAGE_LABEL: "Language",
        controls.FREE_LABEL: "Свободно", controls.NEED_LABEL: "Необходимо",
        controls.NO_SPACE_WARNING: "Недостаточно объема на диске", controls.NEXT: "Далее",
        controls.CANCEL: "Cancel",
    },
}
CAPTION_PREFIX = {"en": " Install ", "ru": "Установка "}
COMPLETE = {"en": " Install complete!", "ru": " Установка завершена"}
CORRUPTED = {"en": ("Setup corrupted", "Error"), "ru": ("Программа сломана", "Ошибка")}
LOG_NOT_CREATED = {"en": "\n do'not create!", "ru": "\n нельзя создать!"}
FILE_ERROR = {"en": "Error create file\n in ", "ru": "Ошибка записи файла \n в "}
KEY_ERROR = {"en": "Error create Key\n in ", "ru": "Нельзя создать ключ \n в"}
STATUS = {
    "copy": {"en": "Copy files", "ru": "Копирую файлы"},
    "group": {"en": "Create Shortcuts", "ru": "Создаю ссылки"},
    "desktop": {"en": "Place to Desktop", "ru": "Помещаю на рабочий стол"},
    "registry": {"en": "Create Registry Keys", "ru": "Записи в журнал"},
}
LANGUAGE_ITEMS = [b"English", b"Russian"]

# Controls that the choosing page shows and the run hides.
CHOOSING_CONTROLS = (controls.DESTINATION, controls.BROWSE, controls.PLACE_ICONS,
                     controls.RUN_AFTER_INSTALL, controls.FREE_FIGURE, controls.NEED_FIGURE,
                     controls.NEXT, controls.PICTURE_PIC, controls.LANGUAGE_LIST,
                     controls.FREE_LABEL, controls.NEED_LABEL, controls.SPACE_FRAME,
                     controls.DESTINATION_FRAME, controls.LANGUAGE_LABEL)
RUN_CONTROLS = (controls.PROGRESS, controls.STATUS_LINE, controls.FILE_NAME_LINE)


def ansi(text):
    """A text of the tables above as the setup's code page 1251 bytes."""
    return text.encode("cp1251")


def space_figure(kilobytes):
    """The "%8ukb" form of a kilobyte figure."""
    return b"%8dkb" % kilobytes


class Checks:
    """Collects every mismatch of a scenario instead of stopping at the first."""

    def __init__(self):
        self.failures = []

    def equal(self, what, actual, expected):
        if actual != expected:
            self.failures.append(f"{what}: expected {expected!r}, got {actual!r}")
            return False
        return True

    def true(self, what, condition, detail=""):
        if not condition:
            self.failures.append(what + (": " + detail if detail else ""))
        return bool(condition)


# --- UnInstall.log -------------------------------------------------------------------------

def join(directory, name):
    """Joins as the setup does: exactly one backslash, whatever the directory ends with."""
    return directory + b"\\" + name


def expected_log(package, destination, folders, desktop=True, stop_after_key=False):
    """The exact bytes of UnInstall.log after a run that got through (or, with stop_after_key,
    one that ended when the registry key could not be created)."""
    app = package.app_name
    lines = [b"Name Remove " + app, b"Work " + destination]
    lines += [b"DelF " + join(destination, f) for f in package.top_files]
    lines += [b"DelD " + join(destination, d) for d in package.top_dirs]
    if package.group_links:
        lines.append(b"DelD " + join(folders["programs"], app))
    if desktop:
        lines += [b"DelF " + join(folders["desktop"], link["link"]) + b".lnk"
                  for link in package.desktop_links]
    if package.root:
        lines.append(b"DelK " + package.root["abbreviation"] + b" " + package.root["key"])
    if not stop_after_key:
        lines += [b"DelD " + join(destination, d) for d in package.delete_dirs]
        lines += [b"DelF " + join(destination, f) for f in package.delete_files]
    return b"".join(line + b"\n" for line in lines)


def file_crc(path):
    data = Path(path).read_bytes()
    return len(data), zlib.crc32(data)


# --- Registry files ------------------------------------------------------------------------

_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t", "0": "\0"}


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        e = text[i + 1]
        if e == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        else:
            out.append(_ESCAPES.get(e, e))
            i += 2
    return "".join(out)


def _quoted(line, start):
    """The escaped text of a quoted string that begins at line[start] == '"', and the index
    after its closing quote."""
    i = start + 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return _unescape(line[start + 1:i]), i + 1


def read_registry(path):
    """Keys of a Wine registry file: {lower-case key path: {lower-case value name:
    (type, data)}}; type "sz" for string values, data the text; other types as written."""
    keys, values = {}, None
    raw = Path(path).read_text(encoding="latin-1").replace("\\\n", "")
    for line in raw.splitlines():
        if line.startswith("["):
            end = line.rindex("]")
            name = _unescape(line[1:end])
            values = keys.setdefault(name.lower(), {})
        elif values is not None and (line.startswith('"') or line.startswith("@")):
            if line.startswith("@"):
                name, rest = "", line[2:]
            else:
                name, after = _quoted(line, 0)
                rest = line[after + 1:]
            if rest.startswith('"'):
                values[name.lower()] = ("sz", _quoted(rest, 0)[0])
            else:
                kind, _, data = rest.partition(":")
                values[name.lower()] = (kind, data)
    return keys


def registry_value(keys, key, name):
    return keys.get(key.lower(), {}).get(name.lower())


# --- Shortcut files ------------------------------------------------------------------------

def read_link(path, code_page):
    """The fields that lnkinfo prints for a .lnk file, by their label."""
    result = subprocess.run(["lnkinfo", "-c", code_page.replace("cp", "windows-"), str(path)],
                            capture_output=True, check=False, timeout=60)
    fields = {}
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        label, sep, value = line.partition(":")
        if sep and line.startswith("\t"):
            fields.setdefault(label.strip(), value.strip())
    return fields


def date_stamp_seconds(text):
    """Seconds since the epoch of a "%2d.%2d.%4d %2d:%2d:%2d" UTC stamp, or None when the text
    does not have that form."""
    import calendar
    m = re.fullmatch(r"([ \d]\d)\.([ \d]\d)\.(\d{4}) ([ \d]\d):([ \d]\d):([ \d]\d)", text)
    if not m:
        return None
    day, month, year, hour, minute, second = (int(g) for g in m.groups())
    return calendar.timegm((year, month, day, hour, minute, second))
