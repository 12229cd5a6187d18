#!/usr/bin/env python3
"""Ratios against memcpy from one run of grabline_bench (its JSON output).

Each benchmark's best repetition counts (highest bytes_per_second); every
ratio is taken against the memcpy of the same source bytes in the same run.
Usage: bench/ratios.py build/bench/results.json
"""
import json
import re
import sys

BYTES = {"Extract24": 3, "Extract30": 4, "Extract32": 4, "Extract36": 6, "GrayCopy8": 1,
         "GrayCopy16": 2, "GrayCopy32": 4, "CvSplit24": 3, "CvSplit32": 4, "CvSplit36": 6,
         "Extract24ThenRead": 3}
# Benchmarks measured against another baseline than the plain memcpy.
BASELINE = {"Extract24ThenRead": "MemcpyThenRead"}
SPLIT = {"Extract24": "CvSplit24", "Extract32": "CvSplit32", "Extract36": "CvSplit36"}


def main(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    best = {}
    for run in runs:
        if run.get("run_type") != "iteration" or "bytes_per_second" not in run:
            continue
        name = re.sub(r"/(min_time|repeats|real_time|iterations)[^/]*", "", run["run_name"])
        best[name] = max(best.get(name, 0.0), run["bytes_per_second"])
    print("| benchmark | GB/s | x memcpy | x cv::split |")
    print("|---|---:|---:|---:|")
    # Interleaved repetitions come out in any order: sort by frame size, then name.
    def order(item):
        m = re.search(r"/(\d+)x(\d+)", item[0])
        return (int(m.group(1)) * int(m.group(2)) if m else 0, item[0])

    for name, rate in sorted(best.items(), key=order):
        m = re.match(r"(\w+)/(\d+x\d+)(/PrintGrab|/ordinary|/stream|/Fresh)?$", name)
        # Other benchmarks (SimFill, the pipeline) share the output file but
        # have no memcpy of their own source bytes to be measured against.
        if not m or m.group(1) not in BYTES:
            continue
        kind, size = m.group(1), m.group(2)
        # Frames from memory are measured against memcpy from memory.
        fresh = "/Fresh" if m.group(3) == "/Fresh" else ""
        memcpy = best.get(f"{BASELINE.get(kind, 'Memcpy')}/{size}x{BYTES[kind]}{fresh}")
        if not memcpy:
            continue
        split = best.get(f"{SPLIT[kind]}/{size}") if kind in SPLIT and not fresh else None
        print(f"| {name} | {rate / 1e9:.1f} | {rate / memcpy:.2f} | "
              f"{rate / split:.2f} |" if split else
              f"| {name} | {rate / 1e9:.1f} | {rate / memcpy:.2f} | |")
    for size in sorted({re.match(r"Memcpy/(\d+x\d+)", n).group(1) for n in best if n.startswith("Memcpy/")}):
        for bpp in (1, 2, 3, 4, 6):
            for fresh in ("", "/Fresh"):
                rate = best.get(f"Memcpy/{size}x{bpp}{fresh}")
                if rate:
                    print(f"| Memcpy/{size}x{bpp}{fresh} | {rate / 1e9:.1f} | 1.00 | |")
        rate = best.get(f"MemcpyThenRead/{size}x3")
        if rate:
            print(f"| MemcpyThenRead/{size}x3 | {rate / 1e9:.1f} | 1.00 | |")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bench/results.json")
