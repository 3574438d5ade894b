#!/usr/bin/env python3
"""Writes the DSP image check's seed corpus into the folder given."""
import os
import sys


def image(n1, n2, keep=None):
    data = bytes([1, 2, 3, n1 >> 8, n1 & 0xFF, 0x41, 0x80]) + b"\x5a" * (2 * n1)
    data += bytes([n2 >> 8, n2 & 0xFF]) + b"\xa5" * (2 * n2 + 2)
    return data if keep is None else data[:keep]


SEEDS = {
    "smallest": image(0, 0),
    "typical": image(100, 28),
    "largest": image(10000, 6378),
    "too-long": image(10000, 6379),
    "swapped-marker": bytes([0, 0, 0, 0, 1, 0x80, 0x41, 0, 0, 0, 0]),
    "short-header": bytes([0, 0, 0, 0, 0, 0x41]),
    "no-second-count": image(3, 0, keep=12),
    "announces-more": image(2, 500, keep=13),
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
