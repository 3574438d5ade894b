#!/usr/bin/env python3
"""Signs PROGRAM in place with Authenticode (SHA-256) through osslsigncode
when the environment names a signing key, and leaves it unsigned when it
names none. A key that is named but cannot be used stops with a message and
a non-zero status: never an unsigned program in place of a signed one.

  OSTREL_SIGN_PKCS12          a PKCS#12 file with the key and its certificates
  OSTREL_SIGN_PASSWORD_FILE   a file holding its password (or a token's PIN)
or a key on a hardware token:
  OSTREL_SIGN_PKCS11_MODULE   the token's PKCS#11 module (a .so)
  OSTREL_SIGN_PKCS11_KEY      the key's PKCS#11 URI, e.g. pkcs11:token=T;object=K
  OSTREL_SIGN_CERTS           the certificate chain, PEM, the signer's first
and, for a release made with network access:
  OSTREL_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server

The signing time is SOURCE_DATE_EPOCH, the commit's time: the same program
signed with the same RSA key gives the same bytes, which this checks when
there is no time stamp (whose reply differs each time).

usage: sign_program.py [--check] PROGRAM
  --check: only check the configuration, sign nothing
"""
import os
import shutil
import subprocess
import sys

KEY_VARIABLES = ("OSTREL_SIGN_PKCS12", "OSTREL_SIGN_PKCS11_MODULE", "OSTREL_SIGN_PKCS11_KEY",
                 "OSTREL_SIGN_CERTS")
ALL_VARIABLES = KEY_VARIABLES + ("OSTREL_SIGN_PASSWORD_FILE", "OSTREL_SIGN_TIMESTAMP_URL")


class Refused(Exception):
    pass


def readable_file(variable):
    path = os.environ.get(variable, "")
    if not path:
        raise Refused(f"{variable} is not set")
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        raise Refused(f"{variable}={path}: no such readable file")
    return path


def key_options():
    """osslsigncode's options for the configured key, and what to call it;
    None when no key is configured."""
    configured = [v for v in ALL_VARIABLES if os.environ.get(v)]
    if not configured:
        return None
    if os.environ.get("OSTREL_SIGN_PKCS12"):
        others = [v for v in configured if v in KEY_VARIABLES[1:]]
        if others:
            raise Refused(f"OSTREL_SIGN_PKCS12 and {', '.join(others)} are both set: choose one key")
        return (["-pkcs12", readable_file("OSTREL_SIGN_PKCS12"),
                 "-readpass", readable_file("OSTREL_SIGN_PASSWORD_FILE")],
                f"the key in {os.environ['OSTREL_SIGN_PKCS12']}")
    if any(os.environ.get(v) for v in KEY_VARIABLES[1:]):
        key = os.environ.get("OSTREL_SIGN_PKCS11_KEY", "")
        if not key:
            raise Refused("OSTREL_SIGN_PKCS11_KEY is not set")
        options = ["-pkcs11module", readable_file("OSTREL_SIGN_PKCS11_MODULE"), "-key", key,
                   "-certs", readable_file("OSTREL_SIGN_CERTS")]
        if os.environ.get("OSTREL_SIGN_PASSWORD_FILE"):
            options += ["-readpass", readable_file("OSTREL_SIGN_PASSWORD_FILE")]
        return options, f"the token key {key}"
    raise Refused(f"{', '.join(configured)} set, but no key: set OSTREL_SIGN_PKCS12 or "
                  "OSTREL_SIGN_PKCS11_MODULE, OSTREL_SIGN_PKCS11_KEY and OSTREL_SIGN_CERTS")


def common_options():
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        raise Refused("SOURCE_DATE_EPOCH, the signing time, is not set (scripts/package.sh sets it)")
    if shutil.which("osslsigncode") is None:
        raise Refused("osslsigncode is not installed (scripts/install-deps.sh installs it)")
    options = ["-h", "sha256", "-n", "Ostrel", "-time", epoch]
    if os.environ.get("OSTREL_SIGN_TIMESTAMP_URL"):
        options += ["-ts", os.environ["OSTREL_SIGN_TIMESTAMP_URL"]]
    return options


def signed_copy(program, options, out):
    if os.path.exists(out):
        os.remove(out)
    run = subprocess.run(["osslsigncode", "sign", *options, "-in", program, "-out", out],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if run.returncode != 0 or not os.path.isfile(out):
        raise Refused(f"osslsigncode failed:\n{run.stdout}{run.stderr}".rstrip())
    with open(out, "rb") as f:
        return f.read()


def sign(program, options):
    first, second = program + ".signed", program + ".signed-again"
    try:
        signed = signed_copy(program, options, first)
        if "-ts" not in options and signed_copy(program, options, second) != signed:
            raise Refused("the key gives another signature each time, so no one could sign "
                          "this release reproducibly: use an RSA key")
        os.replace(first, program)
    finally:
        for leftover in (first, second):
            if os.path.exists(leftover):
                os.remove(leftover)


def main():
    args = sys.argv[1:]
    check_only = args[:1] == ["--check"]
    if check_only:
        args = args[1:]
    if len(args) != 1:
        sys.exit(__doc__)
    program = args[0]
    name = os.path.basename(program)
    try:
        key = key_options()
        if key is None:
            print(f"{name}: not signed (no signing key configured)")
            return
        options = key[0] + common_options()
        if check_only:
            print(f"{name}: to be signed with {key[1]}")
        else:
            sign(program, options)
            print(f"{name}: signed (Authenticode, SHA-256) with {key[1]}")
    except Refused as why:
        sys.exit(f"sign_program.py: cannot sign {name}: {why}")


if __name__ == "__main__":
    main()
