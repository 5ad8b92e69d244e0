#!/usr/bin/env python3
"""End-to-end checks of `zorv winget`: the demo built with the real stub gives three manifest
files that PyYAML reads back, whose fields are the setup's own (the hash of the file as given,
the Add/Remove Programs entry that `zorv install` writes) and pass schema 1.10.0's required
fields, patterns, lengths and enumerations; a setup for the user alone in code page 1251; and
the setups and arguments it refuses, each with its exit status and message."""
import argparse, hashlib, os, re, shutil, sys, tempfile, unittest

try:
    import yaml
except ImportError:  # an interpreter of its own without PyYAML: the system's has Debian's
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cli_test import parse_reg, read_bytes, run  # noqa: E402

ARGS = None

# Winget manifest schema 1.10.0 (https://aka.ms/winget-manifest.{version,defaultLocale,
# installer}.1.10.0.schema.json): what each manifest requires, and the patterns, lengths and
# enumerations of the fields that zorv writes.
REQUIRED = {
    "version": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                "ManifestVersion"],
    "defaultLocale": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                      "PackageName", "License", "ShortDescription", "ManifestType",
                      "ManifestVersion"],
    "installer": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                  "ManifestVersion"],
}
# Installers[]: the definition "Installer" requires these three.
INSTALLER_REQUIRED = ["Architecture", "InstallerUrl", "InstallerSha256"]
# ExpectedReturnCodes[]: "InstallerReturnCode" (an integer other than 0) and "ReturnResponse".
RETURN_CODE_REQUIRED = ["InstallerReturnCode", "ReturnResponse"]

