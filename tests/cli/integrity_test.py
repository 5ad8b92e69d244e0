#!/usr/bin/env python3
"""The demo package proves its integrity: no body or data block is stored, and one flipped byte
in a data block, a file record or the directory makes `zorv verify` and `zorv extract` fail
with status 1 and say where, instead of passing or writing wrong bytes."""
import argparse, os, shutil, struct, subprocess, sys, tempfile, unittest, zlib

ARGS = None


def run(*cmd):
    return subprocess.run([str(c) for c in cmd], capture_output=True)


class Package:
    """Just enough of the format to find ranges: header fields, the directory, file and folder
    records."""

    def __init__(self, data):
        self.data = data
        self.base, self.dir_at = struct.unpack_from("<II", data, 32)
        self.count, self.dir_packed = struct.unpack_from("<II", data, 44)
        directory = zlib.decompress(data[self.dir_at:self.dir_at + self.dir_packed])
        assert len(directory) == self.count * 44
        self.entries = [(directory[i:i + 4], struct.unpack_from("<III", directory, i + 4))
                        for i in range(0, len(directory), 44)]

    def body(self, rng):
        offset, unpacked, packed = rng
        raw = self.data[self.base + offset:self.base + offset + packed]
        return raw if packed == unpacked else zlib.decompress(raw)

    @staticmethod
    def items(body, start):
        count = struct.unpack_from("<i", body, start)[0]
        return [(body[at:at + 4], struct.unpack_from("<III", body, at + 4))
                for at in range(start + 4, start + 4 + 16 * max(count, 0), 16)]

    def copy(self, rng):
        """(name, [block ranges]) of a file record."""
        body = self.body(rng)
        n = body[0]
        return body[1:1 + n].decode("cp1252"), [r for _, r in self.items(body, 1 + n + 1 + 4)]

    def folder(self, rng):
        """[(tag, range)] of a folder record's members."""
        body = self.body(rng)
        return self.items(body, 1 + body[0])

    def ranges(self):
        """Every body and block reachable from the directory."""
        out = []

        def walk(tag, rng):
            out.append(rng)
            if tag == b"Copy":
                out.extend(self.copy(rng)[1])
            elif tag == b"CopD":
                for member_tag, member in self.folder(rng):
                    walk(member_tag, member)

        for tag, rng in self.entries:
            if rng[0] != 0:
                walk(tag, rng)
        return out


class Integrity(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="zorv-integrity-")
        cls.pkg = os.path.join(cls.tmp, "demo.pkg")
        p = run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"),
                "-o", cls.pkg)
        assert p.returncode == 0, p.stderr
        with open(cls.pkg, "rb") as f:
            cls.good = f.read()
        cls.package = Package(cls.good)
        # The same package inside a setup.exe, where it starts wherever its resource does.
        cls.exe = os.path.join(cls.tmp, "demo.exe")
        p = run(ARGS.zorv, "build", os.path.join(ARGS.source, "examples/demo/zorv.toml"),
                "-o", cls.exe)
        assert p.returncode == 0, p.stderr
        with open(cls.exe, "rb") as f:
            cls.good_exe = f.read()
        cls.exe_base = cls.good_exe.index(cls.good[52:52 + 4096]) - 52

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def test_no_body_or_block_is_stored(self):
        ranges = self.package.ranges()
        self.assertGreater(len(ranges), 20)
        stored = [r for r in ranges if r[1] == r[2]]
        self.assertEqual(stored, [])
        p = run(ARGS.zorv, "verify", self.pkg)
        self.assertEqual(p.returncode, 0, p.stdout)
        self.assertNotIn(b"stored", p.stdout)

    def test_a_flipped_byte_fails_verify_and_extract(self):
        pkg = self.package
        index, (tag, record) = next((i, e) for i, e in enumerate(pkg.entries) if e[0] == b"Copy")
        name, blocks = pkg.copy(record)
        self.assertTrue(blocks, name)
        block = blocks[0]
        cases = [
            # what, where (offset in the file, length), in verify's message, in extract's
            ("a file's data block", (pkg.base + block[0], block[2]),
             f'file "{name}" block 0 cannot be read', name),
            ("a file record", (pkg.base + record[0], record[2]),
             f'entry {index} (Copy "Copy"): its body cannot be read', f"entry {index}"),
            ("the directory", (pkg.dir_at, pkg.dir_packed), "directory is damaged",
             "directory is damaged"),
        ]
        targets = [("demo.pkg", self.good, 0), ("demo.exe", self.good_exe, self.exe_base)]
        for what, (at, length), verify_says, extract_says in cases:
            for file_name, good, base in targets:
                with self.subTest(what=what, file=file_name):
                    bad = bytearray(good)
                    bad[base + at + length // 2] ^= 0x01
                    path = os.path.join(self.tmp, "bad-" + file_name)
                    with open(path, "wb") as f:
                        f.write(bad)
                    for command in ("verify", "test"):
                        p = run(ARGS.zorv, command, path)
                        out = (p.stdout + p.stderr).decode(errors="replace")
                        self.assertEqual(p.returncode, 1, out)
                        self.assertIn(verify_says, out)
                    # Unpacked ahead on other threads or not, the same failure and files.
                    outcomes = [self.extract(path, jobs) for jobs in ("1", "2")]
                    self.assertEqual(outcomes[0], outcomes[1])
                    status, _, err, _ = outcomes[0]
                    self.assertEqual(status, 1, err)
                    self.assertIn(extract_says, err)

    def extract(self, path, jobs):
        """zorv extract's status, output, errors and files."""
        dest = os.path.join(self.tmp, "x")
        shutil.rmtree(dest, ignore_errors=True)
        p = run(ARGS.zorv, "extract", path, "-C", dest, "-j", jobs)
        files = {}
        for d, _, names in os.walk(dest):
            for name in names:
                with open(os.path.join(d, name), "rb") as f:
                    files[os.path.relpath(os.path.join(d, name), dest)] = f.read()
        return p.returncode, p.stdout, p.stderr.decode(errors="replace"), files

if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--zorv", required=True)
    ap.add_argument("--source", required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
