"""The ids of the setup page's controls, read from install/page_controls.h, the header that the
setup's resources and code take them from: each "#define IDC_NAME number" there is NAME here
(controls.NEXT is IDC_NEXT)."""

import re
from pathlib import Path

HEADER = Path(__file__).resolve().parents[2] / "install" / "page_controls.h"


def read(header=HEADER):
    """{NAME: id} of every IDC_ line of the header."""
    return {name: int(value) for name, value in
            re.findall(r"^#define IDC_(\w+) (\d+)$", header.read_text(), re.MULTILINE)}


globals().update(read())
