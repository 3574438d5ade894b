#!/usr/bin/env python3
"""Writes the operators' archive (and the self-test kit): the given files,
then SHA256SUMS of them, in one zip whose bytes depend only on the files'
contents and on SOURCE_DATE_EPOCH (the commit's time): every entry carries
that time, mode 644 and the order given, whatever the folder, clock, umask
or time zone of the build. Prints the archive's path, its SHA-256 and the
program's size.

usage: SOURCE_DATE_EPOCH=SECONDS make_package.py ARCHIVE.zip FILE...
A FILE is stored under its own name; NAME=FILE stores it as NAME (which may
name a folder, "planted/winmm.dll"), and FILE may be OTHER.zip!ENTRY, an
entry of another archive taken byte for byte.
"""
import hashlib
import os
import sys
import time
import zipfile


def entry(name, date_time):
    info = zipfile.ZipInfo(name, date_time)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the mode below is what unzip restores
    info.external_attr = 0o100644 << 16
    return info


def read(argument):
    name, _, path = argument.rpartition("=")
    archive, bang, member = path.partition("!")
    if bang:
        with zipfile.ZipFile(archive) as zf:
            data = zf.read(member)
    else:
        data = open(path, "rb").read()
    return name or os.path.basename(member or path), data


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        sys.exit("make_package.py: SOURCE_DATE_EPOCH is not set (scripts/package.sh sets it)")
    # A zip stores local time without a zone; UTC makes it the same everywhere.
    # The format cannot go below 1980.
    date_time = time.gmtime(max(int(epoch), 315532800))[:6]

    archive = sys.argv[1]
    files = [read(argument) for argument in sys.argv[2:]]
    # Windows line endings, so that Notepad shows one file a line.
    sums = "".join(f"{sha256(data)}  {name}\r\n" for name, data in files).encode("ascii")
    files.append(("SHA256SUMS", sums))

    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    with zipfile.ZipFile(archive, "w") as zf:
        for name, data in files:
            zf.writestr(entry(name, date_time), data, compresslevel=9)

    program = dict(files).get("ostrel.exe")
    print(f"archive:    {archive}")
    print(f"SHA-256:    {sha256(open(archive, 'rb').read())}")
    if program is not None:
        print(f"ostrel.exe: {len(program):,} bytes")


if __name__ == "__main__":
    main()
