#!/usr/bin/env python3
"""End-to-end checks of the zorv tool on the demo: build the package, list and cat it,
install it natively (files, UnInstall.log, the REGEDIT4 registry file, .lnk files read back
with lnkinfo), extract it, the command-line conventions and the one-line failures, and a build
beside planted links. Then on
written packages: names with terminal escapes, a program to start, symbolic links already in
the destination, folder walks past the package's budget or reaching a record twice. Last,
zorv uninstall after zorv install, on the demo's log and on hostile ones."""
import argparse, json, os, pty, re, resource, shutil, signal, subprocess, sys, tempfile, time, unittest

ARGS = None


def run(*cmd, ok=True, **kw):
    p = subprocess.run([str(c) for c in cmd], capture_output=True, **kw)
    if ok and p.returncode != 0:
        raise AssertionError(f"{cmd} failed {p.returncode}: {p.stderr.decode(errors='replace')}")
    return p


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def parse_reg(text):
    """REGEDIT4 text -> {key: {name: data}}: strings unescaped, other types as written."""
    keys, cur = {}, None
    for line in text.splitlines():
        if line.startswith('[') and line.endswith(']'):
            cur = keys.setdefault(line[1:-1], {})
        elif cur is not None and line.startswith('"'):
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(?:"((?:[^"\\]|\\.)*)"|(dword:[0-9a-f]{8}))$', line)
            assert m, line
            unesc = lambda s: re.sub(r'\\(.)', r'\1', s)
            cur[unesc(m.group(1))] = unesc(m.group(2)) if m.group(3) is None else m.group(3)
    return keys


