"""The Python package's cost per call against spawning the program, medians of many calls.

Usage (after `cmake --build build/release --target hwid hwid_shared`):
    python3 bench/bindings_python.py build/release/library/libhwid.so.1 build/release/hwid
"""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "bindings", "python"))
import hwid  # noqa: E402


def median_us(call, repetitions):
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e6


def main(library, program):
    hwid.load(library)
    start = time.perf_counter()
    mine = hwid.identifier()
    first = (time.perf_counter() - start) * 1e6
    warm = median_us(hwid.identifier, 2000)
    spawn = median_us(lambda: subprocess.run([program, "x"], check=True, capture_output=True), 200)
    print(f"first identifier() {first:.0f} us (starts the library's worker thread)")
    print(f"identifier()       {warm:.1f} us median")
    print(f"spawning hwid x    {spawn:.0f} us median, {spawn / warm:.1f}x the call")
    print(f"bare_serial()      {median_us(hwid.bare_serial, 2000):.1f} us median")
    print(f"decode()           {median_us(lambda: hwid.decode(mine), 5000):.1f} us median")
    print(f"compare()          {median_us(lambda: hwid.compare(mine, mine), 5000):.1f} us median")


if __name__ == "__main__":
    main(*sys.argv[1:3])
