#!/usr/bin/env python3
"""The checks scripts/verify-release.sh makes of a published archive, which
anyone may have made, before it trusts anything in it:

  archive ARCHIVE COPY FOLDER
    Reads ARCHIVE once, and writes the bytes it read to COPY (new): every
    later step reads that copy, never ARCHIVE again. ARCHIVE must be named
    ostrel-<version>-win32.zip and be a zip of plain files (no folder, no
    duplicate) within 64 MiB in all, each stored or deflated, read a chunk at
    a time and refused as soon as it holds more than it declares; its
    SHA256SUMS must list each other file once, by a plain name, with its
    SHA-256. Then unpacks it into FOLDER (new) and prints the version and the
    commit that its README.txt names, and the archive's SHA-256.
  signature PROGRAM PUBLISHERS
    Prints "unsigned", or who signed PROGRAM, when its signature is the one
    canonical entry, valid over PROGRAM, of a certificate that the
    publishers file names, carrying only the certificates it names for
    that publisher's chain (scripts/authenticode.py). Unsigned is refused
    once the publishers file names a publisher.

On a refusal, prints why, with anything taken from the archive escaped,
and exits with status 1.
"""
import hashlib
import io
import os
import re
import stat
import struct
import sys
import zipfile
import zlib

from authenticode import Refused, describe, printable, publisher_of, publishers, signer_of

LIMIT = 64 << 20  # the archive, and its files together; today's is below 1 MiB
DIRECTORY_LIMIT = 64 << 10  # the zip's central directory; today's is 4 entries
CHUNK = 64 << 10
ARCHIVE_NAME = re.compile(r"ostrel-([0-9]+(?:\.[0-9]+){0,3})-win32\.zip")
PLAIN_NAME = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]*")
SUMS_LINE = re.compile(r"([0-9a-f]{64})  (.*)")
COMMIT_LINE = re.compile(r"Built from commit ([0-9a-f]{40}(?:-modified)?)")
END_OF_DIRECTORY, ZIP64_LOCATOR, LOCAL_HEADER = b"PK\x05\x06", b"PK\x06\x07", b"PK\x03\x04"
# What zipfile raises on a damaged or hostile archive.
UNREADABLE = (zipfile.BadZipFile, EOFError, NotImplementedError, OSError, RuntimeError, ValueError,
              struct.error)


def read_bounded(path):
    """The archive's bytes, read once: refuses what is no plain file or too
    big before reading it."""
    # Not blocking: a pipe named as the archive must not hang the proof.
    with open(os.open(path, os.O_RDONLY | os.O_NONBLOCK), "rb") as f:
        status = os.fstat(f.fileno())
        if not stat.S_ISREG(status.st_mode):
            raise Refused(f"{printable(path)} is not a file")
        if status.st_size > LIMIT:
            raise Refused(f"the archive is larger than {LIMIT >> 20} MiB")
        data = f.read(status.st_size + 1)
    if len(data) != status.st_size:
        raise Refused("the archive changed while it was read")
    return data


def check_directory_size(data):
    """Refuses a central directory that zipfile would take long or much
    memory to list: a zip64 one, or one larger than DIRECTORY_LIMIT."""
    end = data.rfind(END_OF_DIRECTORY, max(0, len(data) - 22 - 0xFFFF))
    if end < 0 or end + 22 > len(data):
        raise Refused("the archive is not a zip archive it can read")
    if data[max(0, end - 20):end].startswith(ZIP64_LOCATOR):
        raise Refused("the archive is a zip64 archive, which a release never is")
    if struct.unpack_from("<I", data, end + 12)[0] > DIRECTORY_LIMIT:
        raise Refused(f"the archive's directory is larger than {DIRECTORY_LIMIT >> 10} KiB")


def stored_bytes(data, info):
    """The bytes of INFO's entry as they stand in the zip DATA, after its
    local header."""
    at = info.header_offset
    if data[at:at + 4] != LOCAL_HEADER or at + 30 > len(data):
        raise Refused(f"the archive's entry {info.filename} has no local header")
    name_length, extra_length = struct.unpack_from("<HH", data, at + 26)
    if data[at + 30:at + 30 + name_length] != info.filename.encode("ascii"):
        raise Refused(f"the archive's entry {info.filename} has another name in its local header")
    start = at + 30 + name_length + extra_length
    if start + info.compress_size > len(data):
        raise Refused(f"the archive's entry {info.filename} runs past the archive's end")
    return memoryview(data)[start:start + info.compress_size]


def read_entry(data, info):
    """INFO's entry of the zip DATA, stored or deflated, read a chunk at a
    time: refused as soon as it holds more than the size it declares (which
    the caller has bounded), so that no bomb gets further than that."""
    if info.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
        raise Refused(f"the archive's entry {info.filename} is compressed with method "
                      f"{info.compress_type}: only stored and deflated entries are read")
    if info.flag_bits & 0x1:
        raise Refused(f"the archive's entry {info.filename} is encrypted")
    raw = stored_bytes(data, info)
    inflate = zlib.decompressobj(-zlib.MAX_WBITS) if info.compress_type else None
    pieces, size = [], 0
    for at in range(0, len(raw), CHUNK):
        pending = raw[at:at + CHUNK]
        while pending:
            if inflate:
                piece, pending = inflate.decompress(pending, CHUNK), inflate.unconsumed_tail
            else:
                piece, pending = bytes(pending), b""
            size += len(piece)
            if size > info.file_size:
                raise Refused(f"the archive's entry {info.filename} holds more than the "
                              f"{info.file_size} bytes it declares")
            pieces.append(piece)
    if inflate:
        piece = inflate.flush()
        size += len(piece)
        pieces.append(piece)
        if not inflate.eof or inflate.unused_data:
            raise Refused(f"the archive's entry {info.filename} is not one whole deflate stream")
    content = b"".join(pieces)
    if size != info.file_size or zlib.crc32(content) != info.CRC:
        raise Refused(f"the archive's entry {info.filename} does not hold the {info.file_size} "
                      "bytes and CRC it declares")
    return content


