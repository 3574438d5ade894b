#!/usr/bin/env python3
"""Signs each PROGRAM in place with Authenticode (SHA-256) through
osslsigncode, with the key that the environment names. A key that is named
but cannot be used stops with a message and a non-zero status: never an
unsigned program in place of a signed one. scripts/package.sh runs this in
a step of its own after the build, with nothing in its environment but these
variables, PATH and SOURCE_DATE_EPOCH.

  OSTREL_SIGN_PKCS12          a PKCS#12 file with the key and its certificates
  OSTREL_SIGN_PASSWORD_FILE   a file holding its password (or a token's PIN)
or a key on a hardware token:
  OSTREL_SIGN_PKCS11_MODULE   the token's PKCS#11 module (a .so)
  OSTREL_SIGN_PKCS11_KEY      the key's PKCS#11 URI, e.g. pkcs11:token=T;object=K
  OSTREL_SIGN_CERTS           the certificate chain, PEM, the signer's first
  OSTREL_SIGN_PKCS11_ENV      names of further variables the module reads
                              (its configuration), given to this step alone
and OSTREL_SIGN_TIMESTAMP_URL, an RFC 3161 time-stamp server, which is
refused for now: no proof checks a time stamp yet, so a time-stamped
release could not be proven.

The signing time is SOURCE_DATE_EPOCH, the commit's time: the same program
signed with the same RSA key gives the same bytes, which this checks.

A variable of that family that is set but empty, or that this script does
not know (a misspelt name), stops it, as does a PIN in the token's URI
(pin-value: the PIN belongs in the password file, never on a command line).
Messages name a variable, never its value: a password or a key put into
the wrong variable stays unsaid. Once the publishers file
(release/publishers.txt, or --publishers FILE) names publishers, a
certificate that it does not name is refused. The signature made is written
again in the one layout a proof accepts (scripts/authenticode.py), checked
as scripts/verify-release.sh checks it, and must be the configured
certificate's, carrying only the certificates the publishers file names for
its chain; its subject and fingerprint are printed.

usage: sign_program.py [--check] [--publishers FILE] PROGRAM...
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

TOKEN_VARIABLES = ("OSTREL_SIGN_PKCS11_MODULE", "OSTREL_SIGN_PKCS11_KEY", "OSTREL_SIGN_CERTS",
                   "OSTREL_SIGN_PKCS11_ENV")
ALL_VARIABLES = ("OSTREL_SIGN_PKCS12", *TOKEN_VARIABLES, "OSTREL_SIGN_PASSWORD_FILE",
                 "OSTREL_SIGN_TIMESTAMP_URL")
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
    if "OSTREL_SIGN_TIMESTAMP_URL" in os.environ:
        raise Refused("OSTREL_SIGN_TIMESTAMP_URL is set, but no proof checks a time stamp yet: "
                      "a time-stamped release could not be proven, so none is made")


def readable_file(variable):
    path = os.environ.get(variable, "")
    if not path:
        raise Refused(f"{variable} is not set")
    if not os.path.isfile(path) or not os.access(path, os.R_OK):
        raise Refused(f"{variable} names no readable file")
    return path


def token_key():
    """The token key's URI, refused when it is none or carries a PIN."""
    key = os.environ.get("OSTREL_SIGN_PKCS11_KEY", "")
    if not key.startswith("pkcs11:"):
        raise Refused("OSTREL_SIGN_PKCS11_KEY is not a PKCS#11 URI (pkcs11:...)")
    for attribute in re.split(r"[:;?&]", key):
        if urllib.parse.unquote(attribute.partition("=")[0]).strip().lower() == "pin-value":
            raise Refused("OSTREL_SIGN_PKCS11_KEY carries the PIN (pin-value): put it in the "
                          "file that OSTREL_SIGN_PASSWORD_FILE names instead")
    return key


def first_certificate(pem, variable):
    found = PEM_CERTIFICATE.search(pem)
    if not found:
        raise Refused(f"the file that {variable} names holds no certificate")
    return base64.b64decode(found.group(1))


