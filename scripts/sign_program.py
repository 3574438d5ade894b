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

A variable of that family that is set but empty, or that this script does
not know (a misspelt name), stops it, as does a PIN in the token's URI
(pin-value: the PIN belongs in the password file, never on a command line).
Once release/publishers.txt (or OSTREL_PUBLISHERS_FILE) names publishers, a
certificate that it does not name is refused. After signing, the signature
is checked as scripts/verify-release.sh checks it (scripts/authenticode.py),
and must be the configured certificate's; its subject and fingerprint are
printed.

usage: sign_program.py [--check] PROGRAM
  --check: only check the configuration, sign nothing
"""
import base64
import os
import re
import shutil
import subprocess
import sys
import urllib.parse

import authenticode

KEY_VARIABLES = ("OSTREL_SIGN_PKCS12", "OSTREL_SIGN_PKCS11_MODULE", "OSTREL_SIGN_PKCS11_KEY",
                 "OSTREL_SIGN_CERTS")
ALL_VARIABLES = KEY_VARIABLES + ("OSTREL_SIGN_PASSWORD_FILE", "OSTREL_SIGN_TIMESTAMP_URL")
PEM_CERTIFICATE = re.compile(r"-----BEGIN CERTIFICATE-----(.*?)-----END CERTIFICATE-----", re.S)


class Refused(Exception):
    pass


def check_variables():
    """Refuses a signing variable that is set but empty, or unknown: either
    would otherwise leave the program quietly unsigned."""
    for variable in sorted(os.environ):
        if not variable.startswith("OSTREL_SIGN"):
            continue
        if variable not in ALL_VARIABLES:
            raise Refused(f"{variable} is not a signing variable (misspelt?): "
                          f"known are {', '.join(ALL_VARIABLES)}")
        if not os.environ[variable]:
            raise Refused(f"{variable} is set but empty")


def readable_file(variable):
    path = os.environ.get(variable, "")
    if not path:
        raise Refused(f"{variable} is not set")
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        raise Refused(f"{variable}={path}: no such readable file")
    return path


def token_key():
    """The token key's URI, refused when it carries a PIN."""
    key = os.environ.get("OSTREL_SIGN_PKCS11_KEY", "")
    if not key:
        raise Refused("OSTREL_SIGN_PKCS11_KEY is not set")
    for attribute in re.split(r"[:;?&]", key):
        if urllib.parse.unquote(attribute.partition("=")[0]).strip().lower() == "pin-value":
            raise Refused("OSTREL_SIGN_PKCS11_KEY carries the PIN (pin-value): put it in the "
                          "file that OSTREL_SIGN_PASSWORD_FILE names instead")
    return key


def first_certificate(pem, where):
    found = PEM_CERTIFICATE.search(pem)
    if not found:
        raise Refused(f"{where} holds no certificate")
    return base64.b64decode(found.group(1))


def pkcs12_certificate(path, password_file):
    """The DER of the certificate that goes with the PKCS#12 file's key."""
    for legacy in ([], ["-legacy"]):
        run = subprocess.run(["openssl", "pkcs12", "-in", path, "-passin", f"file:{password_file}",
                              "-nokeys", "-clcerts", *legacy],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if run.returncode == 0:
            return first_certificate(run.stdout, f"OSTREL_SIGN_PKCS12={path}")
    raise Refused(f"OSTREL_SIGN_PKCS12={path} cannot be opened with the password in "
                  "OSTREL_SIGN_PASSWORD_FILE")


def key_options():
    """osslsigncode's options for the configured key, what to call it, and
    the DER of its certificate; None when no key is configured."""
    check_variables()
    configured = [v for v in ALL_VARIABLES if v in os.environ]
    if not configured:
        return None
    if "OSTREL_SIGN_PKCS12" in os.environ:
        others = [v for v in configured if v in KEY_VARIABLES[1:]]
        if others:
            raise Refused(f"OSTREL_SIGN_PKCS12 and {', '.join(others)} are both set: choose one key")
        pkcs12 = readable_file("OSTREL_SIGN_PKCS12")
        password = readable_file("OSTREL_SIGN_PASSWORD_FILE")
        return (["-pkcs12", pkcs12, "-readpass", password], f"the key in {pkcs12}",
                pkcs12_certificate(pkcs12, password))
    if any(v in os.environ for v in KEY_VARIABLES[1:]):
        key = token_key()
        certs = readable_file("OSTREL_SIGN_CERTS")
        options = ["-pkcs11module", readable_file("OSTREL_SIGN_PKCS11_MODULE"), "-key", key,
                   "-certs", certs]
        if "OSTREL_SIGN_PASSWORD_FILE" in os.environ:
            options += ["-readpass", readable_file("OSTREL_SIGN_PASSWORD_FILE")]
        with open(certs, encoding="ascii", errors="replace") as f:
            certificate = first_certificate(f.read(), f"OSTREL_SIGN_CERTS={certs}")
        return options, f"the token key {key}", certificate
    raise Refused(f"{', '.join(configured)} set, but no key: set OSTREL_SIGN_PKCS12 or "
                  "OSTREL_SIGN_PKCS11_MODULE, OSTREL_SIGN_PKCS11_KEY and OSTREL_SIGN_CERTS")


def publisher_of(certificate):
    """The publishers file's name for CERTIFICATE; None while the file names
    no publisher. Refuses a certificate that a non-empty file does not name."""
    path = os.environ.get("OSTREL_PUBLISHERS_FILE") or os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "release", "publishers.txt")
    try:
        named = authenticode.publishers(path)
    except (OSError, ValueError) as error:
        raise Refused(f"the publishers file cannot be read: {error}") from None
    fingerprint = authenticode.fingerprint(certificate)
    if named and fingerprint not in named:
        raise Refused(f"the certificate with SHA-256 {fingerprint} is not one that {path} "
                      "names: a release is signed only by a named publisher")
    return named.get(fingerprint)


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


def checked_signer(signed, certificate):
    """The signer of the signed program, which must be CERTIFICATE."""
    try:
        signer = authenticode.signer_of(signed)
    except authenticode.Refused as why:
        raise Refused(f"the signature made does not check: {why}") from None
    if signer is None or signer.fingerprint != authenticode.fingerprint(certificate):
        raise Refused("the signature made is not the configured certificate's")
    return signer


def sign(program, options, certificate):
    first, second = program + ".signed", program + ".signed-again"
    try:
        signed = signed_copy(program, options, first)
        if "-ts" not in options and signed_copy(program, options, second) != signed:
            raise Refused("the key gives another signature each time, so no one could sign "
                          "this release reproducibly: use an RSA key")
        signer = checked_signer(signed, certificate)
        os.replace(first, program)
        return signer
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
        options, what, certificate = key
        options += common_options()
        publisher = publisher_of(certificate)
        named = f'publisher "{publisher}"' if publisher else "no publisher named yet"
        if check_only:
            print(f"{name}: to be signed with {what} (certificate SHA-256 "
                  f"{authenticode.fingerprint(certificate)}, {named})")
        else:
            signer = sign(program, options, certificate)
            print(f'{name}: signed (Authenticode, SHA-256) by "{signer.subject}" (certificate '
                  f"SHA-256 {signer.fingerprint}, {named})")
    except Refused as why:
        sys.exit(f"sign_program.py: cannot sign {name}: {why}")


if __name__ == "__main__":
    main()
