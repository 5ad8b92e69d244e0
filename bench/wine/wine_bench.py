"""Install speed under Wine: our setup.exe against a peer's installer and the Wine floor.

Generates a deterministic payload (payload.py), builds from it our setup.exe, the peer's
installer (makensis, zlib) and the package that the bare extractor reads, then runs each under
Wine + Xvfb into the same disk folder and the same tmpfs folder, interleaved over the rounds.
Our setup is driven through its page by the e2e driver; the page's own start and end are
measured on a 1-file package in the same round and subtracted. Every run's files, sizes and
CRC-32s are checked. Prints the medians and the median of each round's ratios, draws a bar
chart, and measures the builders' peak memory on the payload.
  usage: wine_bench.py --win32-build DIR --zorv ZORV [--rounds 5] [--work DIR] [--chart PNG]
                       [--stub SETUP_EXE] [--files N --megabytes M] [--tmpfs DIR]
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent.parent / "tests" / "e2e"))

import payload  # noqa: E402
import wine_env  # noqa: E402
from scenario import script_word  # noqa: E402

APP = "Bench"
TINY = {"readme.txt": b"one file: the page's own start and end\r\n" * 20}
# Runs of one round, in the order of round 0; later rounds rotate it.
TOOLS = ("floor", "peer", "ours", "ours-1", "floor-1", "peer-1")
LABELS = {"floor": "bare extractor (the floor)", "peer": "peer installer, /S, zlib",
          "ours": "our setup.exe, page subtracted"}


def run(command, **kw):
    return subprocess.run(command, check=True, **kw)


# --- building ------------------------------------------------------------------------------

def manifest(tree):
    return (f'[application]\nname = "{APP}"\n[[files]]\nsource = "{tree}"\ntarget = ""\n'
            "[uninstall]\nprogram = false\n")


def nsis_script(tree, out):
    return (f'Name "{APP}"\nOutFile "{out}"\nInstallDir "$TEMP\\{APP}"\n'
            "RequestExecutionLevel user\nSetCompressor zlib\n"
            f'Section\n  SetOutPath "$INSTDIR"\n  File /r "{tree}/*"\nSectionEnd\n')


def peak_memory(command, log, cwd=None):
    """Runs `command` under /usr/bin/time -v; (seconds, peak resident kB)."""
    begin = time.monotonic()
    with open(log, "wb") as out:
        run(["/usr/bin/time", "-v"] + command, stdout=out, stderr=subprocess.STDOUT, cwd=cwd)
    seconds = time.monotonic() - begin
    for line in Path(log).read_text(errors="replace").splitlines():
        if "Maximum resident set size" in line:
            return seconds, int(line.rsplit(":", 1)[1])
    raise RuntimeError("no peak memory in " + str(log))


def build_all(args, work, tree, tiny_tree):
    """Builds both payloads with all three tools; returns the builders' figures for the big one
    as {name: (seconds, peak kB, output bytes)}."""
    stub = args.stub or str(Path(args.win32_build) / "resources" / "setup.exe")
    out = work / "out"
    out.mkdir(exist_ok=True)
    figures = {}
    for name, source in (("big", tree), ("tiny", tiny_tree)):
        (work / f"{name}.toml").write_text(manifest(source))
        (work / f"{name}.nsi").write_text(nsis_script(source, out / f"peer-{name}.exe"))
        commands = {
            "zorv build": [args.zorv, "build", str(work / f"{name}.toml"), "-o",
                           str(out / f"ours-{name}.exe"), "--stub", stub],
            "makensis": ["makensis", "-V2", str(work / f"{name}.nsi")],
        }
        for tool, command in commands.items():
            seconds, kb = peak_memory(command, work / f"{tool.split()[0]}-{name}.log")
            target = out / (f"ours-{name}.exe" if tool == "zorv build" else f"peer-{name}.exe")
            figures[(tool, name)] = (seconds, kb, target.stat().st_size)
        run([args.zorv, "build", str(work / f"{name}.toml"), "-o", str(out / f"{name}.pkg")],
            stdout=subprocess.DEVNULL)
    zip_path = out / "big.zip"
    zip_path.unlink(missing_ok=True)
    seconds, kb = peak_memory(["zip", "-9", "-r", "-q", str(zip_path), "."], work / "zip.log",
                              cwd=tree)
    figures[("zip -9 -r", "big")] = (seconds, kb, zip_path.stat().st_size)
    return {tool: v for (tool, name), v in figures.items() if name == "big"}


# --- running -------------------------------------------------------------------------------

class Bench:
    def __init__(self, args, work, expected):
        self.args = args
        self.work = work
        self.expected = expected
        self.out = work / "out"
        self.prefix = work / "prefix"
        self.driver = Path(args.win32_build) / "tests" / "e2e" / "zorv_e2e_driver.exe"
        self.floor = Path(args.win32_build) / "bench" / "wine" / "bare_extractor.exe"

    def start(self):
        if not (self.prefix / "system.reg").exists():
            print("making the Wine prefix (once)...", flush=True)
            wine_env.make_base_prefix(self.work, self.prefix, self.work / "wineboot.log")
        self.xserver = wine_env.XServer(self.work / "xvfb.log")
        self.env = wine_env.wine_environment(self.work, self.prefix, "en", self.xserver.display)
        # One server for every run, so no run pays for starting it.
        run(["wineserver", "-p"], env=self.env)
        run(["wine", "cmd", "/c", "exit"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        self.xserver.stop()

    def command(self, tool, dest):
        size = "tiny" if tool.endswith("-1") else "big"
        win_dest = wine_env.windows_path(dest)
        if tool.startswith("floor"):
            return ["wine", str(self.floor), wine_env.windows_path(self.out / f"{size}.pkg"),
                    win_dest]
        if tool.startswith("peer"):
            return ["wine", str(self.out / f"peer-{size}.exe"), "/S", "/D=" + win_dest]
        script = self.work / "script.txt"
        steps = [["timeout", 900000], ["start"], ["wait-page"], ["settext", 1000, win_dest],
                 ["uncheck", 1003], ["click", 1006], ["wait-text", 1007, "Ok"],
                 ["click", 1007], ["wait-exit"]]
        script.write_bytes(b"\n".join(b" ".join([s[0].encode()] + [script_word(a) for a in s[1:]])
                                      for s in steps) + b"\n")
        return ["wine", str(self.driver), "--setup",
                wine_env.windows_path(self.out / f"ours-{size}.exe"),
                "--script", wine_env.windows_path(script),
                "--out", wine_env.windows_path(self.work / "report.json")]

    def once(self, tool, dest):
        """One timed run into an empty `dest`; checks what it installed. Seconds, and for our
        setup also the driver's own count from the click on Next to the completion state."""
        if dest.exists():
            shutil.rmtree(dest)
        dest.parent.mkdir(parents=True, exist_ok=True)
        os.sync()
        report = self.work / "report.json"
        report.unlink(missing_ok=True)
        begin = time.monotonic()
        done = subprocess.run(self.command(tool, dest), env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=900)
        seconds = time.monotonic() - begin
        if done.returncode != 0:
            raise RuntimeError(f"{tool} exited with {done.returncode}")
        page = None
        if tool.startswith("ours"):
            data = json.loads(report.read_text())
            if not data["ok"] or data["exit_code"] != 0:
                raise RuntimeError(f"{tool}: the driver failed: {data['error']}")
            # The steps "click 1006" and "wait-text 1007 Ok", polled every 50 ms.
            page = sum(s["ms"] for s in data["steps"][5:7]) / 1000
        self.check(tool, dest)
        return seconds, page

    def check(self, tool, dest):
        expected = {n: (len(d), zlib.crc32(d)) for n, d in TINY.items()} \
            if tool.endswith("-1") else self.expected
        found = {}
        for path in dest.rglob("*"):
            if path.is_file():
                name = "\\".join(path.relative_to(dest).parts)
                if tool.startswith("ours") and name == "UnInstall.log":
                    continue
                data = path.read_bytes()
                found[name] = (len(data), zlib.crc32(data))
        if found != expected:
            missing = sorted(set(expected) - set(found))[:3]
            wrong = sorted(n for n in found if expected.get(n) != found[n])[:3]
            raise RuntimeError(f"{tool} into {dest}: {len(found)} files of "
                               f"{sum(s for s, _ in found.values())} bytes; expected "
                               f"{len(expected)} files; missing {missing}, wrong {wrong}")