def pkcs12_certificate(path, password_file):
    """The DER of the certificate that goes with the PKCS#12 file's key."""
    for legacy in ([], ["-legacy"]):
        run = subprocess.run(["openssl", "pkcs12", "-in", path, "-passin", f"file:{password_file}",
                              "-nokeys", "-clcerts", *legacy],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if run.returncode == 0:
            return first_certificate(run.stdout, "OSTREL_SIGN_PKCS12")
    raise Refused("the file that OSTREL_SIGN_PKCS12 names cannot be opened with the password "
                  "in the file that OSTREL_SIGN_PASSWORD_FILE names")


def key_options():
    """osslsigncode's options for the configured key, what to call it, and
    the DER of its certificate."""
    check_variables()
    configured = [v for v in ALL_VARIABLES if v in os.environ]
    if "OSTREL_SIGN_PKCS12" in os.environ:
        others = [v for v in configured if v in TOKEN_VARIABLES]
        if others:
            raise Refused(f"OSTREL_SIGN_PKCS12 and {', '.join(others)} are both set: choose one key")
        pkcs12 = readable_file("OSTREL_SIGN_PKCS12")
        password = readable_file("OSTREL_SIGN_PASSWORD_FILE")
        return (["-pkcs12", pkcs12, "-readpass", password], "the key that OSTREL_SIGN_PKCS12 names",
                pkcs12_certificate(pkcs12, password))
    if any(v in os.environ for v in TOKEN_VARIABLES):
        key = token_key()
        certs = readable_file("OSTREL_SIGN_CERTS")
        options = ["-pkcs11module", readable_file("OSTREL_SIGN_PKCS11_MODULE"), "-key", key,
                   "-certs", certs]
        if "OSTREL_SIGN_PASSWORD_FILE" in os.environ:
            options += ["-readpass", readable_file("OSTREL_SIGN_PASSWORD_FILE")]
        with open(certs, encoding="ascii", errors="replace") as f:
            certificate = first_certificate(f.read(), "OSTREL_SIGN_CERTS")
        return options, "the token key that OSTREL_SIGN_PKCS11_KEY names", certificate
    raise Refused(f"{', '.join(configured) or 'no signing variable'} set, but no key: set "
                  "OSTREL_SIGN_PKCS12, or OSTREL_SIGN_PKCS11_MODULE, OSTREL_SIGN_PKCS11_KEY and "
                  "OSTREL_SIGN_CERTS")


def read_publishers(path):
    try:
        return authenticode.publishers(path)
    except (OSError, ValueError) as error:
        raise Refused(f"the publishers file cannot be read: {error}") from None


def publisher_of(certificate, named, path):
    """The publishers file's name for CERTIFICATE; None while the file names
    no publisher. Refuses a certificate that a non-empty file does not name."""
    fingerprint = authenticode.fingerprint(certificate)
    if named and fingerprint not in named:
        raise Refused(f"the certificate with SHA-256 {fingerprint} is not one that {path} "
                      "names: a release is signed only by a named publisher")
    return named.get(fingerprint)


def signing_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        raise Refused("SOURCE_DATE_EPOCH, the signing time, is not set (scripts/package.sh sets it)")
    if shutil.which("osslsigncode") is None:
        raise Refused("osslsigncode is not installed (scripts/install-deps.sh installs it)")
    return ["-h", "sha256", "-n", "Ostrel", "-time", epoch]


def unsaid(text):
    """TEXT with the value of every signing variable replaced by its name."""
    for variable in ALL_VARIABLES:
        if os.environ.get(variable):
            text = text.replace(os.environ[variable], f"${variable}")
    return text


def signed_copy(program, options, out):
    if os.path.exists(out):
        os.remove(out)
    run = subprocess.run(["osslsigncode", "sign", *options, "-in", program, "-out", out],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if run.returncode != 0 or not os.path.isfile(out):
        raise Refused(unsaid(f"osslsigncode failed:\n{run.stdout}{run.stderr}".rstrip()))
    with open(out, "rb") as f:
        return f.read()


def checked_signer(signed, certificate, publisher):
    """The signer of the signed program, which must be CERTIFICATE, carrying
    beside it only what the publishers file names for its chain."""
    try:
        signer = authenticode.signer_of(signed)
    except authenticode.Refused as why:
        raise Refused(f"the signature made does not check: {why}") from None
    if signer is None or signer.fingerprint != authenticode.fingerprint(certificate):
        raise Refused("the signature made is not the configured certificate's")
    stray = authenticode.unnamed_certificates(signer, publisher)
    if stray:
        raise Refused(f"the signature made carries a certificate (SHA-256 {stray[0]}) that the "
                      "publishers file does not name for the signer's chain: name it on a chain "
                      "line, or leave it out of the key's certificates")
    return signer


def sign(program, options, certificate, publisher):
    first, second = program + ".signed", program + ".signed-again"
    try:
        signed = signed_copy(program, options, first)
        if signed_copy(program, options, second) != signed:
            raise Refused("the key gives another signature each time, so no one could sign "
                          "this release reproducibly: use an RSA key")
        try:
            signed = authenticode.in_signing_layout(signed)
        except authenticode.Refused as why:
            raise Refused(f"the signature made does not check: {why}") from None
        signer = checked_signer(signed, certificate, publisher)
        with open(first, "wb") as f:
            f.write(signed)
        os.replace(first, program)
        return signer
    finally:
        for leftover in (first, second):
            if os.path.exists(leftover):
                os.remove(leftover)


def main():
    args, check_only = sys.argv[1:], False
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "release",
                        "publishers.txt")
    while args[:1] in (["--check"], ["--publishers"]):
        if args[0] == "--check":
            check_only, args = True, args[1:]
        elif len(args) > 1:
            path, args = args[1], args[2:]
        else:
            sys.exit(__doc__)
    if not args or args[0].startswith("-"):
        sys.exit(__doc__)
    try:
        options, what, certificate = key_options()
        options += signing_time()
        publisher = publisher_of(certificate, read_publishers(path), path)
        named = f'publisher "{publisher.name}"' if publisher else "no publisher named yet"
        for program in args:
            name = os.path.basename(program)
            if check_only:
                print(f"{name}: to be signed with {what} (certificate SHA-256 "
                      f"{authenticode.fingerprint(certificate)}, {named})")
            else:
                signer = sign(program, options, certificate, publisher)
                print(f'{name}: signed (Authenticode, SHA-256) by "{signer.subject}" (certificate '
                      f"SHA-256 {signer.fingerprint}, {named})")
    except Refused as why:
        sys.exit(f"sign_program.py: cannot sign: {why}")


if __name__ == "__main__":
    main()
