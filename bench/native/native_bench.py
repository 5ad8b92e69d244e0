"""Native speed: the builder against makensis and zip, and extraction against bare extractors.

Generates the Wine benchmark's payload (bench/wine/payload.py), then:
- builds it into a setup.exe with `zorv build` (-j1, -jN, and -jN --best), into an installer
  with makensis (zlib) and into an archive with `zip -9 -r`, interleaved over the rounds, and
  prints each tool's median time, peak resident memory and output size, with the ratios
  against makensis of the same round;
- builds its package once and runs install_bench on it (zorv install -j1 and -jN against bare
  zlib and libdeflate extractors, on disk and on tmpfs, interleaved);
- draws both as one chart.
  usage: native_bench.py --zorv ZORV --install-bench PROGRAM --stub SETUP_EXE [--rounds 3]
                         [--jobs 2] [--work DIR] [--tmpfs DIR] [--chart PNG]
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "wine"))

import payload  # noqa: E402

APP = "Bench"


def load_average():
    return Path("/proc/loadavg").read_text().split()[0]


def timed(command, cwd=None):
    """Runs `command` with its output discarded; (seconds, peak resident kB). The peak comes
    from /usr/bin/time: a child forked from this interpreter would count the interpreter's own
    pages, which Linux carries into the program it then runs."""
    figures = Path("/tmp") / f"zorv-native-bench-{os.getpid()}.time"
    begin = time.monotonic()
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(figures)] + command, cwd=cwd,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - begin
    kb = int(figures.read_text().split()[-1])
    figures.unlink()
    return seconds, kb


def builders(args, work, tree):
    """{name: (command, output)} for every builder; the output is removed before each run."""
    out = work / "out"
    out.mkdir(exist_ok=True)
    (work / "bench.toml").write_text(
        f'[application]\nname = "{APP}"\n[[files]]\nsource = "{tree}"\ntarget = ""\n'
        "[uninstall]\nprogram = false\n")
    (work / "bench.nsi").write_text(
        f'Name "{APP}"\nOutFile "{out / "peer.exe"}"\nInstallDir "$TEMP\\{APP}"\n'
        "RequestExecutionLevel user\nSetCompressor zlib\n"
        f'Section\n  SetOutPath "$INSTDIR"\n  File /r "{tree}/*"\nSectionEnd\n')
    # Each in a folder of its own under one name: the setup records the name it was built as.
    def zorv(folder, *extra):
        (out / folder).mkdir(exist_ok=True)
        return ([args.zorv, "build", str(work / "bench.toml"), "-o", str(out / folder / "setup.exe"),
                 "--stub", args.stub, *extra], out / folder / "setup.exe")
    jobs = str(args.jobs)
    return {
        "zorv build -j1": zorv("j1", "-j", "1"),
        f"zorv build -j{jobs}": zorv("jn", "-j", jobs),
        f"zorv build -j{jobs} --best": zorv("best", "-j", jobs, "--best"),
        "makensis (zlib)": (["makensis", "-V1", str(work / "bench.nsi")], out / "peer.exe"),
        "zip -9 -r": (["zip", "-9", "-r", "-q", str(out / "tree.zip"), "."], out / "tree.zip"),
    }


def same(a, b):
    return "the same" if (a / "setup.exe").read_bytes() == (b / "setup.exe").read_bytes() \
        else "DIFFERENT"


def bench_builders(args, work, tree):
    tools = builders(args, work, tree)
    names = list(tools)
    rounds = []
    for r in range(args.rounds):
        row = {}
        for name in names[r % len(names):] + names[:r % len(names)]:
            command, output = tools[name]
            output.unlink(missing_ok=True)
            os.sync()
            seconds, kb = timed(command, cwd=tree if name.startswith("zip") else None)
            row[name] = (seconds, kb, output.stat().st_size)
        rounds.append(row)
        print(f"round {r + 1}: " + "  ".join(f"{n}={v[0]:.2f}s" for n, v in row.items()),
              flush=True)
    peer = "makensis (zlib)"
    print(f"\nbuilders on the payload: medians of {args.rounds} interleaved rounds")
    print(f"  {'':28} {'seconds':>8} {'speed vs makensis':>18} {'peak kB':>9} "
          f"{'output bytes':>13} {'vs makensis':>11}")
    figures = {}
    for name in names:
        seconds = statistics.median(r[name][0] for r in rounds)
        speed = statistics.median(r[peer][0] / r[name][0] for r in rounds)
        kb = max(r[name][1] for r in rounds)
        size = rounds[-1][name][2]
        sizes = {r[name][2] for r in rounds}
        if len(sizes) != 1:
            raise RuntimeError(f"{name} made outputs of {len(sizes)} sizes")
        change = (size / rounds[-1][peer][2] - 1) * 100
        print(f"  {name:28} {seconds:8.2f} {speed:17.2f}x {kb:9,} {size:13,} {change:+10.2f}%")
        figures[name] = {"seconds": seconds, "speed": speed, "kb": kb, "size": size}
    j1, jn = f"zorv build -j1", f"zorv build -j{args.jobs}"
    print(f"  -j{args.jobs} against -j1: "
          f"{statistics.median(r[j1][0] / r[jn][0] for r in rounds):.2f}x; the -j1 and "
          f"-j{args.jobs} setups are {same(work / 'out' / 'j1', work / 'out' / 'jn')}")
    return figures


def bench_extraction(args, work, tree):
    package = work / "out" / "bench.pkg"
    subprocess.run([args.zorv, "build", str(work / "bench.toml"), "-o", str(package)],
                   check=True, stdout=subprocess.DEVNULL)
    summary = work / "install.json"
    print(f"\nextraction of the payload's package ({package.stat().st_size:,} bytes):", flush=True)
    subprocess.run([args.install_bench, args.zorv, "--package", str(package), "--work",
                    str(work / "install"), "--tmpfs", args.tmpfs, "--rounds",
                    str(args.rounds * 2 + 1), "--jobs", str(args.jobs), "--json", str(summary)],
                   check=True)
    return json.loads(summary.read_text())


def chart(build, extract, jobs, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, (left, right) = plt.subplots(1, 2, figsize=(9.6, 3.4), dpi=100)
    names = list(build)
    colors = ["#7fa7e6", "#3a6fd0", "#1d3f8a", "#d08c3a", "#999999"]
    bars = left.bar(range(len(names)), [build[n]["speed"] for n in names], color=colors)
    left.bar_label(bars, fmt="%.2f", fontsize=8)
    left.set_xticks(range(len(names)),
                    [n.replace("zorv build ", "zorv ").replace(" (zlib)", "") for n in names],
                    fontsize=7, rotation=15)
    left.axhline(3.5, color="#c03030", linewidth=0.8, linestyle="--", label="target 3.5")
    left.set_ylabel("speed relative to makensis")
    left.set_title("Building the payload (median)", fontsize=10)
    left.legend(fontsize=7)

    tools = ["zlib", "libdeflate", "zorv -j1", f"zorv -j{jobs}"]
    labels = ["bare zlib", "bare libdeflate", "zorv install -j1", f"zorv install -j{jobs}"]
    width = 0.2
    for i, (tool, label) in enumerate(zip(tools, labels)):
        xs = [t + (i - 1.5) * width for t in range(2)]
        values = [extract[target][tool] / 1000 for target in ("disk", "tmpfs")]
        b = right.bar(xs, values, width, label=label, color=colors[[4, 3, 1, 2][i]])
        right.bar_label(b, fmt="%.2f", fontsize=7)
    right.set_xticks(range(2), ["into disk", "into tmpfs"])
    right.set_ylabel("speed relative to bare zlib")
    right.set_title("Extracting natively (median)", fontsize=10)
    right.legend(fontsize=7, loc="upper left")
    fig.tight_layout()
    fig.savefig(path)
    print("chart:", path)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--zorv", required=True)
    p.add_argument("--install-bench", required=True)
    p.add_argument("--stub", required=True, help="the setup.exe that carries our package")
    p.add_argument("--work", default="build/native-bench")
    p.add_argument("--tmpfs", default="/dev/shm/zorv-native-bench")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--files", type=int, default=2011)
    p.add_argument("--megabytes", type=int, default=193)
    p.add_argument("--chart", help="the PNG to draw; default WORK/native-bench.png")
    args = p.parse_args()
    args.zorv = str(Path(args.zorv).resolve())
    args.stub = str(Path(args.stub).resolve())
    work = Path(args.work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    print(f"payload: {args.files} files, {args.megabytes} MB...", flush=True)
    expected = payload.generate(work / "payload", args.files, args.megabytes)
    total = sum(size for size, _ in expected.values())
    print(f"{len(expected)} files, {total:,} bytes; {os.cpu_count()} cores; load average "
          f"{load_average()} at the start", flush=True)
    tree = work / "payload" / "tree"
    build = bench_builders(args, work, tree)
    extract = bench_extraction(args, work, tree)
    print(f"load average {load_average()} at the end")
    chart(build, extract, args.jobs, Path(args.chart) if args.chart else work / "native-bench.png")
    shutil.rmtree(work / "out", ignore_errors=True)


if __name__ == "__main__":
    main()