def entries(data):
    """{name: bytes} of the zip DATA, each a plain file, within LIMIT."""
    check_directory_size(data)
    try:
        infos = zipfile.ZipFile(io.BytesIO(data)).infolist()
    except UNREADABLE:
        raise Refused("the archive is not a zip archive it can read") from None
    seen = set()
    for name in (info.filename for info in infos):
        if not PLAIN_NAME.fullmatch(name):
            raise Refused(f"the archive's entry {printable(name)} is not a plain file name")
        if name in seen:
            raise Refused(f"the archive holds {name} twice")
        seen.add(name)
    if sum(info.file_size for info in infos) > LIMIT:
        raise Refused(f"the archive's files are larger than {LIMIT >> 20} MiB in all")
    try:
        return {info.filename: read_entry(data, info) for info in infos}
    except (zlib.error, struct.error) as error:
        raise Refused(f"the archive cannot be read: {printable(str(error))}") from None


def check_sums(files):
    """Each file other than SHA256SUMS listed once in it, with its SHA-256."""
    if "SHA256SUMS" not in files:
        raise Refused("the archive has no SHA256SUMS")
    listed = {}
    for line in files["SHA256SUMS"].decode("ascii", "replace").replace("\r\n", "\n").splitlines():
        match = SUMS_LINE.fullmatch(line)
        if not match:
            raise Refused(f"SHA256SUMS has a line that is no checksum and name: {printable(line)}")
        digest, name = match.groups()
        if name not in files or name == "SHA256SUMS":
            raise Refused(f"SHA256SUMS names {printable(name)}, which is no other file of the "
                          "archive")
        if name in listed:
            raise Refused(f"SHA256SUMS names {name} twice")
        listed[name] = digest
    if set(listed) != set(files) - {"SHA256SUMS"}:
        raise Refused("SHA256SUMS does not list every file of the archive")
    wrong = [name for name, digest in listed.items()
             if hashlib.sha256(files[name]).hexdigest() != digest]
    if wrong:
        raise Refused(f"SHA256SUMS does not match: {' '.join(wrong)}")


def readme_facts(files, version):
    """The commit that README.txt names, once its version is the archive's."""
    lines = files.get("README.txt", b"").decode("utf-8", "replace").splitlines()
    said = re.match(r"Ostrel (\S+), ", lines[0]) if lines else None
    if not said or said.group(1) != version:
        raise Refused(f"README.txt does not say version {version}, as the archive's name does")
    commits = [m.group(1) for m in map(COMMIT_LINE.fullmatch, lines) if m]
    if not commits:
        raise Refused("README.txt names no commit")
    if commits[0].endswith("-modified"):
        raise Refused(f"built from uncommitted changes to {commits[0][:40]}: no commit holds "
                      "its sources")
    return commits[0]


def unpack(archive, copy, folder):
    name = os.path.basename(archive)
    match = ARCHIVE_NAME.fullmatch(name)
    if not match:
        raise Refused(f"the archive's name is not ostrel-<version>-win32.zip: {printable(name)}")
    data = read_bounded(archive)
    with open(copy, "xb") as out:
        out.write(data)
    files = entries(data)
    check_sums(files)
    if "ostrel.exe" not in files:
        raise Refused("the archive has no ostrel.exe")
    commit = readme_facts(files, match.group(1))
    os.makedirs(folder)
    for entry, content in files.items():
        with open(os.path.join(folder, entry), "xb") as out:
            out.write(content)
    return f"{match.group(1)} {commit} {hashlib.sha256(data).hexdigest()}"


def check_signature(image, named, publishers_file):
    """How the verdict names the program IMAGE's signature, checked against
    the publishers NAMED in PUBLISHERS_FILE."""
    try:
        signer = signer_of(image)
    except (IndexError, ValueError, struct.error) as error:  # a hole in the checks: still a refusal
        raise Refused(f"its signature cannot be read: {printable(str(error))}") from None
    if signer is None:
        if named:
            raise Refused(f"unsigned, but {printable(publishers_file)} names a publisher: the "
                          "publisher signs releases")
        return "unsigned"
    return describe(signer, publisher_of(signer, named, publishers_file))


def signature(program, publishers_file):
    try:
        named = publishers(publishers_file)
    except (OSError, ValueError) as error:
        raise Refused(f"the publishers file cannot be read: {printable(str(error))}") from None
    with open(program, "rb") as f:
        return check_signature(f.read(), named, publishers_file)


def main():
    commands = {"archive": (unpack, 5), "signature": (signature, 4)}
    command, count = commands.get(sys.argv[1] if len(sys.argv) > 1 else "", (None, 0))
    if command is None or len(sys.argv) != count:
        sys.exit(__doc__)
    try:
        print(command(*sys.argv[2:]))
    except Refused as why:
        print(why)
        sys.exit(1)


if __name__ == "__main__":
    main()