def load_average():
    """The one-minute load: the figures mean little when it exceeds the cores."""
    return Path("/proc/loadavg").read_text().split()[0]


def median(values):
    return statistics.median(values)


def report(rounds, targets, files, total):
    """Prints the table; returns {target: {tool: median speed relative to the floor}}."""
    print(f"\n{files} files, {total:,} bytes; medians of {len(rounds)} interleaved rounds "
          "(seconds; speed = floor time / tool time of the same round)\n")
    speeds = {}
    for target in targets:
        rows = [r[target] for r in rounds]
        net = lambda r, tool: r[tool] - r[tool + "-1"]
        ours = [net(r, "ours") for r in rows]
        speeds[target] = {
            "floor": 1.0,
            "peer": median([r["floor"] / r["peer"] for r in rows]),
            "ours": median([r["floor"] / o for r, o in zip(rows, ours)]),
        }
        strict = {
            "peer": median([net(r, "floor") / net(r, "peer") for r in rows]),
            "ours": median([net(r, "floor") / o for r, o in zip(rows, ours)]),
        }
        print(f"{target}:")
        print(f"  {'':34} {'seconds':>8} {'1-file':>8} {'speed':>6} {'speed, all net':>15}")
        for tool in ("floor", "peer", "ours"):
            whole = median([r[tool] for r in rows])
            tiny = median([r[tool + "-1"] for r in rows])
            shown = median(ours) if tool == "ours" else whole
            print(f"  {LABELS[tool]:34} {shown:8.2f} {tiny:8.2f} {speeds[target][tool]:6.2f} "
                  f"{strict.get(tool, 1.0):15.2f}")
        print("  (ours: its run less its 1-file run; 'all net': every tool less its own "
              "1-file run)")
        page = [r["ours@page"] - r["ours-1@page"] for r in rows]
        print(f"  cross-check, the driver's count from Next to the completion state, less the "
              f"1-file one: {median(page):.2f} s, speed {median([r['floor'] / p for r, p in zip(rows, page)]):.2f}")
    return speeds


