#!/usr/bin/env python3
"""zorv build and what it writes over: never a file the build reads (the manifest, the stub, a
source, also through a link or under another name), never a device node renamed away, and no
output at all from a hostile stub. Each case runs on its own copy of the demo."""
import argparse, os, shutil, stat, subprocess, sys, tempfile, unittest

ARGS = None


class BuildOutputs(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="zorv-build-outputs-")
        self.demo = os.path.join(self.tmp, "demo")
        shutil.copytree(os.path.join(ARGS.source, "examples/demo"), self.demo, symlinks=True)
        self.manifest = os.path.join(self.demo, "zorv.toml")
        with open(self.manifest, "rb") as f:
            self.manifest_bytes = f.read()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def build(self, out, *more):
        return subprocess.run([ARGS.zorv, "build", self.manifest, "-o", out, *more],
                              capture_output=True, text=True)

    def assert_refused(self, p, part, status=1):
        self.assertEqual(p.returncode, status, p.stdout + p.stderr)
        lines = p.stderr.splitlines()
        self.assertEqual(len(lines), 1, p.stderr)
        self.assertIn(part, lines[0])

    def assert_unchanged(self, path, before):
        self.assertTrue(stat.S_ISREG(os.lstat(path).st_mode), path)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), before, path)

    def test_inputs_are_never_outputs(self):
        source = os.path.join(self.demo, "app", "readme.txt")
        with open(source, "rb") as f:
            source_bytes = f.read()
        os.symlink(self.manifest, os.path.join(self.tmp, "link.pkg"))
        os.link(source, os.path.join(self.tmp, "hard.pkg"))
        os.link(self.manifest, os.path.join(self.tmp, "next.pkg.partial"))
        bitmap = os.path.join(self.demo, "art", "pic.bmp")
        with open(bitmap, "rb") as f:
            bitmap_bytes = f.read()
        os.symlink(bitmap, os.path.join(self.tmp, "bitmap.pkg"))
        not_named = "ends neither in .exe (a setup) nor in .pkg"
        rows = [  # -o, a part of the one line, the exit status (2: refused by its name)
            (self.manifest, not_named, 2),
            (os.path.join(self.tmp, "link.pkg"), "it is the manifest", 1),
            (source, not_named, 2),
            (os.path.join(self.tmp, "hard.pkg"), "it is a source file of the package", 1),
            (bitmap, not_named, 2),
            (os.path.join(self.tmp, "bitmap.pkg"), "it is a bitmap of the page", 1),
            (os.path.join(self.demo, "app"), "is a folder", 1),
        ]
        for out, part, status in rows:
            with self.subTest(out=out):
                self.assert_refused(self.build(out), part, status)
        # The output is first written to a new file: an input at a name beside it is no matter.
        p = self.build(os.path.join(self.tmp, "next.pkg"))
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertEqual(os.stat(os.path.join(self.tmp, "next.pkg.partial")).st_nlink, 2)
        self.assert_unchanged(self.manifest, self.manifest_bytes)
        self.assert_unchanged(source, source_bytes)
        self.assert_unchanged(bitmap, bitmap_bytes)
        self.assertTrue(os.path.islink(os.path.join(self.tmp, "link.pkg")))

    def test_the_stub_is_never_the_output(self):
        stub = os.path.join(self.tmp, "stub.exe")
        shutil.copy(os.path.join(self.demo, "app", "hello.exe"), stub)
        with open(stub, "rb") as f:
            before = f.read()
        self.assert_refused(self.build(stub, "--stub", stub), "it is the stub")
        self.assert_unchanged(stub, before)

    def test_a_device_is_written_in_place(self):
        # As root a device node of our own stands in for /dev/null and /dev/full, so that a
        # fault cannot replace the system's; without root the rename could not happen anyway.
        if os.geteuid() == 0:
            null, full = os.path.join(self.tmp, "null"), os.path.join(self.tmp, "full")
            os.mknod(null, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            os.mknod(full, 0o666 | stat.S_IFCHR, os.makedev(1, 7))
        else:
            null, full = "/dev/null", None
        p = self.build(null)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertTrue(stat.S_ISCHR(os.stat(null).st_mode))
        self.assertFalse(os.path.exists(null + ".partial"))
        if full:
            self.assert_refused(self.build(full), "No space left on device")
            self.assertTrue(stat.S_ISCHR(os.stat(full).st_mode))

    def test_a_stub_with_its_headers_after_its_sections_is_refused(self):
        seeds = os.path.join(self.tmp, "seeds")
        subprocess.run([ARGS.make_pe_seeds, seeds], check=True)
        out = os.path.join(self.tmp, "setup.exe")
        p = self.build(out, "--stub", os.path.join(seeds, "headers-after-sections.exe"))
        self.assert_refused(p, "SizeOfHeaders")
        self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--zorv", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--make-pe-seeds", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
