#!/usr/bin/env python3
"""zorv init end to end: the manifest it writes builds as it is, without a warning, and it never
writes over a file at its name nor accepts a folder that is not one."""
import argparse, os, shutil, subprocess, sys, tempfile, unittest

ARGS = None


def zorv(*args, cwd=None):
    return subprocess.run([ARGS.zorv, *args], capture_output=True, cwd=cwd)


class Init(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="zorv-init-")

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def test_the_manifest_builds_as_it_is(self):
        demo = os.path.join(ARGS.source, "examples/demo/app")
        shutil.copytree(demo, os.path.join(self.tmp, "Demo App"))
        os.mkdir(os.path.join(self.tmp, "Заметки"))
        shutil.copy(os.path.join(demo, "hello.exe"), os.path.join(self.tmp, "Заметки", "Игра.exe"))
        for folder, program in [("Demo App", "hello.exe"), ("Заметки", "Игра.exe")]:
            p = zorv("init", folder, cwd=self.tmp)
            self.assertEqual(p.returncode, 0, p.stderr)
            out = p.stdout.decode()
            self.assertIn(f"runs {program}", out)
            word = f'"{folder}/zorv.toml"' if " " in folder else f"{folder}/zorv.toml"
            self.assertIn(f"next: zorv build {word} -o setup.exe", out)
            pkg = os.path.join(self.tmp, folder + ".pkg")
            p = zorv("build", os.path.join(folder, "zorv.toml"), "-o", pkg,
                     "--uninstaller", ARGS.uninstaller, cwd=self.tmp)
            self.assertEqual((p.returncode, p.stderr), (0, b""), folder)  # no warning either
            listing = zorv("list", pkg).stdout.decode()
            self.assertIn(f"link desktop  {folder} -> {program}", listing)
            self.assertIn(f"program started after the install: {program}", listing)
            self.assertNotIn("zorv.toml", listing)

    def test_the_current_folder_by_default(self):
        p = zorv("init", cwd=self.tmp)
        self.assertEqual(p.returncode, 0, p.stderr)
        self.assertIn(b"next: zorv build ./zorv.toml -o setup.exe", p.stdout)
        self.assertTrue(os.path.isfile(os.path.join(self.tmp, "zorv.toml")))

    def test_refusals_write_nothing(self):
        kept = os.path.join(self.tmp, "kept")
        os.mkdir(kept)
        with open(os.path.join(kept, "zorv.toml"), "wb") as f:
            f.write(b"# mine\n")
        linked = os.path.join(self.tmp, "linked")
        os.mkdir(linked)
        os.symlink(os.path.join(self.tmp, "target.toml"), os.path.join(linked, "zorv.toml"))
        open(os.path.join(self.tmp, "file"), "w").close()
        never = "already exists; zorv init never writes over it"
        cases = [("kept", f"kept/zorv.toml {never}"), ("linked", f"linked/zorv.toml {never}"),
                 ("missing", "missing: no such folder"), ("file", "file: not a folder")]
        for folder, message in cases:
            p = zorv("init", folder, cwd=self.tmp)
            self.assertEqual((p.returncode, p.stdout), (1, b""), folder)
            self.assertEqual(p.stderr.decode().splitlines(), ["zorv: " + message])
        with open(os.path.join(kept, "zorv.toml"), "rb") as f:
            self.assertEqual(f.read(), b"# mine\n")
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "target.toml")))
        self.assertEqual(sorted(os.listdir(self.tmp)), ["file", "kept", "linked"])


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    for option in ("--zorv", "--source", "--uninstaller"):
        ap.add_argument(option, required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