def chart(speeds, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    targets = list(speeds)
    tools = ("floor", "peer", "ours")
    colors = {"floor": "#999999", "peer": "#d08c3a", "ours": "#3a6fd0"}
    fig, ax = plt.subplots(figsize=(6.4, 3.2), dpi=100)
    width = 0.26
    for i, tool in enumerate(tools):
        xs = [t + (i - 1) * width for t in range(len(targets))]
        values = [speeds[t][tool] for t in targets]
        bars = ax.bar(xs, values, width, label=LABELS[tool], color=colors[tool])
        ax.bar_label(bars, fmt="%.2f", fontsize=8)
    ax.axhline(0.9, color="#c03030", linewidth=0.8, linestyle="--", label="target 0.9")
    ax.set_xticks(range(len(targets)), [f"into {t}" for t in targets])
    ax.set_ylabel("speed relative to the floor")
    ax.set_ylim(0, 1.4)
    ax.legend(fontsize=7, loc="upper center", ncol=2)
    ax.set_title("Installing under Wine (median of the rounds)", fontsize=10)
    fig.tight_layout()
    fig.savefig(path)
    print("chart:", path)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--win32-build", required=True, help="the win32 build folder")
    p.add_argument("--zorv", required=True, help="the host zorv program")
    p.add_argument("--stub", help="another setup.exe stub; default the win32 build's")
    p.add_argument("--work", default="build/wine-bench")
    p.add_argument("--tmpfs", default="/dev/shm/zorv-wine-bench")
    p.add_argument("--rounds", type=int, default=5)
    p.add_argument("--files", type=int, default=2011)
    p.add_argument("--megabytes", type=int, default=193)
    p.add_argument("--chart", help="the PNG to draw; default WORK/wine-bench.png")
    args = p.parse_args()
    work = Path(args.work).resolve()
    work.mkdir(parents=True, exist_ok=True)

    print(f"payload: {args.files} files, {args.megabytes} MB...", flush=True)
    expected = payload.generate(work / "payload", args.files, args.megabytes)
    tiny_tree = work / "tiny"
    tiny_tree.mkdir(exist_ok=True)
    for name, data in TINY.items():
        (tiny_tree / name).write_bytes(data)
    print("building our setup.exe, the peer's installer and the package...", flush=True)
    builders = build_all(args, work, work / "payload" / "tree", tiny_tree)

    targets = {"disk": work / "target", "tmpfs": Path(args.tmpfs) / "target"}
    bench = Bench(args, work, expected)
    bench.start()
    print(f"load average {load_average()} at the start of the rounds", flush=True)
    rounds = []
    try:
        for r in range(args.rounds):
            order = TOOLS[r % len(TOOLS):] + TOOLS[:r % len(TOOLS)]
            times = {t: {} for t in targets}
            for tool in order:
                for target in (targets if r % 2 == 0 else reversed(list(targets))):
                    seconds, page = bench.once(tool, targets[target])
                    times[target][tool] = seconds
                    if page is not None:
                        times[target][tool + "@page"] = page
            rounds.append(times)
            line = "  ".join(f"{t} " + " ".join(f"{k}={v:.2f}" for k, v in times[t].items())
                             for t in targets)
            print(f"round {r + 1}: {line}", flush=True)
    finally:
        bench.stop()
        for dest in targets.values():
            shutil.rmtree(dest, ignore_errors=True)

    print(f"load average {load_average()} at the end of the rounds")
    total = sum(size for size, _ in expected.values())
    speeds = report(rounds, list(targets), len(expected), total)
    print("\nbuilders on the payload (peak resident memory, /usr/bin/time -v):")
    for tool, (seconds, kb, size) in builders.items():
        print(f"  {tool:12} {kb:>9,} kB  {seconds:6.1f} s  output {size:,} bytes")
    chart(speeds, Path(args.chart) if args.chart else work / "wine-bench.png")


if __name__ == "__main__":
    main()
