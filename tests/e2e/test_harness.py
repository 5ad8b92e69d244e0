"""Checks of the harness's own readers and predictions, which the scenarios trust: a misread
registry file or a wrong expected log would let a broken setup pass."""

import sys
import tempfile
import unittest
from pathlib import Path
from types import SimpleNamespace

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))

import controls  # noqa: E402
import expect  # noqa: E402
from scenario import script_word  # noqa: E402


class RegistryFile(unittest.TestCase):
    def read(self, text):
        with tempfile.TemporaryDirectory() as d:
            path = Path(d) / "system.reg"
            path.write_text(text, encoding="ascii")
            return expect.read_registry(path)

    def test_keys_and_values_with_escapes(self):
        keys = self.read(
            'WINE REGISTRY Version 2\n'
            ';; All keys relative to REGISTRY\\\\Machine\n\n'
            '[Software\\\\Zantrel\\\\Zorv \\x0422\\x0435\\x0441\\x0442] 1796740304\n'
            '#time=1dd8720d91d681a\n'
            '"Language"="ru"\n'
            '"Path"="C:\\\\Apps\\\\\\"q\\"\\x0041b\\x41b"\n'
            '@="default"\n'
            '"Count"=dword:00000002\n'
            '"Blob"=hex:01,02,\\\n  03\n'
            '"\\x041f"="v"\n')
        key = keys["software\\zantrel\\zorv тест"]
        self.assertEqual(key["language"], ("sz", "ru"))
        # Wine writes \x with four digits when a hex digit follows, else as few as it needs.
        self.assertEqual(key["path"], ("sz", 'C:\\Apps\\"q"Ab\u041b'))
        self.assertEqual(key[""], ("sz", "default"))
        self.assertEqual(key["count"], ("dword", "00000002"))
        self.assertEqual(key["blob"], ("hex", "01,02,  03"))
        self.assertEqual(key["п"], ("sz", "v"))
        self.assertEqual(expect.registry_value(keys, "SOFTWARE\\Zantrel\\Zorv Тест", "LANGUAGE"),
                         ("sz", "ru"))
        self.assertIsNone(expect.registry_value(keys, "Software\\Zantrel", "Language"))

    def test_a_string_without_its_nul_is_not_a_string(self):
        keys = self.read('[K] 1\n"Short"=str(1):"x"\n')
        self.assertEqual(keys["k"]["short"][0], "str(1)")


class ExpectedLog(unittest.TestCase):
    def package(self, **fields):
        base = dict(app_name=b"App", top_files=[], top_dirs=[], group_links=[],
                    desktop_links=[], root=None, delete_dirs=[], delete_files=[])
        base.update(fields)
        return SimpleNamespace(**base)

    folders = {"programs": b"C:\\P", "desktop": b"C:\\D"}

    def test_a_package_without_records_gives_two_lines(self):
        self.assertEqual(expect.expected_log(self.package(), b"C:\\A", self.folders),
                         b"Name Remove App\nWork C:\\A\n")

    def test_order_of_the_phases_and_one_backslash_per_join(self):
        p = self.package(
            top_files=[b"a.txt"], top_dirs=[b"d"],
            group_links=[{"link": b"G", "target": b"a.txt"}],
            desktop_links=[{"link": b"L", "target": b"a.txt"}],
            root={"abbreviation": b"HLM", "key": b"Software\\X"},
            delete_dirs=[b"c"], delete_files=[b"*.tmp"])
        self.assertEqual(
            expect.expected_log(p, b"C:\\", self.folders),
            b"Name Remove App\nWork C:\\\nDelF C:\\\\a.txt\nDelD C:\\\\d\nDelD C:\\P\\App\n"
            b"DelF C:\\D\\L.lnk\nDelK HLM Software\\X\nDelD C:\\\\c\nDelF C:\\\\*.tmp\n")
        without = expect.expected_log(p, b"C:\\A", self.folders, desktop=False,
                                      stop_after_key=True)
        self.assertNotIn(b".lnk", without)
        self.assertTrue(without.endswith(b"DelK HLM Software\\X\n"))


class Texts(unittest.TestCase):
    def test_russian_texts_are_code_page_1251(self):
        self.assertEqual(expect.ansi(expect.PAGE_TEXTS["ru"][controls.BROWSE]),
                         b"\xce\xe1\xe7\xee\xf0")

    def test_space_figure(self):
        self.assertEqual(expect.space_figure(1023), b"    1023kb")
        self.assertEqual(expect.space_figure(123456789), b"123456789kb")

    def test_date_stamp(self):
        self.assertEqual(expect.date_stamp_seconds(" 5. 3.2002  9: 7: 0"), 1015319220)
        self.assertIsNone(expect.date_stamp_seconds("05.03.2002 09:07:00x"))


class ControlIds(unittest.TestCase):
    def test_every_id_of_the_header_is_read_once(self):
        lines = [line for line in controls.HEADER.read_text().splitlines()
                 if line.startswith("#define IDC_")]
        ids = controls.read()
        self.assertEqual(len(ids), len(lines))
        self.assertEqual(len(set(ids.values())), len(ids))


class ScriptWords(unittest.TestCase):
    def test_texts_are_quoted_in_the_driver_s_escapes(self):
        self.assertEqual(script_word(b" Install complete!"), b'" Install complete!"')
        self.assertEqual(script_word(b'C:\\a "b"'), b'"C:\\\\a \\"b\\""')
        self.assertEqual(script_word(b"\xce\n"), b'"\\xce\\x0a"')
        self.assertEqual(script_word(1006), b"1006")


if __name__ == "__main__":
    unittest.main()
