#!/usr/bin/env python3
"""Makes the folders bench_records reads, as bench_records makes them itself: for a run
under Wine, where making them through Windows calls would take hours (tools/windows.sh
--bench). make_folders.py <folder> <memory folder>"""
import os
import sys

RECORD = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n"


def records(folder, count):
    os.makedirs(folder)
    for i in range(count):
        with open(os.path.join(folder, f"ウマ{i}.pas"), "wb") as f:
            f.write(RECORD)


def main():
    root, memory = sys.argv[1], sys.argv[2]
    for count in (1000, 10000, 100000):
        records(os.path.join(root, f"records{count}"), count)
    os.makedirs(os.path.join(root, "folders"))
    for i in range(20000):
        os.mkdir(os.path.join(root, "folders", f"厩舎{i}"))
    records(os.path.join(memory, "records1000000"), 1000000)


if __name__ == "__main__":
    main()
