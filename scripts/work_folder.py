#!/usr/bin/env python3
"""Keeps the work folder of scripts/verify-release.sh the proof's own. The
proof deletes and writes there (the clone's .git and files, the build, its
log), so a folder that another user made or can change, or a link planted
where the proof writes, would turn it against someone else's files; and a
build tree that something else changed would build something else.

  check FOLDER
    Makes FOLDER, owner-only, when it does not exist; else it must be this
    user's own and writable by no one else. Every folder above it must be
    root's or this user's and writable by no one else (unless sticky, as
    /tmp is), so that no one can swap it. No link may stand where the proof
    writes. Prints FOLDER's real path.
  reuse FOLDER
    Keeps the build tree the last proof left (FOLDER/clone/build) only when
    it is, file for file, the one whose stamp that proof kept outside it
    (FOLDER/build-tree.sha256); otherwise removes it, so that the commit is
    built afresh. Either way the stamp goes until the next "stamp".
  stamp FOLDER
    Keeps the build tree's stamp, once a proof has built in it.

On a refusal, prints why and exits with status 1.
"""
import hashlib
import os
import shutil
import stat
import sys

STAMP, BUILD_TREE = "build-tree.sha256", os.path.join("clone", "build")
# Where the proof writes, below the work folder: no link may stand there.
FOLDERS = ("clone", "clone/.git", BUILD_TREE, "clone/build/package", "clone/dist")
FILES = ("package.log", STAMP)


class Refused(Exception):
    pass


def check_above(folder):
    """Refuses FOLDER when someone else could rename or replace it."""
    parent = os.path.dirname(folder)
    while True:
        status = os.lstat(parent)
        if status.st_uid not in (0, os.geteuid()):
            raise Refused(f"{parent}, above the work folder, is another user's")
        if status.st_mode & 0o022 and not status.st_mode & stat.S_ISVTX:
            raise Refused(f"{parent}, above the work folder, can be changed by other users")
        if parent == os.path.dirname(parent):
            return
        parent = os.path.dirname(parent)


def check(folder):
    if not os.path.lexists(folder):
        os.makedirs(os.path.dirname(os.path.abspath(folder)), exist_ok=True)
        os.mkdir(folder, 0o700)
    folder = os.path.realpath(folder)
    status = os.lstat(folder)
    if not stat.S_ISDIR(status.st_mode):
        raise Refused(f"the work folder {folder} is not a folder")
    if status.st_uid != os.geteuid():
        raise Refused(f"the work folder {folder} is another user's")
    if status.st_mode & 0o022:
        raise Refused(f"the work folder {folder} can be changed by other users")
    check_above(folder)
    for name, kind in [(n, stat.S_ISDIR) for n in FOLDERS] + [(n, stat.S_ISREG) for n in FILES]:
        path = os.path.join(folder, name)
        if not os.path.lexists(path):
            continue
        status = os.lstat(path)
        if stat.S_ISLNK(status.st_mode):
            raise Refused(f"{path} is a link: the proof writes there")
        if status.st_uid != os.geteuid() or not kind(status.st_mode):
            raise Refused(f"{path} is not a {'folder' if kind is stat.S_ISDIR else 'file'} "
                          "of this user's: the proof writes there")
    return folder


def tree_stamp(tree):
    """SHA-256 over every name, kind, mode, link target and file content of
    TREE, in a fixed order."""
    stamp = hashlib.sha256()
    for top, folders, files in os.walk(tree):
        folders.sort()
        for name in sorted(folders + files):
            path = os.path.join(top, name)
            status = os.lstat(path)
            stamp.update(f"{os.path.relpath(path, tree)}\0{status.st_mode:o}\0".encode(
                "utf-8", "surrogateescape"))
            if stat.S_ISLNK(status.st_mode):
                stamp.update(os.fsencode(os.readlink(path)))
            elif stat.S_ISREG(status.st_mode):
                with open(path, "rb") as f:
                    stamp.update(hashlib.file_digest(f, "sha256").digest())
            stamp.update(b"\n")
    return stamp.hexdigest()


def reuse(folder):
    tree, stamp_file = os.path.join(folder, BUILD_TREE), os.path.join(folder, STAMP)
    kept = None
    if os.path.exists(stamp_file):
        with open(stamp_file, encoding="ascii") as f:
            kept = f.read().strip()
        os.remove(stamp_file)
    if not os.path.isdir(tree):
        return "no build tree yet: the commit is built afresh"
    if kept == tree_stamp(tree):
        return "the build tree is the last proof's: only what changed is built"
    shutil.rmtree(tree)
    return "the build tree is not as the last proof left it: removed, the commit is built afresh"


def keep_stamp(folder):
    stamp = tree_stamp(os.path.join(folder, BUILD_TREE))
    flags = os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_NOFOLLOW
    with open(os.open(os.path.join(folder, STAMP), flags, 0o600), "w", encoding="ascii") as f:
        f.write(stamp + "\n")
    return f"build tree stamp {stamp}"


def main():
    commands = {"check": check, "reuse": reuse, "stamp": keep_stamp}
    if len(sys.argv) != 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    try:
        print(commands[sys.argv[1]](sys.argv[2]))
    except Refused as why:
        print(why)
        sys.exit(1)
    except OSError as error:
        print(f"the work folder cannot be used: {error}")
        sys.exit(1)


if __name__ == "__main__":
    main()
