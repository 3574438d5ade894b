#!/usr/bin/env python3
"""Writes the DSP image check's seed corpus into the folder given."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from make_sample_images import dsp_image  # noqa: E402  (the one builder of DSP images)


def swapped_marker():
    image = bytearray(dsp_image(0, 0))
    image[5:7] = image[6:4:-1]
    return bytes(image)


SEEDS = {
    "smallest": dsp_image(0, 0),
    "typical": dsp_image(100, 28),
    "largest": dsp_image(10000, 6378),
    "too-long": dsp_image(10000, 6379),
    "swapped-marker": swapped_marker(),
    "short-header": dsp_image(0, 0, keep=6),
    "no-second-count": dsp_image(3, 0, keep=12),
    "announces-more": dsp_image(2, 500, keep=13),
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