_PART = r'[^\.\s\\/:\*\?"<>\|\x01-\x1f]{1,32}'
_NUMBER = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
_LOCALE = (r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$", 20)
PATTERNS = {  # field: (pattern, maxLength or None)
    "PackageIdentifier": (r"^" + _PART + r"(\." + _PART + r"){1,7}$", 128),  # all three
    "PackageVersion": (r'^[^\\/:\*\?"<>\|\x01-\x1f]+$', 128),                # all three
    "DefaultLocale": _LOCALE,                                                 # version
    "PackageLocale": _LOCALE,                                                 # defaultLocale
    "InstallerUrl": (r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$", 2048),                # Installer
    "InstallerSha256": (r"^[A-Fa-f0-9]{64}$", None),                          # Installer
    "ManifestVersion": (r"^" + _NUMBER + r"(\." + _NUMBER + r"){2}$", None),  # all three
}
LENGTHS = {  # field: (minLength, maxLength)
    "Publisher": (2, 256), "PackageName": (2, 256), "License": (3, 512),   # defaultLocale
    "ShortDescription": (3, 256),                                          # defaultLocale
    "ProductCode": (1, 255),                                               # installer
    "DisplayName": (1, 256), "DisplayVersion": (1, 128),                   # AppsAndFeaturesEntry
    "Silent": (1, 512), "SilentWithProgress": (1, 512), "InstallLocation": (1, 512),  # switches
}
ENUMS = {
    "InstallerType": {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn",
                      "pwa", "portable", "advinstExe", "advinstMsi"},
    "Architecture": {"x86", "x64", "arm", "arm64", "neutral"},
    "Scope": {"user", "machine"},
    "UpgradeBehavior": {"install", "uninstallPrevious", "deny"},
    "ReturnResponse": {"packageInUse", "packageInUseByApplication", "installInProgress",
                       "fileInUse", "missingDependency", "diskFull", "insufficientMemory",
                       "invalidParameter", "noNetwork", "contactSupport", "rebootRequiredToFinish",
                       "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
                       "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
                       "custom"},
}
INSTALL_MODES = {"interactive", "silent", "silentWithProgress"}
SCHEMA_URL = "https://aka.ms/winget-manifest.{}.1.10.0.schema.json"


def schema_problems(kind, doc):
    """What schema 1.10.0 refuses in a manifest of `kind`, as a list of texts."""
    out = []

    def check(name, value):
        if isinstance(value, dict):
            for k, v in value.items():
                check(k, v)
        elif isinstance(value, list):
            for v in value:
                check(name, v)
        elif name in PATTERNS or name in LENGTHS or name in ENUMS:
            if not isinstance(value, str):
                out.append(f"{name}: {value!r} is not a string")
                return
            if name in PATTERNS:
                pattern, longest = PATTERNS[name]
                if not re.fullmatch(pattern, value):
                    out.append(f"{name}: {value!r} does not match {pattern}")
                if longest is not None and len(value) > longest:
                    out.append(f"{name}: longer than {longest}")
            if name in LENGTHS and not LENGTHS[name][0] <= len(value) <= LENGTHS[name][1]:
                out.append(f"{name}: {len(value)} characters, not {LENGTHS[name]}")
            if name in ENUMS and value not in ENUMS[name]:
                out.append(f"{name}: {value!r} is none of its enumeration")

    out += [f"{kind} lacks {f}" for f in REQUIRED[kind] if f not in doc]
    if doc.get("ManifestType") != kind:
        out.append(f"ManifestType {doc.get('ManifestType')!r}, not {kind!r}")
    check("", doc)
    if kind == "installer":
        for item in doc.get("Installers") or [{}]:
            out += [f"an installer lacks {f}" for f in INSTALLER_REQUIRED if f not in item]
        for item in doc.get("ExpectedReturnCodes", []):
            out += [f"a return code lacks {f}" for f in RETURN_CODE_REQUIRED if f not in item]
            code = item.get("InstallerReturnCode")
            if not isinstance(code, int) or code == 0:
                out.append(f"InstallerReturnCode {code!r} is not an integer other than 0")
        modes = doc.get("InstallModes", [])
        if not set(modes) <= INSTALL_MODES or len(set(modes)) != len(modes):
            out.append(f"InstallModes {modes!r}")
    return out


def manifests(folder, ident, locale="en-US"):
    """The three files, each as (first line, the document PyYAML reads)."""
    out = {}
    for kind, suffix in [("version", ".yaml"), ("defaultLocale", f".locale.{locale}.yaml"),
                         ("installer", ".installer.yaml")]:
        with open(os.path.join(folder, ident + suffix), encoding="utf-8") as f:
            text = f.read()
        out[kind] = (text.split("\n", 1)[0], yaml.safe_load(text))
    return out


MANIFEST = """[application]
name = "{name}"
{keys}
[[files]]
source = "app"
target = ""
{more}
"""


class Winget(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-winget-")
        cls.setup = os.path.join(cls.tmp, "demo-setup.exe")
        run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"), "-o",
            cls.setup, "--stub", ARGS.stub)
        cls.out = os.path.join(cls.tmp, "out")
        os.makedirs(cls.out)
        cls.url = "https://example.com/releases/1.0/demo-setup.exe"
        cls.wrote = run(ARGS.zorv, "winget", cls.setup, "--id", "Zorv.Demo", "--url", cls.url,
                        "--license", "MIT", "-o", cls.out)
        cls.docs = manifests(cls.out, "Zorv.Demo")
        run(ARGS.make_setups, ARGS.stub, cls.tmp)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def winget(self, setup, ok=True, **options):
        """zorv winget into a new folder; `options` replace the defaults (id="Zorv.Notes"; None leaves one out)."""
        out = tempfile.mkdtemp(dir=self.tmp)
        given = {"id": "Zorv.Demo", "url": self.url, "license": "MIT", "output": out}
        given.update(options)
        args = [a for k, v in given.items() if v is not None for a in ("--" + k, v)]
        return out, run(ARGS.zorv, "winget", setup, *args, ok=ok)

    def build(self, name, keys, more=""):
        """A setup of one file from a manifest of its own."""
        source = tempfile.mkdtemp(dir=self.tmp)
        os.makedirs(os.path.join(source, "app"))
        with open(os.path.join(source, "app", "a.txt"), "w") as f:
            f.write("a\n")
        with open(os.path.join(source, "zorv.toml"), "w", encoding="utf-8") as f:
            f.write(MANIFEST.format(name=name, keys=keys, more=more))
        exe = os.path.join(source, "setup.exe")
        run(ARGS.zorv, "build", os.path.join(source, "zorv.toml"), "-o", exe, "--stub", ARGS.stub)
        return exe

    def test_every_manifest_passes_the_schema(self):
        for kind, (_, doc) in self.docs.items():
            self.assertEqual(schema_problems(kind, doc), [], kind)
            self.assertEqual(doc["ManifestVersion"], "1.10.0")
            self.assertEqual(doc["PackageIdentifier"], "Zorv.Demo")
            self.assertEqual(doc["PackageVersion"], "1.0")  # a string, not the number 1.0

    def test_the_fields_of_the_demo(self):
        version, locale, installer = (self.docs[k][1] for k in ("version", "defaultLocale",
                                                                   "installer"))
        self.assertEqual(version["DefaultLocale"], "en-US")
        self.assertEqual({k: locale[k] for k in ("PackageLocale", "Publisher", "PackageName",
                                                 "License", "ShortDescription")},
                         {"PackageLocale": "en-US", "Publisher": "Zorv Demo Makers",
                          "PackageName": "Zorv Demo", "License": "MIT",
                          "ShortDescription": "Zorv Demo Setup"})  # the setup's FileDescription
        self.assertEqual(installer["InstallerType"], "exe")
        self.assertEqual(installer["Scope"], "machine")
        self.assertEqual(installer["InstallModes"], ["interactive", "silent", "silentWithProgress"])
        self.assertEqual(installer["InstallerSwitches"],
                         {"Silent": "/S", "SilentWithProgress": "/S",
                          "InstallLocation": "/D=<INSTALLPATH>"})
        self.assertEqual(installer["ExpectedReturnCodes"],
                         [{"InstallerReturnCode": 1, "ReturnResponse": "cancelledByUser"},
                          {"InstallerReturnCode": 3, "ReturnResponse": "fileInUse"},
                          {"InstallerReturnCode": 4, "ReturnResponse": "diskFull"}])
        self.assertEqual(installer["UpgradeBehavior"], "install")
        self.assertEqual(installer["ProductCode"], "Zorv Demo")
        self.assertEqual(installer["Installers"],
                         [{"Architecture": "x86", "InstallerUrl": self.url,
                           "InstallerSha256": hashlib.sha256(read_bytes(self.setup)).hexdigest().upper()}])

    def test_add_remove_programs_as_the_setup_writes_it(self):
        """The entry that `zorv install` makes, with the setup's own engine: its key is the
        ProductCode, and its values are what AppsAndFeaturesEntries says."""
        reg = os.path.join(self.tmp, "arp.reg")
        run(ARGS.zorv, "install", self.setup, "--dest", os.path.join(self.tmp, "arp"),
            "--registry-file", reg, "--programs-dir", os.path.join(self.tmp, "arp-programs"),
            "--desktop-dir", os.path.join(self.tmp, "arp-desktop"))
        keys = parse_reg(read_bytes(reg).decode("utf-8"))
        parent = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
        # Key names are compared without regard to case, as the registry compares them.
        entries = {k[len(parent):]: v for k, v in keys.items()
                   if k.lower().startswith(parent.lower())}
        installer = self.docs["installer"][1]
        self.assertEqual(list(entries), [installer["ProductCode"]])
        values = entries[installer["ProductCode"]]
        self.assertEqual(installer["AppsAndFeaturesEntries"],
                         [{"DisplayName": values["DisplayName"], "Publisher": values["Publisher"],
                           "DisplayVersion": values["DisplayVersion"],
                           "ProductCode": installer["ProductCode"]}])

    def test_the_hash_is_of_the_file_as_given_a_signed_one_too(self):
        if not (shutil.which("osslsigncode") and shutil.which("openssl")):
            self.skipTest("osslsigncode or openssl missing")
        key, cert = os.path.join(self.tmp, "key.pem"), os.path.join(self.tmp, "cert.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
            cert, "-days", "2", "-subj", "/CN=Zorv throw-away test certificate")
        signed = os.path.join(self.tmp, "signed.exe")
        run("osslsigncode", "sign", "-certs", cert, "-key", key, "-in", self.setup, "-out", signed)
        out, _ = self.winget(signed)
        sha = manifests(out, "Zorv.Demo")["installer"][1]["Installers"][0]["InstallerSha256"]
        self.assertEqual(sha, hashlib.sha256(read_bytes(signed)).hexdigest().upper())
        self.assertNotEqual(sha, self.docs["installer"][1]["Installers"][0]["InstallerSha256"])

    def test_texts_read_back_as_given(self):
        """Descriptions, licenses and locales that YAML would read otherwise unquoted."""
        # At least 3 characters each, as both fields must have.
        for text in ["1.0", "1e3", "yes", "Off", "NULL", "a: b", "C# tool", "x #y", "#10",
                     " lead", "trail ", "it's", "'quoted'", '"quoted"', "- item", "[list]",
                     "{map}", "*star", "&amp", "!bang", "%pct", "@at", "`tick", "|bar", ">gt",
                     "2024-01-31", "0x1F", "1_000", "1:30", ".inf", "-.5", "tab\there",
                     "two\nlines", "bell\x07", "Ünïcødé ✓", "emoji 😀", "next\x85line"]:
            out, _ = self.winget(self.setup, description=text, license=text + " L")
            locale = manifests(out, "Zorv.Demo")["defaultLocale"][1]
            self.assertEqual(locale["ShortDescription"], text)
            self.assertEqual(locale["License"], text + " L")

    def test_a_user_setup_in_code_page_1251(self):
        user = os.path.join(self.tmp, "user.exe")
        out, _ = self.winget(user, description="Заметки на каждый день", id="Zorv.Notes")
        docs = manifests(out, "Zorv.Notes")
        for kind, (_, doc) in docs.items():
            self.assertEqual(schema_problems(kind, doc), [], kind)
        installer, locale = docs["installer"][1], docs["defaultLocale"][1]
        self.assertEqual(installer["Scope"], "user")
        self.assertEqual(installer["PackageVersion"], "2.1 бета")
        self.assertEqual(installer["ProductCode"], "Заметки")
        self.assertEqual(installer["AppsAndFeaturesEntries"],
                         [{"DisplayName": "Заметки", "Publisher": "Зорв",
                           "DisplayVersion": "2.1 бета", "ProductCode": "Заметки"}])
        self.assertEqual((locale["Publisher"], locale["PackageName"]), ("Зорв", "Заметки"))
        # The stub's own version resource names another product: its description is not taken.
        _, p = self.winget(user, id="Zorv.Notes", ok=False)
        self.assertEqual(p.returncode, 1)
        self.assertIn("give --description TEXT", p.stderr.decode())

    def test_refusals(self):
        t = self.tmp
        demo = self.setup
        no_uninstaller = self.build("Tiny", 'version = "1.0"\npublisher = "Tiny Makers"',
                                    "[uninstall]\nprogram = false")
        no_version = self.build("Tiny", 'publisher = "Tiny Makers"')
        no_publisher = self.build("Tiny", 'version = "1.0"')
        slashed = self.build("Tiny", 'version = "1.0/beta"\npublisher = "Tiny Makers"')
        one_letter = self.build("Tiny", 'version = "1.0"\npublisher = "T"')
        bare = os.path.join(t, "demo.pkg")
        run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"), "-o", bare)
        a_file = os.path.join(t, "a-file")
        open(a_file, "w").close()
        rows = [  # (what, setup, options replaced, exit status, standard error holds)
            ("no release entry", os.path.join(t, "plain.exe"), {}, 1,
             'no "Rels" entry, so the setup takes no /S'),
            ("a release entry of 3 bytes", os.path.join(t, "short-rels.exe"), {}, 1,
             'its "Rels" entry is 3 bytes, not 4'),
            ("no uninstaller", no_uninstaller, {}, 1,
             'no "UnIn" entry, so the setup makes no Add/Remove Programs entry'),
            ("no version", no_version, {}, 1,
             "no version: set [application] version in the manifest"),
            ("no publisher", no_publisher, {}, 1,
             "no publisher: set [application] publisher in the manifest"),
            ("a version winget refuses", slashed, {}, 1,
             "[application] version \"1.0/beta\": holds '/'"),
            ("a publisher of one letter", one_letter, {}, 1,
             '[application] publisher "T": is 1 characters long; winget needs at least 2 '
             "(Publisher)"),
            ("a name with a backslash", os.path.join(t, "backslash.exe"), {"description": "abc"},
             1, 'no Add/Remove Programs entry for the application name "Zorv\\Demo", which holds a '
             "backslash"),
            ("a bare package", bare, {}, 1, "a bare package, not a setup.exe"),
            ("no file", os.path.join(t, "missing.exe"), {}, 1, "missing.exe"),
            ("not a package", os.path.join(ARGS.source, "README.md"), {}, 1, "not a package"),
            ("an identifier of one part", demo, {"id": "ZorvDemo"}, 1,
             '--id "ZorvDemo": has one part'),
            ("an identifier with a blank", demo, {"id": "Zorv.Demo App"}, 1,
             '--id "Zorv.Demo App": holds white space (PackageIdentifier)'),
            ("an identifier with a slash", demo, {"id": "Zorv/x.Demo"}, 1, "holds '/'"),
            ("an identifier part of 33", demo, {"id": "Z." + "d" * 33}, 1,
             "part 2 of 33 characters"),
            ("an ftp url", demo, {"url": "ftp://example.com/s.exe"}, 1,
             '--url "ftp://example.com/s.exe": does not start with https:// or http:// '
             "(InstallerUrl)"),
            ("a url without a scheme", demo, {"url": "example.com/s.exe"}, 1,
             "does not start with https://"),
            ("a url of 2049", demo, {"url": "https://x/" + "a" * 2039}, 1,
             "is 2049 characters long; winget takes at most 2048"),
            ("a locale", demo, {"locale": "english"}, 1, '--locale "english": is not a locale'),
            ("a license of two letters", demo, {"license": "GP"}, 1,
             '--license "GP": is 2 characters long'),
            ("a description of two letters", demo, {"description": "ab"}, 1,
             '--description "ab": is 2 characters long'),
            ("no output folder", demo, {"output": os.path.join(t, "nowhere")}, 1,
             "nowhere: no such folder"),
            ("an output that is a file", demo, {"output": a_file}, 1, "a-file: no such folder"),
            ("no --license", demo, {"license": None}, 2,
             "--license is required (see zorv help winget)"),
            ("no --id", demo, {"id": None}, 2, "--id is required (see zorv help winget)"),
        ]
        for what, setup, options, status, message in rows:
            out = tempfile.mkdtemp(dir=t)
            _, p = self.winget(setup, ok=False, **{"output": out, **options})
            self.assertEqual(os.listdir(out), [], what)  # nothing is written
            err = p.stderr.decode("utf-8", errors="replace")
            self.assertEqual(p.returncode, status, (what, err))
            self.assertEqual(len(err.splitlines()), 1, (what, err))
            self.assertTrue(err.startswith("zorv: "), (what, err))
            self.assertIn(message, err, what)
            self.assertEqual(p.stdout, b"", what)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--zorv", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--stub", required=True)
    ap.add_argument("--make-setups", required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
