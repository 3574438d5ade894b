#!/usr/bin/env python3
"""Writes sample EEPROM images for the simulated card into FOLDER:

  board.bin, dsp.bin          the card's EEPROM contents (256 and 32768 bytes)
  samples/board-sample.bin    a board image to program: 256 bytes, the first
                              16 a PCI configuration-space header (made-up ids)
  samples/dsp-sample.bin      a DSP image that passes the image check

Existing files are left alone. usage: make_sample_images.py FOLDER
"""
import os
import struct
import sys

BOARD_SIZE = 256
DSP_EEPROM_SIZE = 32768

# Made-up identifiers; they belong to no real maker.
VENDOR_ID = 0x5E1A
DEVICE_ID = 0x0A31


def pci_header():
    """Vendor, device, command, status, revision, class (multimedia, other),
    cache line, latency, header type, BIST; little-endian as PCI has it."""
    return struct.pack("<HHHHB3sBBBB", VENDOR_ID, DEVICE_ID, 0x0006, 0x0290, 0x01,
                       bytes((0x00, 0x80, 0x04)), 0x00, 0x20, 0x00, 0x00)


def board_image(label):
    body = bytearray(b"\xff" * (BOARD_SIZE - 16))
    text = label.encode("ascii")
    body[0:len(text)] = text
    # Subsystem ids in the usual place of the configuration space (0x2C).
    body[0x2C - 16:0x30 - 16] = struct.pack("<HH", VENDOR_ID, 0x0001)
    return pci_header() + bytes(body)


def pseudo_random_words(count, seed):
    state = seed
    out = bytearray()
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack(">H", state >> 15 & 0xFFFF)
    return bytes(out)


def dsp_image(n1=256, n2=1024, keep=None):
    """Header, N1 (big-endian) and the 0x41 0x80 marker, the first block, N2,
    the second block and a final word: 2*N1 + 2*N2 + 11 bytes, or only the
    first keep of them. The fuzzer's seeds are made with it too."""
    image = bytes((0x00, 0x10, 0x00)) + struct.pack(">H", n1) + bytes((0x41, 0x80))
    image += pseudo_random_words(n1, 1) + struct.pack(">H", n2) + pseudo_random_words(n2, 2)
    image += struct.pack(">H", sum(image) & 0xFFFF)
    assert len(image) == 2 * n1 + 2 * n2 + 11
    return image if keep is None else image[:keep]


def write_new(path, data):
    if os.path.exists(path):
        return
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(os.path.join(folder, "samples"), exist_ok=True)
    write_new(os.path.join(folder, "board.bin"), board_image("OSTREL VIRTUAL CARD"))
    dsp = dsp_image()
    write_new(os.path.join(folder, "dsp.bin"), dsp + b"\xff" * (DSP_EEPROM_SIZE - len(dsp)))
    write_new(os.path.join(folder, "samples", "board-sample.bin"), board_image("OSTREL SAMPLE IMAGE"))
    write_new(os.path.join(folder, "samples", "dsp-sample.bin"), dsp)


if __name__ == "__main__":
    main()
