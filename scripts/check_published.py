#!/usr/bin/env python3
"""The checks scripts/verify-release.sh makes of a published archive, which
anyone may have made, before it trusts anything in it:

  archive ARCHIVE FOLDER
    ARCHIVE must be named ostrel-<version>-win32.zip and be a zip of plain
    files (no folder, no duplicate) within 64 MiB in all; its SHA256SUMS
    must list each other file once, by a plain name, with its SHA-256. Then
    unpacks it into FOLDER (new) and prints the version and the commit that
    its README.txt names.
  signature PROGRAM PUBLISHERS
    Prints "unsigned", or who signed PROGRAM, when its signature is the one
    canonical entry, valid over PROGRAM, of a certificate that the
    publishers file names (scripts/authenticode.py).

On a refusal, prints why, with anything taken from the archive escaped,
and exits with status 1.
"""
import hashlib
import io
import os
import re
import stat
import sys
import zipfile
import zlib

from authenticode import Refused, describe, printable, publishers, signer_of

LIMIT = 64 << 20  # the archive, and its files together; today's is below 1 MiB
ARCHIVE_NAME = re.compile(r"ostrel-([0-9]+(?:\.[0-9]+){0,3})-win32\.zip")
PLAIN_NAME = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]*")
SUMS_LINE = re.compile(r"([0-9a-f]{64})  (.*)")
COMMIT_LINE = re.compile(r"Built from commit ([0-9a-f]{40}(?:-modified)?)")
# What zipfile raises on a damaged or hostile archive.
UNREADABLE = (zipfile.BadZipFile, EOFError, NotImplementedError, OSError, RuntimeError, ValueError,
              zlib.error)


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
        return f.read(LIMIT + 1)


def entries(data):
    """{name: bytes} of the zip DATA, each a plain file, within LIMIT."""
    try:
        archive = zipfile.ZipFile(io.BytesIO(data))
        infos = archive.infolist()
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
        return {info.filename: archive.read(info) for info in infos}
    except UNREADABLE as error:
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


def unpack(archive, folder):
    name = os.path.basename(archive)
    match = ARCHIVE_NAME.fullmatch(name)
    if not match:
        raise Refused(f"the archive's name is not ostrel-<version>-win32.zip: {printable(name)}")
    files = entries(read_bounded(archive))
    check_sums(files)
    if "ostrel.exe" not in files:
        raise Refused("the archive has no ostrel.exe")
    commit = readme_facts(files, match.group(1))
    os.makedirs(folder)
    for entry, data in files.items():
        with open(os.path.join(folder, entry), "xb") as out:
            out.write(data)
    return f"{match.group(1)} {commit}"


def signature(program, publishers_file):
    try:
        named = publishers(publishers_file)
    except (OSError, ValueError) as error:
        raise Refused(f"the publishers file cannot be read: {error}") from None
    with open(program, "rb") as f:
        signer = signer_of(f.read())
    if signer is None:
        return "unsigned"
    if signer.fingerprint not in named:
        raise Refused(f'signed by "{signer.subject}" (certificate SHA-256 {signer.fingerprint}), '
                      f"which {publishers_file} does not name")
    return describe(signer, named[signer.fingerprint])


def main():
    commands = {"archive": unpack, "signature": signature}
    if len(sys.argv) != 4 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    try:
        print(commands[sys.argv[1]](*sys.argv[2:]))
    except Refused as why:
        print(why)
        sys.exit(1)


if __name__ == "__main__":
    main()