class Demo(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-cli-")
        cls.pkg = os.path.join(cls.tmp, "demo.pkg")
        run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"), "-o", cls.pkg)
        cls.dest = os.path.join(cls.tmp, "Program Files", "Zorv Demo")
        cls.reg = os.path.join(cls.tmp, "registry.reg")
        cls.programs = os.path.join(cls.tmp, "Programs")
        cls.desktop = os.path.join(cls.tmp, "Desktop")
        with open(os.path.join(ARGS.source, "examples/demo/zorv.toml")) as f:
            cls.key = re.search(r"^key = 'HCU\\(.*)'", f.read(), re.M).group(1)
        cls.install = run(ARGS.zorv, "install", cls.pkg, "--dest", cls.dest, "--no-run",
                          "--registry-file", cls.reg, "--programs-dir", cls.programs,
                          "--desktop-dir", cls.desktop, "--lang", "ru")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def app_files(self):
        root = os.path.join(ARGS.source, "examples/demo/app")
        out = {}
        for d, _, files in os.walk(root):
            for f in files:
                if f.endswith((".bak", ".draft")) or f.startswith("."):
                    continue
                rel = os.path.relpath(os.path.join(d, f), root)
                out[rel] = read_bytes(os.path.join(d, f))
        out["docs/changes.txt"] = read_bytes(os.path.join(ARGS.source, "examples/demo/extra/changes.txt"))
        return out

    def test_files_are_installed_byte_for_byte(self):
        for rel, data in self.app_files().items():
            self.assertEqual(read_bytes(os.path.join(self.dest, rel)), data, rel)

    def test_uninstall_log(self):
        log = read_bytes(os.path.join(self.dest, "UnInstall.log"))
        self.assertTrue(log.endswith(b"\n"))
        self.assertNotIn(b"\r", log)
        lines = log.decode("cp1251").split("\n")[:-1]
        d = self.dest
        self.assertEqual(lines[0], "Name Remove Zorv Demo")
        self.assertEqual(lines[1], "Work " + d)
        tags = [l[:4] for l in lines]
        self.assertTrue(all(l[4] == " " for l in lines))
        # file and directory records first, then the group, desktop links, key, clean-up lines
        self.assertIn("DelF " + d + "\\hello.exe", lines)
        # a release logs what it writes inside a packed folder one by one, the folder last to go
        self.assertIn("DelE " + d + "\\data", lines)
        self.assertIn("DelF " + d + "\\data\\levels\\level1.txt", lines)
        self.assertNotIn("DelD " + d + "\\data", lines)
        self.assertIn("DelD " + self.programs + "\\Zorv Demo", lines)
        self.assertIn("DelF " + self.desktop + "\\Zorv Demo.lnk", lines)
        self.assertIn("DelK HCU " + self.key, lines)
        self.assertEqual(lines[-5:-1], ["DelD " + d + "\\saves", "DelD " + d + "\\data\\cache",
                                        "DelF " + d + "\\*.log", "DelF " + d + "\\data\\scores.dat"])
        self.assertLess(tags.index("DelK"), len(lines) - 5)
        # zorv's own last line: the code page that the log's names are written in
        self.assertEqual(lines[-1], "CPag 1252")

    def test_registry_file(self):
        text = read_bytes(self.reg).decode("cp1251")
        self.assertTrue(text.startswith("REGEDIT4\r\n\r\n"))
        keys = {k.lower(): v for k, v in parse_reg(text).items()}
        vals = keys["hkey_current_user\\" + self.key.lower()]
        self.assertEqual(vals["Install Dir"], self.dest)
        self.assertEqual(vals["Program"], self.dest + "\\hello.exe")
        self.assertEqual(vals["Setup Source"], self.tmp)
        self.assertRegex(vals["Installed"], r"^[ \d]\d\.[ \d]\d\.\d{4} [ \d]\d:[ \d]\d:[ \d]\d$")
        self.assertEqual(vals["Version"], "1.0")
        self.assertEqual(keys["hkey_local_machine\\software\\zantrel\\zorv demo"]["Language"], "ru")

    def test_links_read_back_with_lnkinfo(self):
        if not shutil.which("lnkinfo"):
            self.skipTest("lnkinfo missing")
        links = {
            os.path.join(self.programs, "Zorv Demo", "Zorv Demo.lnk"): "hello.exe",
            os.path.join(self.programs, "Zorv Demo", "Documents", "Manual.lnk"): "docs\\manual.txt",
            os.path.join(self.programs, "Zorv Demo", "Read me.lnk"): "readme.txt",
            os.path.join(self.desktop, "Zorv Demo.lnk"): "hello.exe",
        }
        for path, target in links.items():
            out = run("lnkinfo", path).stdout.decode(errors="replace")
            self.assertIn("Description\t\t\t: " + target, out, path)
            self.assertIn(target.split("\\")[-1], out)
            self.assertIn("Working directory", out)

    def test_progress_and_message_language(self):
        self.assertIn(b"Zorv Demo installed in", self.install.stderr)

    def extracted(self, out):
        got = {}
        for d, _, files in os.walk(out):
            for f in files:
                got[os.path.relpath(os.path.join(d, f), out)] = read_bytes(os.path.join(d, f))
        # The builder adds the uninstaller where it finds one built.
        self.assertTrue(got.pop("uninstall.exe", b"MZ").startswith(b"MZ"))
        return got

    def test_extract_gives_the_same_files_and_nothing_else(self):
        out = os.path.join(self.tmp, "x")
        run(ARGS.zorv, "extract", self.pkg, "-C", out)
        self.assertEqual(self.extracted(out), self.app_files())

    def test_extract_into_the_current_folder_counts_what_it_wrote(self):
        cwd = tempfile.mkdtemp(dir=self.tmp)
        files = len(self.app_files()) + 1  # and uninstall.exe
        folders = {os.path.dirname(rel) for rel in self.app_files()} - {""}
        folders |= {os.path.dirname(f) for f in folders} - {""}
        for made in (len(folders), 0):  # the second time the folders are there already
            p = run(ARGS.zorv, "extract", self.pkg, cwd=cwd)
            self.assertEqual(p.stdout.decode(),
                             f"extracted {files} files and {made} folders into {cwd}\n")
        self.assertEqual(self.extracted(cwd), self.app_files())

    def test_list_entries_json_and_cat(self):
        entries = json.loads(run(ARGS.zorv, "list", "--entries", "--json", self.pkg).stdout)
        self.assertEqual([e["index"] for e in entries], list(range(len(entries))))
        app = next(e for e in entries if e["tag"] == "AppN")
        body = run(ARGS.zorv, "cat", self.pkg, "--entry", app["index"]).stdout
        self.assertEqual(body, bytes([10]) + b"Zorv Demo\0")
        total = next(e for e in entries if e["tag"] == "SumC")
        self.assertEqual(total["offset"], 0)
        self.assertEqual(len(run(ARGS.zorv, "cat", self.pkg, "--entry", total["index"]).stdout), 44)

    def test_failures_are_one_line_and_status_1(self):
        cases = [
            ("cat", self.pkg, "--entry", "100000"),
            ("cat", self.pkg, "--range", "4000000000:4:4"),
            ("list", os.path.join(self.tmp, "missing.pkg")),
            ("list", os.path.join(ARGS.source, "README.md")),
            ("test", os.path.join(self.tmp, "missing.pkg")),
            ("uninstall", os.path.join(self.tmp, "missing")),
        ]
        for args in cases:
            p = run(ARGS.zorv, *args, ok=False)
            self.assertEqual(p.returncode, 1, args)
            self.assertEqual(len(p.stderr.splitlines()), 1, args)
            err = p.stderr.decode(errors="replace").strip().splitlines()
            self.assertTrue(err and err[0].startswith("zorv: "), (args, err))

    def test_command_line_conventions(self):
        manifest = os.path.join(ARGS.source, "examples/demo/zorv.toml")
        out = os.path.join(self.tmp, "conventions")
        os.makedirs(out, exist_ok=True)
        version = r"^zorv \d+\.\d+\.\d+\n$"
        build_help = "Usage: zorv build MANIFEST -o OUT"
        cases = [  # (arguments, exit status, standard output matches, standard error holds)
            (["--version"], 0, version, ""),
            (["version"], 0, version, ""),
            (["help"], 0, r"\n  build +make a setup", ""),
            (["help", "build"], 0, build_help, ""),
            (["build", "--help"], 0, build_help, ""),
            (["test", "-h"], 0, "Usage: zorv test FILE", ""),
            ([], 2, "^$", "a command is required"),
            (["frobnicate"], 2, "^$", '"frobnicate"'),
            (["help", "frobnicate"], 2, "^$", '"frobnicate"'),
            (["list", "--frob", self.pkg], 2, "^$", "--frob"),
            (["build", "-o", out + "/a.pkg"], 2, "^$", "MANIFEST is required"),
            (["build", manifest], 2, "^$", "--output is required"),
            (["build", manifest, "-o", out + "/a.zip"], 2, "^$", "a.zip"),
            (["build", manifest, "-o" + out + "/a.pkg", "-j0"], 2, "^$", "--jobs"),
            (["build", manifest, "-o", out + "/a.pkg", "--jobs"], 2, "^$", "--jobs"),
            (["cat", self.pkg, "--range", "1:2"], 2, "^$", '"1:2"'),
            (["cat", self.pkg], 2, "^$", "--entry"),
            (["install", self.pkg], 2, "^$", "--dest is required"),
            (["install", self.pkg, "--dest", out, "--lang", "fr"], 2, "^$", "--lang"),
            (["uninstall"], 2, "^$", "DEST is required"),
            (["list", self.pkg, self.pkg], 2, "^$", self.pkg),
        ]
        for args, status, stdout, stderr in cases:
            p = run(ARGS.zorv, *args, ok=False)
            self.assertEqual(p.returncode, status, (args, p.stderr))
            self.assertRegex(p.stdout.decode(), stdout, args)
            if status:
                self.assertEqual(len(p.stderr.splitlines()), 1, (args, p.stderr))
                self.assertTrue(p.stderr.startswith(b"zorv: "), (args, p.stderr))
            self.assertIn(stderr.encode(), p.stderr, args)
        self.assertFalse(os.listdir(out))

    def test_joined_and_long_option_values_build_the_same_package(self):
        manifest = os.path.join(ARGS.source, "examples/demo/zorv.toml")
        spellings = [["-j4", "-o{}"], ["--jobs", "2", "--output", "{}"],
                     ["--jobs=3", "--output={}"], ["-j", "1", "-o", "{}"]]
        for i, spelling in enumerate(spellings):
            out = os.path.join(self.tmp, f"spelling{i}", "demo.pkg")  # the header holds its name
            run(ARGS.zorv, "build", manifest, *[a.format(out) for a in spelling])
            self.assertEqual(read_bytes(out), read_bytes(self.pkg), spelling)

    def test_double_dash_ends_the_options(self):
        cwd = tempfile.mkdtemp(dir=self.tmp)
        shutil.copy(self.pkg, os.path.join(cwd, "-demo.pkg"))
        p = run(ARGS.zorv, "list", "--", "-demo.pkg", cwd=cwd)
        self.assertIn(b"hello.exe", p.stdout)
        self.assertEqual(run(ARGS.zorv, "list", "-demo.pkg", cwd=cwd, ok=False).returncode, 2)

    def test_test_is_verify(self):
        bad = os.path.join(self.tmp, "flipped.pkg")
        data = bytearray(read_bytes(self.pkg))
        data[len(data) // 3] ^= 0xFF
        with open(bad, "wb") as f:
            f.write(data)
        for pkg, status in ((self.pkg, 0), (bad, 1)):
            verify = run(ARGS.zorv, "verify", pkg, ok=False)
            test = run(ARGS.zorv, "test", pkg, ok=False)
            self.assertEqual((test.returncode, test.stdout, test.stderr),
                             (verify.returncode, verify.stdout, verify.stderr))
            self.assertEqual(test.returncode, status)

    def test_list_shows_what_the_setup_installs(self):
        listing = json.loads(run(ARGS.zorv, "list", "--json", self.pkg).stdout)
        text = run(ARGS.zorv, "list", self.pkg).stdout.decode().splitlines()
        files = {f["path"]: f for f in listing["files"]}
        expected = {rel.replace(os.sep, "/"): data for rel, data in self.app_files().items()}
        self.assertEqual(set(files) - {"uninstall.exe"}, set(expected))
        for path, data in expected.items():
            self.assertEqual(files[path]["size"], len(data), path)
            self.assertLessEqual(files[path]["packed"], len(data) + 64, path)
        total = listing["total"]
        self.assertEqual(total, {"files": len(files),
                                 "bytes": sum(f["size"] for f in files.values()),
                                 "packed": sum(f["packed"] for f in files.values())})
        # The text says the same, line for line.
        for f in listing["files"]:
            self.assertRegex("\n".join(text),
                             rf"(?m)^ +{f['size']} +{f['packed']}  {re.escape(f['path'])}$")
        self.assertIn(f"total: {total['files']} files, {total['bytes']} bytes, "
                      f"{total['packed']} packed", text)
        for line in ["link group    Documents/Manual -> docs/manual.txt",
                     "link desktop  Zorv Demo -> hello.exe",
                     "registry key HCU " + self.key,
                     "  Program = DESTDIR\\hello.exe",
                     "program started after the install: hello.exe",
                     "uninstall deletes the folders: saves, data/cache",
                     "uninstall deletes the files: *.log, data/scores.dat"]:
            self.assertIn(line, text)
        self.assertEqual(listing["links"][1], {"place": "group", "name": "Documents/Manual",
                                               "target": "docs/manual.txt"})
        self.assertEqual(listing["registry"]["key"], self.key)
        self.assertEqual([v["name"] for v in listing["registry"]["values"]],
                         ["Install Dir", "Program", "Setup Source", "Installed", "Version"])
        self.assertEqual(listing["program"], "hello.exe")
        self.assertEqual(listing["delete"], {"folders": ["saves", "data/cache"],
                                             "files": ["*.log", "data/scores.dat"]})

    def test_setup_exe_from_the_real_stub_can_be_signed(self):
        """The builder leaves nothing after the last section, so Authenticode signing works and
        the package is still found in the signed file."""
        if not os.path.exists(ARGS.stub):
            self.skipTest("no win32 build of setup.exe")
        if not (shutil.which("osslsigncode") and shutil.which("openssl")):
            self.skipTest("osslsigncode or openssl missing")
        exe = os.path.join(self.tmp, "demo-setup.exe")
        run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"), "-o", exe,
            "--stub", ARGS.stub)
        key, cert = os.path.join(self.tmp, "key.pem"), os.path.join(self.tmp, "cert.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
            cert, "-days", "2", "-subj", "/CN=Zorv throw-away test certificate")
        signed = os.path.join(self.tmp, "signed.exe")
        run("osslsigncode", "sign", "-certs", cert, "-key", key, "-in", exe, "-out", signed)
        out = run("osslsigncode", "verify", "-CAfile", cert, "-in", signed).stdout
        self.assertIn(b"Signature verification: ok", out)
        self.assertIn(b"OK:", run(ARGS.zorv, "verify", signed).stdout)
        self.assertEqual(run(ARGS.zorv, "list", "--json", signed).stdout,
                         run(ARGS.zorv, "list", "--json", self.pkg).stdout)

    def test_signing_in_the_build(self):
        """[signing] signs the branded uninstaller before it is packed and the finished
        setup.exe; a failing tool names the step and leaves no output; a dry run signs nothing;
        a signed --uninstaller that branding would strip is warned about."""
        uninstaller = os.path.join(os.path.dirname(ARGS.stub), "uninstall.exe")
        if not os.path.exists(uninstaller):
            self.skipTest("no win32 build of setup.exe and uninstall.exe")
        if not (shutil.which("osslsigncode") and shutil.which("openssl")):
            self.skipTest("osslsigncode or openssl missing")
        d = tempfile.mkdtemp(dir=self.tmp)
        key, cert = os.path.join(d, "key.pem"), os.path.join(d, "cert.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
            cert, "-days", "2", "-subj", "/CN=Zorv throw-away test certificate")
        sign = ["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", "{in}", "-out", "{out}"]
        demo = os.path.join(d, "demo")
        shutil.copytree(os.path.join(ARGS.source, "examples/demo"), demo)

        def build(command, out, *more):
            manifest = os.path.join(demo, "zorv.toml")
            with open(os.path.join(ARGS.source, "examples/demo/zorv.toml")) as f:
                text = f.read()
            if command:
                text += "\n[signing]\ncommand = [" + ", ".join(json.dumps(c) for c in command) + "]\n"
            with open(manifest, "w") as f:
                f.write(text)
            return run(ARGS.zorv, "build", manifest, "-o", out, "--stub", ARGS.stub,
                       "--uninstaller", *more, ok=False)

        exe = os.path.join(d, "signed-setup.exe")
        p = build(sign, exe, uninstaller)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn(b"setup.exe: signed\nuninstall.exe (carried): signed\n",
                      run(ARGS.zorv, "verify", exe).stdout)
        out = os.path.join(d, "out")
        run(ARGS.zorv, "extract", exe, "-C", out)
        for signed in (exe, os.path.join(out, "uninstall.exe")):
            check = run("osslsigncode", "verify", "-CAfile", cert, "-in", signed).stdout
            self.assertIn(b"Signature verification: ok", check, signed)

        failing = os.path.join(d, "failing.exe")
        p = build(["osslsigncode", "sign", "-certs", "missing.pem", "-in", "{in}", "-out", "{out}"],
                  failing, uninstaller)
        self.assertEqual(p.returncode, 1)
        self.assertIn(b"signing the uninstaller with osslsigncode failed", p.stderr)
        self.assertFalse(os.path.exists(failing))
        self.assertEqual([n for n in os.listdir(d) if n.startswith(".failing")], [])
        p = build(["false", "{file}"], "/dev/null", uninstaller)  # never run on a dry run
        self.assertEqual(p.returncode, 0, p.stderr)

        signed_uninstaller = os.path.join(d, "uninstall-signed.exe")
        run("osslsigncode", "sign", "-certs", cert, "-key", key, "-in", uninstaller,
            "-out", signed_uninstaller)
        p = build(None, os.path.join(d, "branded.exe"), signed_uninstaller)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn(b"is signed, but writing the product's version", p.stderr)
        self.assertIn(b"setup.exe: not signed\nuninstall.exe (carried): not signed\n",
                      run(ARGS.zorv, "verify", os.path.join(d, "branded.exe")).stdout)

    def test_damaged_package_is_reported_not_crashed(self):
        data = bytearray(read_bytes(self.pkg))
        bad = os.path.join(self.tmp, "cut.pkg")
        with open(bad, "wb") as f:
            f.write(data[: len(data) // 2])
        p = run(ARGS.zorv, "list", bad, ok=False)
        self.assertEqual(p.returncode, 1)
        self.assertIn(b"directory runs past the end", p.stderr)

    def test_build_writes_through_no_link_planted_beside_the_output(self):
        """The output is first written to a new file of a name nobody can guess: links planted
        at the old fixed name and at likely ones stay links, their targets untouched, and no
        temporary file remains, also after a build that fails while it writes."""
        manifest = os.path.join(ARGS.source, "examples/demo/zorv.toml")
        folder = tempfile.mkdtemp(dir=self.tmp)
        victim = os.path.join(folder, "victim.txt")
        with open(victim, "wb") as f:
            f.write(b"not to be overwritten\n")
        missing = os.path.join(folder, "made-through-a-link")
        planted = {"demo.pkg.partial": victim, ".demo.pkg.partial": victim,
                   ".demo.pkg.XXXXXX": victim, ".demo.pkg.000000": victim,
                   ".demo.pkg.aaaaaa": missing, "demo.pkg.tmp": victim, "demo.pkg~": missing,
                   "next.pkg.partial": victim}
        for name, target in planted.items():
            os.symlink(target, os.path.join(folder, name))
        kept = sorted(list(planted) + ["victim.txt"])

        def check(*more):
            for name, target in planted.items():
                self.assertEqual(os.readlink(os.path.join(folder, name)), target, name)
            self.assertEqual(read_bytes(victim), b"not to be overwritten\n")
            self.assertFalse(os.path.lexists(missing))
            self.assertEqual(sorted(os.listdir(folder)), sorted(kept + list(more)))

        out = os.path.join(folder, "demo.pkg")  # the header holds its name, as self.pkg's
        for _ in range(2):  # made, then replaced
            run(ARGS.zorv, "build", manifest, "-o", out)
            self.assertEqual(read_bytes(out), read_bytes(self.pkg))
            check("demo.pkg")

        # A file size limit makes the write fail halfway: no output, and no temporary file.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
        p = run(ARGS.zorv, "build", manifest, "-o", os.path.join(folder, "next.pkg"), ok=False,
                preexec_fn=limit_file_size)
        self.assertEqual(p.returncode, 1, p.stderr)
        self.assertIn(b"nothing was written", p.stderr)
        check("demo.pkg")


def controls(data):
    """Bytes that a terminal obeys rather than shows: C0 but the line feed, DEL, C1."""
    return sorted({b for b in data if (b < 0x20 and b != 0x0A) or 0x7F <= b <= 0x9F})


class WrittenPackages(unittest.TestCase):
    """Packages the builder refuses to make (make_cli_packages): hostile names, and files that
    go where the destination already holds symbolic links."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-cli-written-")
        run(ARGS.make_packages, cls.tmp)
        cls.hostile = os.path.join(cls.tmp, "hostile.pkg")
        cls.links = os.path.join(cls.tmp, "links.pkg")
        cls.doubling = os.path.join(cls.tmp, "doubling.pkg")
        cls.one_tree = os.path.join(cls.tmp, "one-tree.pkg")
        cls.twice = os.path.join(cls.tmp, "twice.pkg")
        # The hostile package's "RunS" program; it leaves a mark when started.
        cls.marker = os.path.join(cls.tmp, "started")
        program = os.path.join(cls.tmp, "start\x1b[7m.sh")
        with open(program, "w") as f:
            f.write(f"#!/bin/sh\ntouch '{cls.marker}'\n")
        os.chmod(program, 0o755)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def setUp(self):
        if os.path.exists(self.marker):
            os.remove(self.marker)

    def install(self, pkg, dest, *more):
        work = tempfile.mkdtemp(dir=self.tmp)
        return run(ARGS.zorv, "install", pkg, "--dest", dest, "--registry-file",
                   os.path.join(work, "r.reg"), "--programs-dir", os.path.join(work, "Programs"),
                   "--desktop-dir", os.path.join(work, "Desktop"), *more, ok=False)

    def extract(self, pkg, dest):
        return run(ARGS.zorv, "extract", pkg, "-C", dest, ok=False)

    def list(self, pkg, dest):
        return run(ARGS.zorv, "list", pkg, ok=False)

    def list_json(self, pkg, dest):
        p = run(ARGS.zorv, "list", "--json", pkg, ok=False)
        json.loads(p.stdout)
        return p

    def test_package_texts_reach_the_terminal_filtered(self):
        red = "\x1b[31mred.txt"
        cases = [  # (what, command, a folder planted in the way, exit status, printed)
            ("install", self.install, None, 0,
             [b"  .[31mred.txt\n", b"  .[1mdir\\in.[0m.txt\n", b"  .[2Jlink\n", b"  .[4mName\n",
              b"Evil.]0;pwned.App installed in", b"start.[7m.sh\n"]),
            ("install failing", self.install, red, 1, [b"\nEvil.]0;pwned.App: "]),
            ("extract", self.extract, None, 0, [b"extracted 3 files and 1 folder into"]),
            ("extract failing", self.extract, red, 1,
             [b"zorv: cannot extract entry 2: .[31mred.txt\n"]),
            ("list", self.list, None, 0,
             [b"  .[31mred.txt\n", b"  .[1mdir/in.[0m.txt\n",
              b"link desktop  .[2Jlink -> plain.txt\n", b"  .[4mName = DESTDIR\n",
              b"setup \"Evil.]0;pwned.App\" installs"]),
            ("list --json", self.list_json, None, 0, [b'"\\u001b[31mred.txt"']),
        ]
        for what, command, planted, status, printed in cases:
            dest = os.path.join(tempfile.mkdtemp(dir=self.tmp), "dest")
            if planted:
                os.makedirs(os.path.join(dest, planted))
            p = command(self.hostile, dest)
            out = p.stdout + p.stderr
            self.assertEqual(p.returncode, status, (what, p.stderr))
            self.assertEqual(controls(out), [], (what, out))
            for text in printed:
                self.assertIn(text, out, what)

    def test_list_keeps_the_walk_budget(self):
        for pkg in (self.doubling, self.one_tree, self.twice):
            for args in (["list"], ["list", "--json"]):
                p = run(ARGS.zorv, *args, pkg, ok=False)
                self.assertEqual((p.returncode, p.stdout), (1, b""), (pkg, args))
                self.assertEqual(len(p.stderr.splitlines()), 1, p.stderr)
                self.assertIn(b'("CopD") cannot be walked', p.stderr)
            p = run(ARGS.zorv, "list", "--entries", pkg)  # the raw entries need no walk
            self.assertIn(b"CopD", p.stdout)

    def test_extract_stops_at_a_record_reached_twice(self):
        # (package, files written: each record once, the failing entries)
        cases = [(self.one_tree, 101, range(4, 53)), (self.twice, 1, [2])]
        for pkg, files, failing in cases:
            dest = tempfile.mkdtemp(dir=self.tmp)
            p = self.extract(pkg, dest)
            self.assertEqual(p.returncode, 1, pkg)
            lines = [l for l in p.stderr.splitlines() if b"cannot extract" in l]
            self.assertEqual([int(re.search(rb"entry (\d+)", l).group(1)) for l in lines],
                             list(failing), p.stderr)
            self.assertIn(b"extracted %d file" % files, p.stdout, p.stdout)

    def test_program_starts_only_with_run(self):
        cases = [([], False), (["--no-run"], False), (["--run"], True)]
        for more, starts in cases:
            self.setUp()
            dest = os.path.join(tempfile.mkdtemp(dir=self.tmp), "dest")
            p = self.install(self.hostile, dest, *more)
            self.assertEqual(p.returncode, 0, (more, p.stderr))
            for _ in range(100 if starts else 10):
                if os.path.exists(self.marker):
                    break
                time.sleep(0.05)
            self.assertEqual(os.path.exists(self.marker), starts, more)
            said = "its program was started" if starts else "not started (--run starts it): "
            self.assertIn(said.encode(), p.stderr, more)
            if not starts:
                self.assertIn(os.path.join(self.tmp, "start.[7m.sh").encode(), p.stderr)

    def test_links_in_the_destination_are_not_followed(self):
        cases = [  # (what is a link in the destination, status, extract's line)
            ("sub", 1, b"zorv: cannot extract entry 3: sub\\deep\\f.txt (not following the "
                       b"symbolic link "),
            ("d", 1, b"zorv: cannot extract directory entry 4: d\\m.txt (not following the "
                     b"symbolic link "),
            ("top.txt", 0, b""),  # replaced by the package's file; its target is left alone
            ("", 0, b""),         # the destination itself: the user chose it
        ]
        for command in (self.install, self.extract):
            for link, status, line in cases:
                what = (command.__name__, link)
                work = tempfile.mkdtemp(dir=self.tmp)
                outside = os.path.join(work, "outside")
                os.makedirs(outside)
                with open(os.path.join(outside, "top.txt"), "w") as f:
                    f.write("keep\n")
                dest = os.path.join(work, "dest")
                if link:
                    os.makedirs(dest)
                    target = os.path.join(outside, "top.txt") if link == "top.txt" else outside
                    os.symlink(target, os.path.join(dest, link))
                    files = dest
                else:
                    os.symlink(outside, dest)
                    files = outside
                p = command(self.links, dest)
                self.assertEqual(p.returncode, status, (what, p.stderr))
                if link:
                    self.assertEqual(os.listdir(outside), ["top.txt"], what)
                    self.assertEqual(read_bytes(os.path.join(outside, "top.txt")), b"keep\n", what)
                if status:
                    link_path = os.path.join(dest, link).encode()
                    if command == self.extract:
                        self.assertIn(line + link_path + b")\n", p.stderr, what)
                    else:
                        self.assertIn(b"not following the symbolic link " + link_path, p.stderr,
                                      what)
                else:
                    self.assertEqual(read_bytes(os.path.join(files, "top.txt")), b"top\n", what)
                    self.assertFalse(os.path.islink(os.path.join(files, "top.txt")), what)
                    self.assertEqual(read_bytes(os.path.join(files, "d", "m.txt")), b"m\n", what)


def snapshot(top):
    """Every entry below top: files with their bytes, folders, links with their targets."""
    out = {}
    for d, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.join(d, name)
            rel = os.path.relpath(path, top)
            if os.path.islink(path):
                out[rel] = "-> " + os.readlink(path)
            elif os.path.isdir(path):
                out[rel] = "dir"
            else:
                out[rel] = read_bytes(path)
    return out


def report(stdout):
    """zorv uninstall's report: {heading: [items]}."""
    sections, items = {}, None
    for line in stdout.decode("cp1251").splitlines():
        if line.startswith("  "):
            items.append(line[2:])
        else:
            items = sections.setdefault(line, [])
    return sections


REFUSED = "These lines of the log point outside the application's folders and were left alone:"
KEPT = "This folder was kept, since it holds files that were not installed:"


class Uninstall(unittest.TestCase):
    """zorv install, then zorv uninstall: on the demo, and on logs rewritten by someone
    hostile. The uninstaller removes only keys two levels below Software: the demo's key is
    made sure to be one."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-cli-uninstall-")
        demo = os.path.join(cls.tmp, "demo")
        shutil.copytree(os.path.join(ARGS.source, "examples/demo"), demo)
        manifest = os.path.join(demo, "zorv.toml")
        with open(manifest) as f:
            text = f.read().replace("'HCU\\Software\\Zorv Demo'", "'HCU\\Software\\Zorv\\Demo'")
        with open(manifest, "w") as f:
            f.write(text)
        cls.pkg = os.path.join(cls.tmp, "demo.pkg")
        run(ARGS.zorv, "build", manifest, "-o", cls.pkg)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def install(self):
        """A fresh install of the demo; its registry file already holds another program's key."""
        root = tempfile.mkdtemp(dir=self.tmp)
        d = {"root": root, "dest": os.path.join(root, "Program Files", "Zorv Demo"),
             "reg": os.path.join(root, "r.reg"), "programs": os.path.join(root, "Programs"),
             "desktop": os.path.join(root, "Desktop")}
        with open(d["reg"], "w") as f:
            f.write('REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other\\Keep]\r\n"v"="1"\r\n')
        run(ARGS.zorv, "install", self.pkg, "--dest", d["dest"], "--registry-file", d["reg"],
            "--programs-dir", d["programs"], "--desktop-dir", d["desktop"])
        return d

    def uninstall(self, d, *more, **kw):
        return run(ARGS.zorv, "uninstall", d["dest"], "--registry-file", d["reg"],
                   "--programs-dir", d["programs"], "--desktop-dir", d["desktop"], *more,
                   ok=False, **kw)

    def keys(self, d):
        return {k.lower() for k in parse_reg(read_bytes(d["reg"]).decode("cp1251"))}

    def test_everything_installed_goes_but_the_users_file(self):
        d = self.install()
        log = read_bytes(os.path.join(d["dest"], "UnInstall.log")).decode("cp1251").splitlines()
        with open(os.path.join(d["dest"], "notes.txt"), "w") as f:
            f.write("mine\n")
        p = self.uninstall(d, "--yes")
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(controls(p.stdout + p.stderr), [])
        roots = {"HCU": "hkey_current_user", "HLM": "hkey_local_machine"}
        for line in log:
            tag, value = line[:4], line[5:]
            if tag in ("DelF", "DelD") and "*" not in value:
                self.assertFalse(os.path.lexists(value.replace("\\", "/")), line)
            elif tag == "DelK":
                root, key = value.split(" ", 1)
                gone = (roots[root] + "\\" + key).lower()
                left = [k for k in self.keys(d) if k == gone or k.startswith(gone + "\\")]
                self.assertEqual(left, [], line)
        self.assertNotIn("hkey_local_machine\\software\\zantrel\\zorv demo", self.keys(d))
        self.assertIn("hkey_current_user\\software\\other\\keep", self.keys(d))
        self.assertEqual(os.listdir(d["programs"]), [])
        self.assertEqual(os.listdir(d["desktop"]), [])
        self.assertEqual(os.listdir(d["dest"]), ["notes.txt"])
        sections = report(p.stdout)
        self.assertIn(d["dest"] + "/hello.exe", sections["Removed:"])
        self.assertEqual(sections[KEPT], [d["dest"]])

    def test_upgrades_leave_one_log_and_nothing_behind(self):
        """Version 2 over version 1, whole or stopped midway by a folder where its new file
        goes: the log names what both installed, once each, and the uninstall removes it all."""
        v2 = os.path.join(self.tmp, "demo-v2.pkg")
        if not os.path.exists(v2):
            run(ARGS.zorv, "build", os.path.join(ARGS.source, "tests/e2e/demo-v2.toml"), "-o", v2)
        for midway in (False, True):
            d = self.install()
            blocker = os.path.join(d["dest"], "docs", "whatsnew.txt")
            if midway:
                os.makedirs(blocker)
            p = run(ARGS.zorv, "install", v2, "--dest", d["dest"], "--registry-file", d["reg"],
                    "--programs-dir", d["programs"], "--desktop-dir", d["desktop"], ok=False)
            self.assertEqual(p.returncode, 1 if midway else 0, p.stderr)
            lines = read_bytes(os.path.join(d["dest"], "UnInstall.log")).splitlines()
            self.assertIn(b"DelF " + d["dest"].encode() + b"\\docs\\changes.txt", lines)
            self.assertEqual(len(lines), len(set(lines)), midway)
            if midway:
                os.rmdir(blocker)
            p = self.uninstall(d, "--yes")
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertFalse(os.path.exists(d["dest"]), midway)
            self.assertEqual(os.listdir(d["programs"]) + os.listdir(d["desktop"]), [], midway)

    def test_it_asks_first(self):
        cases = [(None, 1), (b"n\n", 1), (b"", 1), (b"y\n", 0)]  # None: no terminal at all
        for answer, status in cases:
            d = self.install()
            before = snapshot(d["root"])
            if answer is None:
                p = self.uninstall(d, stdin=subprocess.DEVNULL)
            else:
                master, slave = pty.openpty()
                os.write(master, answer or b"\x04")  # ^D: the end of the input
                p = self.uninstall(d, stdin=slave)
                os.close(slave)
                os.close(master)
            self.assertEqual(p.returncode, status, (answer, p.stderr))
            self.assertIn(b"Remove Zorv Demo and all of its components? [y/N] ", p.stderr)
            self.assertEqual(snapshot(d["root"]) == before, status == 1, answer)

    def test_hostile_logs_remove_nothing_outside(self):
        mine = os.geteuid() != 0  # real system paths only where they cannot go anyway
        def forged(d):
            dest, outside = d["dest"], os.path.join(d["root"], "outside")
            return (["DelD /etc", "DelF /etc/hostname"] if mine else []) + [
                "DelD " + outside, "DelF " + outside + "\\f.txt",
                "DelF " + dest + "\\..\\..\\outside\\f.txt", "DelD " + dest + "\\..",
                "DelF " + d["desktop"] + "\\..\\outside\\x.lnk", "DelF ../../x"]
        def keys(d):
            return ["DelK HLM Software", "DelK HCU Software", "DelK HCU Software\\Other",
                    "DelK HCU \\Software\\Other\\Keep", "DelK HKCU Software\\Other\\Keep"]
        def around(d):  # the same folder to Windows, not here; and a link to outside
            parent = os.path.dirname(d["dest"])
            return ["DelF " + parent + "/ZORV DEMO\\f.txt",
                    "DelF " + parent + "/Zorv Demo.\\f.txt",
                    "DelF " + d["dest"] + "\\link\\f.txt", "DelD " + d["dest"] + "\\link\\dir",
                    "DelD " + d["dest"] + "\\link"]
        cases = [  # (what, the log's Work, its other lines, a text of the report or error)
            ("work is the root", lambda d: "/", forged, b"cannot uninstall: the log names"),
            ("work is elsewhere", lambda d: os.path.join(d["root"], "outside"), forged,
             b"cannot uninstall: the log belongs"),
            ("work in other case", lambda d: os.path.join(d["root"], "Program Files", "ZORV DEMO"),
             forged, b"cannot uninstall: the log belongs"),
            ("forged paths", lambda d: d["dest"], forged, REFUSED.encode()),
            ("forged keys", lambda d: d["dest"], keys, REFUSED.encode()),
            ("links and names this system tells apart", lambda d: d["dest"], around,
             b"could not be removed"),
        ]
        for what, work, lines, said in cases:
            d = self.install()
            outside = os.path.join(d["root"], "outside")
            os.makedirs(os.path.join(outside, "dir"))
            for path in (os.path.join(outside, "f.txt"), os.path.join(outside, "dir", "g.txt")):
                with open(path, "w") as f:
                    f.write("keep\n")
            for name in ("ZORV DEMO", "Zorv Demo."):
                os.makedirs(os.path.join(d["root"], "Program Files", name))
                with open(os.path.join(d["root"], "Program Files", name, "f.txt"), "w") as f:
                    f.write("keep\n")
            os.symlink(outside, os.path.join(d["dest"], "link"))
            log = ["Name Remove Zorv Demo", "Work " + work(d)] + lines(d)
            with open(os.path.join(d["dest"], "UnInstall.log"), "w") as f:
                f.write("\n".join(log) + "\n")
            before = snapshot(d["root"])
            p = self.uninstall(d, "--yes")
            self.assertEqual(p.returncode, 1, (what, p.stderr))
            self.assertTrue(p.stderr.startswith(b"zorv: "), (what, p.stderr))
            self.assertIn(said, p.stdout + p.stderr, what)
            after = snapshot(d["root"])
            dest = os.path.relpath(d["dest"], d["root"])
            # Only the log may go (it is removed last), and the link, not what it points at.
            may_go = ("r.reg", os.path.join(dest, "link"), os.path.join(dest, "UnInstall.log"))
            for rel, entry in before.items():
                if rel not in may_go:
                    self.assertEqual(after.get(rel), entry, (what, rel))
            self.assertIn("hkey_current_user\\software\\other\\keep", self.keys(d), what)
            if said == REFUSED.encode():
                refused = report(p.stdout)[REFUSED]
                self.assertEqual(sorted(refused), sorted(l[5:] for l in log[2:]), what)


RUSSIAN_MANIFEST = """[application]
name = "Справка"
codepage = 1251
[[files]]
source = "app"
target = ""
[[shortcut]]
name = 'Руководство'
target = 'Руководство.txt'
desktop = true
[registry]
key = 'HCU\Software\Zorv\Справка'
[registry.values]
"Папка" = 'DESTDIR\Документы'
[uninstall]
files = ['Документы\*.bak']
"""


def tree(top):
    """Every path below top, relative, with "/" after folders; the names as str (UTF-8)."""
    out = set()
    for folder, dirs, files in os.walk(top):
        rel = os.path.relpath(folder, top)
        for name in dirs:
            out.add(os.path.normpath(os.path.join(rel, name)) + "/")
        for name in files:
            out.add(os.path.normpath(os.path.join(rel, name)))
    return out


class CodePages(unittest.TestCase):
    """Names and texts in UTF-8: a package built in code page 1251, and one without the code
    page entry, read as 1252; --codepage reads either in the other."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-cli-codepage-")
        source = os.path.join(cls.tmp, "source")
        os.makedirs(os.path.join(source, "app", "Документы"))
        for name, text in [("Руководство.txt", "руководство\n"),
                           ("Документы/Заметки.txt", "заметки\n")]:
            with open(os.path.join(source, "app", name), "w", encoding="utf-8") as f:
                f.write(text)
        with open(os.path.join(source, "zorv.toml"), "w", encoding="utf-8") as f:
            f.write(RUSSIAN_MANIFEST)
        cls.russian = os.path.join(cls.tmp, "russian.pkg")
        run(ARGS.zorv, "build", os.path.join(source, "zorv.toml"), "-o", cls.russian)
        run(ARGS.make_packages, cls.tmp)
        cls.western = os.path.join(cls.tmp, "western.pkg")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def test_extract_writes_utf8_names(self):
        rows = [
            ("russian", [], {"Руководство.txt", "Документы/", "Документы/Заметки.txt", "uninstall.exe"}),
            ("russian", ["--codepage", "1252"],
             {"Ðóêîâîäñòâî.txt", "Äîêóìåíòû/", "Äîêóìåíòû/Çàìåòêè.txt", "uninstall.exe"}),
            ("western", [], {"café.txt", "été/", "été/naïve.txt"}),
            ("western", ["--codepage=1251"], {"cafй.txt", "йtй/", "йtй/naпve.txt"}),
        ]
        for pkg, more, names in rows:
            with self.subTest(pkg=pkg, more=more):
                out = tempfile.mkdtemp(dir=self.tmp)
                run(ARGS.zorv, "extract", getattr(self, pkg), "-C", out, *more)
                self.assertEqual(tree(out), names)

    def test_list_shows_utf8_texts(self):
        text = run(ARGS.zorv, "list", self.russian).stdout.decode("utf-8")
        for shown in ["setup \"Справка\"", "Документы/Заметки.txt", "Руководство -> Руководство.txt",
                      "Software\\Zorv\\Справка", "Папка = DESTDIR\\Документы", "Документы/*.bak"]:
            self.assertIn(shown, text)
        listing = json.loads(run(ARGS.zorv, "list", "--json", self.russian).stdout)
        self.assertEqual(listing["application"], "Справка")
        self.assertIn("Документы/Заметки.txt", [f["path"] for f in listing["files"]])
        self.assertEqual(listing["registry"]["values"][0]["name"], "Папка")
        western = json.loads(run(ARGS.zorv, "list", "--json", self.western).stdout)
        self.assertEqual((western["application"], western["files"][0]["path"]), ("Café", "café.txt"))
        entries = run(ARGS.zorv, "list", "--entries", self.russian).stdout.decode("utf-8")
        self.assertRegex(entries, r"CPag  CodePage")
        self.assertTrue(run(ARGS.zorv, "verify", self.russian).stdout.startswith(b"OK: "))

    def test_install_then_uninstall_a_1251_package(self):
        root = tempfile.mkdtemp(dir=self.tmp)
        dest = os.path.join(root, "Программы", "Справка")  # a destination in the code page
        places = ["--registry-file", os.path.join(root, "r.reg"),
                  "--programs-dir", os.path.join(root, "Programs"),
                  "--desktop-dir", os.path.join(root, "Desktop")]
        run(ARGS.zorv, "install", self.russian, "--dest", dest, *places)
        self.assertEqual(tree(dest), {"Руководство.txt", "Документы/", "Документы/Заметки.txt",
                                      "uninstall.exe", "UnInstall.log"})
        self.assertEqual(tree(os.path.join(root, "Programs")), {"Справка/", "Справка/Руководство.lnk"})
        self.assertEqual(tree(os.path.join(root, "Desktop")), {"Руководство.lnk"})
        link = read_bytes(os.path.join(root, "Desktop", "Руководство.lnk"))
        self.assertIn((dest.replace("/", "\\") + "\\Руководство.txt").encode("utf-16-le"), link)
        keys = parse_reg(read_bytes(os.path.join(root, "r.reg")).decode("utf-8"))
        self.assertEqual(keys["HKEY_CURRENT_USER\\Software\\Zorv\\Справка"]["Папка"],
                         dest + "\\Документы")
        # The log is the setup's, in the code page, and names it on zorv's own last line.
        log = read_bytes(os.path.join(dest, "UnInstall.log")).decode("cp1251").splitlines()
        self.assertIn("DelF " + dest + "\\Руководство.txt", log)
        self.assertEqual(log[-1], "CPag 1251")

        p = run(ARGS.zorv, "uninstall", dest, "--yes", *places)
        self.assertIn(dest + "/Документы/Заметки.txt", p.stdout.decode("utf-8"))
        self.assertFalse(os.path.exists(dest))
        self.assertEqual(os.listdir(os.path.join(root, "Programs")), [])
        self.assertEqual(os.listdir(os.path.join(root, "Desktop")), [])
        keys = parse_reg(read_bytes(os.path.join(root, "r.reg")).decode("utf-8"))
        self.assertNotIn("HKEY_CURRENT_USER\\Software\\Zorv\\Справка", keys)

    def test_a_destination_outside_the_code_page_is_refused(self):
        p = run(ARGS.zorv, "extract", self.western, "-C", os.path.join(self.tmp, "Папка"), ok=False)
        self.assertEqual(p.returncode, 1)
        self.assertIn("code page 1252 lacks", p.stderr.decode("utf-8"))


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--zorv", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--stub", default="")
    ap.add_argument("--make-packages", required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
