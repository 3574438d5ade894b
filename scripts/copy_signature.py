#!/usr/bin/env python3
"""Copies the Authenticode signature of a signed Windows program onto an
unsigned build of the same sources: writes OUT, the UNSIGNED program as the
signing tool would have written it with SIGNED's signature. OUT has SIGNED's
bytes exactly when both programs were built alike, whatever tool or version
signed it. Prints "signed" and copies the certificate table when SIGNED has
one; prints "not signed" and copies UNSIGNED as it is when it has none.

A PE signature lives outside what it signs: the certificate table at the end
of the file (8-byte aligned, with zeros up to it), the security entry of the
header's data directory that points at it, and the header's checksum over
the whole file. Nothing else of the program changes when it is signed.

usage: copy_signature.py SIGNED UNSIGNED OUT
"""
import struct
import sys

SECURITY_ENTRY = 4  # the data directory's certificate table entry


class NotAProgram(Exception):
    pass


def header_offsets(image):
    """The file offsets of the optional header's checksum and of the
    security entry (offset, size) of its data directory."""
    if image[:2] != b"MZ" or len(image) < 0x40:
        raise NotAProgram("no DOS header")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise NotAProgram("no PE header")
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    if magic not in (0x10B, 0x20B):
        raise NotAProgram(f"unknown optional header {magic:#x}")
    count_at, directory = (optional + 92, optional + 96) if magic == 0x10B else (
        optional + 108, optional + 112)
    if struct.unpack_from("<I", image, count_at)[0] <= SECURITY_ENTRY:
        raise NotAProgram("no security entry in the data directory")
    return optional + 64, directory + 8 * SECURITY_ENTRY


def certificate_table(image):
    """The certificate table's bytes, empty when the program is not signed."""
    _, security = header_offsets(image)
    offset, size = struct.unpack_from("<II", image, security)
    if size == 0:
        return b""
    if offset + size > len(image):
        raise NotAProgram("the certificate table runs past the end of the file")
    return bytes(image[offset:offset + size])


def pe_checksum(image, checksum_at):
    """The PE checksum: the file's 16-bit words folded into 16 bits, without
    the checksum field itself, plus the file's length."""
    padded = image + b"\0" * (len(image) % 2)
    words = struct.unpack(f"<{len(padded) // 2}H", padded)
    total = sum(words) - sum(struct.unpack_from("<2H", image, checksum_at))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def without_signature(image):
    """IMAGE as it was before it was signed, but for its checksum: the table
    cut off and the security entry cleared."""
    _, security = header_offsets(image)
    offset, size = struct.unpack_from("<II", image, security)
    unsigned = bytearray(image[:offset] if size else image)
    struct.pack_into("<II", unsigned, security, 0, 0)
    return bytes(unsigned)


def with_signature(unsigned, table):
    """UNSIGNED with TABLE appended at the next 8-byte boundary, the security
    entry pointing at it and the checksum made anew."""
    checksum_at, security = header_offsets(unsigned)
    if certificate_table(unsigned):
        raise NotAProgram("the unsigned build is signed already")
    image = bytearray(unsigned)
    image += b"\0" * (-len(image) % 8)
    struct.pack_into("<II", image, security, len(image), len(table))
    image += table
    struct.pack_into("<I", image, checksum_at, pe_checksum(image, checksum_at))
    return bytes(image)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    signed_path, unsigned_path, out_path = sys.argv[1:]
    try:
        table = certificate_table(open(signed_path, "rb").read())
        unsigned = open(unsigned_path, "rb").read()
        result = with_signature(unsigned, table) if table else unsigned
    except (NotAProgram, struct.error) as error:
        sys.exit(f"copy_signature.py: {signed_path} or {unsigned_path}: {error}")
    with open(out_path, "wb") as out:
        out.write(result)
    print("signed" if table else "not signed")


if __name__ == "__main__":
    main()
