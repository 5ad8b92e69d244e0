"""The Wine benchmark's payload: a deterministic tree of about 2,000 files and 200 MB, shaped
like an application (many small files in nested folders, a few large ones) and of mixed
compressibility (text packs about 3:1, tables about 2:1, media not at all)."""

import json
import shutil
import random
import zlib
from pathlib import Path

SEED = 20240610
# Extensions by kind; the kind decides the content.
KINDS = {"text": (".txt", ".xml", ".cfg", ".lua"), "table": (".dll", ".dat", ".bin", ".exe"),
         "media": (".png", ".ogg", ".jpg")}
KIND_WEIGHTS = {"text": 0.45, "table": 0.40, "media": 0.15}
POOL_BYTES = 4 << 20  # beyond zlib's 32 KiB window, slices of a pool pack like fresh data


def _text_pool(rng):
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))
             for _ in range(3000)]
    weights = [1.0 / (i + 1) for i in range(len(words))]
    out = bytearray()
    while len(out) < POOL_BYTES:
        line = " ".join(rng.choices(words, weights, k=rng.randint(4, 16)))
        out += line.encode() + (b".\r\n" if rng.random() < 0.3 else b", ")
    return bytes(out[:POOL_BYTES])


def _slices(rng, pool, n, chunk):
    out = bytearray()
    while len(out) < n:
        start = rng.randrange(0, len(pool) - chunk)
        out += pool[start:start + chunk]
    return bytes(out[:n])


def _content(rng, kind, n, pool):
    if kind == "media":
        return rng.randbytes(n)
    if kind == "text":
        return _slices(rng, pool, n, 65536)
    # Tables: pool slices with random fields in between.
    out = bytearray()
    while len(out) < n:
        out += _slices(rng, pool, 3072, 3072) if rng.random() < 0.6 else rng.randbytes(2048)
    return bytes(out[:n])


def _folders(rng):
    """About 150 folders, one to four levels deep."""
    tops = ["bin", "data", "docs", "locale", "media", "plugins", "scripts", "shaders"]
    folders = list(tops)
    frontier = list(tops)
    while len(folders) < 150:
        parent = rng.choice(frontier)
        child = f"{parent}\\{rng.choice(['core', 'ui', 'net', 'lev', 'pack', 'fx', 'en', 'ru'])}" \
                f"{rng.randrange(100):02d}"
        if child in folders or child.count("\\") > 3:
            continue
        folders.append(child)
        frontier.append(child)
    return folders


def plan(files, megabytes):
    """[(name with backslashes, size, kind)] for `files` files of about `megabytes` MB in all."""
    rng = random.Random(SEED)
    folders = _folders(rng)
    raw = [min(rng.lognormvariate(0, 1.8), 400.0) for _ in range(files)]
    scale = megabytes * 1_000_000 / sum(raw)
    names = set()
    out = []
    for i, r in enumerate(raw):
        kind = rng.choices(list(KIND_WEIGHTS), list(KIND_WEIGHTS.values()))[0]
        name = f"{rng.choice(folders)}\\f{i:04d}{rng.choice(KINDS[kind])}"
        names.add(name.lower())
        out.append((name, max(1, int(r * scale)), kind))
    assert len(names) == files
    return sorted(out)


def generate(directory, files, megabytes):
    """Writes the payload below `directory` (once: a stamp holds what was made) and returns
    {name with backslashes: (size, crc32)}."""
    directory = Path(directory)
    stamp = directory / "payload.json"
    key = {"seed": SEED, "files": files, "megabytes": megabytes}
    if stamp.exists():
        saved = json.loads(stamp.read_text())
        if saved["key"] == key:
            return {n: tuple(v) for n, v in saved["files"].items()}
    rng = random.Random(SEED + 1)
    pool = _text_pool(rng)
    tree = directory / "tree"
    if tree.exists():
        shutil.rmtree(tree)
    expected = {}
    for name, size, kind in plan(files, megabytes):
        data = _content(rng, kind, size, pool)
        path = tree.joinpath(*name.split("\\"))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        expected[name] = (size, zlib.crc32(data))
    stamp.write_text(json.dumps({"key": key, "files": expected}))
    return expected
