"""The Authenticode signature of a Windows program, checked as a release
needs it: who signed, whether that signature is valid over these bytes, and
whether it is the one plain signature a release carries, with nothing
stuffed beside it. Used by scripts/sign_program.py after signing and by
scripts/check_published.py when a release is proven.

A signed program ends with its certificate table: one entry of 8 header
bytes (length, revision 2.0, kind PKCS#7) and the DER of a PKCS#7 SignedData,
padded with zeros to a multiple of 8. The SignedData holds the program's
digest (over everything but the header's checksum, its security entry and
the table itself), one signer, its certificates and the signer's signature
over the signed attributes, which carry the digest of that content. Windows
accepts more than this (bytes after the signature, further entries, a nested
second signature); a release proof accepts only this.

The signer's certificate is not checked against any authority: the
publishers file names, by SHA-256 fingerprint, the certificates a release
may be signed with.
"""
import collections
import hashlib
import os
import re
import struct
import subprocess
import tempfile

from copy_signature import NotAProgram, certificate_table, header_offsets

SIGNED_DATA = "1.2.840.113549.1.7.2"
SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SPC_PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
SHA256 = "2.16.840.1.101.3.4.2.1"
RSA_SIGNATURES = ("1.2.840.113549.1.1.1", "1.2.840.113549.1.1.11")  # rsaEncryption, sha256WithRSA
CONTENT_TYPE = "1.2.840.113549.1.9.3"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
TIME_STAMPS = ("1.2.840.113549.1.9.6", "1.3.6.1.4.1.311.3.3.1")  # countersignature, RFC 3161
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"

SEQUENCE, SET, INTEGER, OCTET_STRING, OID = 0x30, 0x31, 0x02, 0x04, 0x06
CONTEXT_0, CONTEXT_1 = 0xA0, 0xA1
WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0200, 0x0002

Signer = collections.namedtuple("Signer", "subject fingerprint time_stamped")


class Refused(Exception):
    """The signature is not one a release can carry; the text says why."""


def printable(text):
    """TEXT with every character a terminal could act on escaped (ESC as
    \\x1b), so that it cannot paint over what is printed."""
    return "".join(c if c.isprintable() else c.encode("unicode_escape").decode() for c in text)


# --- DER, strictly: definite, minimal lengths, every byte accounted for ---

Element = collections.namedtuple("Element", "tag der content")


def _element_at(data, pos):
    if pos + 2 > len(data):
        raise Refused("the signature's DER ends inside an element")
    tag, length = data[pos], data[pos + 1]
    header = 2
    if tag & 0x1F == 0x1F:
        raise Refused("the signature's DER has a tag this signature never uses")
    if length & 0x80:
        count = length & 0x7F
        if count == 0 or count > 4:
            raise Refused("the signature's DER has an indefinite or oversized length")
        length = int.from_bytes(data[pos + 2:pos + 2 + count], "big")
        if data[pos + 2] == 0 or length < 0x80:
            raise Refused("the signature's DER has a length that is not minimal")
        header += count
    end = pos + header + length
    if end > len(data):
        raise Refused("the signature's DER runs past its end")
    return Element(tag, bytes(data[pos:end]), bytes(data[pos + header:end]))


def elements(data):
    """The elements that DATA consists of, one after the other."""
    found, pos = [], 0
    while pos < len(data):
        element = _element_at(data, pos)
        found.append(element)
        pos += len(element.der)
    return found


def children(element, tag, what, counts=None):
    """ELEMENT's parts, checked to be a TAG; COUNTS, the numbers allowed."""
    if element.tag != tag:
        raise Refused(f"{what} is not where the signature's structure puts it")
    parts = elements(element.content)
    if counts is not None and len(parts) not in counts:
        raise Refused(f"{what} has {len(parts)} parts")
    return parts


def oid(element):
    if element.tag != OID or not element.content or element.content[-1] & 0x80:
        raise Refused("an object identifier is expected in the signature")
    arcs, value = [], 0
    for byte in element.content:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            arcs.append(value)
            value = 0
    first = min(arcs[0] // 40, 2)
    return ".".join(map(str, [first, arcs[0] - 40 * first, *arcs[1:]]))


def algorithm(element, what):
    """An algorithm's identifier, whose parameters may only be absent or NULL:
    anything else there would be bytes that nothing signs."""
    parts = children(element, SEQUENCE, what, (1, 2))
    if parts[1:] not in ([], [Element(0x05, b"\x05\x00", b"")]):
        raise Refused(f"{what} has parameters")
    return oid(parts[0])


def version_1(element, what):
    if element.tag != INTEGER or element.content != b"\x01":
        raise Refused(f"{what} is not version 1")


# --- the program and its table ---


def authenticode_digest(image, table_offset):
    """SHA-256 of the program as Authenticode hashes it: everything before
    the certificate table but the checksum and the security entry."""
    checksum_at, security = header_offsets(image)
    digest = hashlib.sha256()
    digest.update(image[:checksum_at])
    digest.update(image[checksum_at + 4:security])
    digest.update(image[security + 8:table_offset])
    return digest.digest()


def signature_der(image):
    """The PKCS#7 DER of the program's one certificate entry; None when the
    program is not signed. Refuses a table that holds anything else."""
    table = certificate_table(image)
    if not table:
        return None
    _, security = header_offsets(image)
    offset, size = struct.unpack_from("<II", image, security)
    if offset % 8 or offset + size != len(image):
        raise Refused("the certificate table is not at the end of the program, 8-byte aligned")
    if size < 8:
        raise Refused("the certificate table is too short for an entry")
    length, revision, kind = struct.unpack_from("<IHH", table)
    if revision != WIN_CERT_REVISION_2_0 or kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA:
        raise Refused("the certificate table's entry is not a PKCS#7 signature")
    der = _element_at(table, 8).der
    padded = 8 + len(der) + -(8 + len(der)) % 8
    if length not in (8 + len(der), padded):
        raise Refused(f"the certificate entry is {length} bytes long, its signature "
                      f"{8 + len(der)}: bytes are stuffed into it")
    if size > padded:
        raise Refused(f"the certificate table holds {size - padded} bytes after its "
                      "signature entry (a second entry, or bytes stuffed there)")
    if any(table[8 + len(der):]):
        raise Refused("the certificate entry's padding is not zeros")
    return der, offset


# --- the signature ---


def attributes(element, what):
    """{type: [values]} of a SET OF Attribute; a type may appear only once."""
    found = {}
    for attribute in elements(element.content):
        kind, values = children(attribute, SEQUENCE, what, (2,))
        name = oid(kind)
        if name in found:
            raise Refused(f"the {what} carry {name} twice")
        found[name] = children(values, SET, what)
    return found


def certificate_parts(certificate):
    """(serial, issuer, subject) DER elements of a certificate."""
    tbs = children(certificate, SEQUENCE, "a certificate", (3,))[0]
    parts = children(tbs, SEQUENCE, "a certificate")
    if parts and parts[0].tag == CONTEXT_0:
        parts = parts[1:]
    if len(parts) < 6:
        raise Refused("a certificate of the signature is incomplete")
    return parts[0], parts[2], parts[4]


def signed_content(signed_data):
    """The program's digest that the signature carries, and the bytes that
    the messageDigest attribute hashes."""
    info = children(signed_data, SEQUENCE, "the signed content", (2,))
    if oid(info[0]) != SPC_INDIRECT_DATA:
        raise Refused("the signature is not over a program (no SpcIndirectDataContent)")
    content = children(info[1], CONTEXT_0, "the signed content", (1,))[0]
    data, digest_info = children(content, SEQUENCE, "the signed content", (2,))
    if oid(children(data, SEQUENCE, "the signed content", (1, 2))[0]) != SPC_PE_IMAGE_DATA:
        raise Refused("the signature is not over a PE program")
    digest_algorithm, digest = children(digest_info, SEQUENCE, "the program's digest", (2,))
    if algorithm(digest_algorithm, "the program's digest") != SHA256 or digest.tag != OCTET_STRING:
        raise Refused("the program's digest is not SHA-256")
    return digest.content, content.content


def check_unsigned_attributes(signer_info):
    """True when the one unsigned attribute is a time stamp; refuses others."""
    if len(signer_info) == 6:
        return False
    if signer_info[6].tag != CONTEXT_1:
        raise Refused("the signer info ends in something other than unsigned attributes")
    unsigned = attributes(signer_info[6], "unsigned attributes")
    if NESTED_SIGNATURE in unsigned:
        raise Refused("the signature carries a nested second signature")
    others = [name for name in unsigned if name not in TIME_STAMPS]
    if others:
        raise Refused(f"the signature carries unsigned attributes other than a time stamp: "
                      f"{', '.join(others)}")
    if len(unsigned) != 1 or len(next(iter(unsigned.values()))) != 1:
        raise Refused("the signature's unsigned attributes are not one time stamp")
    return True


def verify_rsa(certificate, signature, signed):
    """Whether SIGNATURE is the certificate's key's SHA-256 signature of
    SIGNED; also the certificate's subject, as openssl prints it."""
    with tempfile.TemporaryDirectory() as folder:
        paths = {name: os.path.join(folder, name) for name in ("cert", "sig", "signed", "key")}
        for name, data in (("cert", certificate), ("sig", signature), ("signed", signed)):
            with open(paths[name], "wb") as f:
                f.write(data)
        shown = subprocess.run(["openssl", "x509", "-inform", "DER", "-in", paths["cert"],
                                "-noout", "-subject", "-pubkey", "-nameopt",
                                "esc_2253,esc_ctrl,utf8,sep_comma_plus_space,sname"],
                               capture_output=True, text=True, errors="replace")
        if shown.returncode != 0:
            raise Refused("the signer's certificate cannot be read")
        subject, _, key = shown.stdout.partition("\n")
        with open(paths["key"], "w") as f:
            f.write(key)
        verified = subprocess.run(["openssl", "dgst", "-sha256", "-verify", paths["key"],
                                   "-signature", paths["sig"], paths["signed"]],
                                  capture_output=True)
    return verified.returncode == 0, subject.removeprefix("subject=").strip()


def signer_of(image):
    """The Signer of the program IMAGE (bytes), None when it is not signed.
    Refuses, saying why, a signature that is not the one canonical entry,
    has other than one signer, or is not valid over IMAGE."""
    try:
        found = signature_der(image)
    except (NotAProgram, struct.error) as error:
        raise Refused(f"not a Windows program: {error}") from None
    if found is None:
        return None
    der, table_offset = found
    info = children(_element_at(der, 0), SEQUENCE, "the signature", (2,))
    if oid(info[0]) != SIGNED_DATA:
        raise Refused("the signature is not a PKCS#7 SignedData")
    signed_data = children(info[1], CONTEXT_0, "the signature", (1,))[0]
    parts = children(signed_data, SEQUENCE, "the SignedData", (5,))
    version, digest_algorithms, content, certificates, signer_infos = parts
    version_1(version, "the SignedData")
    if certificates.tag != CONTEXT_0:
        raise Refused("the signature carries no certificates, or revocation lists")
    if [algorithm(a, "the digest algorithms") for a in
            children(digest_algorithms, SET, "the digest algorithms")] != [SHA256]:
        raise Refused("the signature's digest algorithm is not SHA-256 alone")
    program_digest, spc_content = signed_content(content)
    signers = children(signer_infos, SET, "the signer infos")
    if len(signers) != 1:
        raise Refused(f"the signature has {len(signers)} signers, not one")

    signer_info = children(signers[0], SEQUENCE, "the signer info", (6, 7))
    version, signer_id, digest_algorithm, signed_attributes, signature_algorithm, signature = \
        signer_info[:6]
    version_1(version, "the signer info")
    if algorithm(digest_algorithm, "the signer's digest") != SHA256:
        raise Refused("the signer's digest algorithm is not SHA-256")
    if algorithm(signature_algorithm, "the signer's algorithm") not in RSA_SIGNATURES:
        raise Refused("the signer's algorithm is not RSA")
    if signed_attributes.tag != CONTEXT_0 or signature.tag != OCTET_STRING:
        raise Refused("the signer info has no signed attributes")
    signed = attributes(signed_attributes, "signed attributes")
    if [oid(v) for v in signed.get(CONTENT_TYPE, [])] != [SPC_INDIRECT_DATA]:
        raise Refused("the signed attributes name another content type")
    if [v.content for v in signed.get(MESSAGE_DIGEST, [])] != [hashlib.sha256(spc_content).digest()]:
        raise Refused("the signed attributes do not carry the signed content's digest")
    time_stamped = check_unsigned_attributes(signer_info)

    issuer, serial = children(signer_id, SEQUENCE, "the signer's identifier", (2,))
    matching = [c for c in children(certificates, CONTEXT_0, "the certificates")
                if certificate_parts(c)[:2] == (serial, issuer)]
    if len(matching) != 1:
        raise Refused(f"the signature carries {len(matching)} certificates of its signer, not one")
    certificate = matching[0].der

    if authenticode_digest(image, table_offset) != program_digest:
        raise Refused("the signature is not over this program: its digest is another program's")
    # The signer signs the signed attributes as a SET, not as their [0] field.
    valid, subject = verify_rsa(certificate, signature.content,
                                bytes([SET]) + signed_attributes.der[1:])
    if not valid:
        raise Refused("the signer's signature does not verify with its certificate")
    return Signer(printable(subject), fingerprint(certificate), time_stamped)


# --- who may sign ---


def fingerprint(certificate_der):
    return hashlib.sha256(certificate_der).hexdigest()


FINGERPRINT = re.compile(r"(?:[0-9a-f]{2}:?){31}[0-9a-f]{2}")


def publishers(path):
    """{fingerprint: name} of the publishers file at PATH: a certificate's
    SHA-256 fingerprint (hex, colons allowed) and a name on each line;
    blank lines and lines starting with # say nothing."""
    found = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            digits, _, name = line.partition(" ")
            digits, name = digits.lower(), name.strip()
            if not FINGERPRINT.fullmatch(digits) or not name:
                raise ValueError(f"{path}:{number}: not a SHA-256 fingerprint and a name")
            found[digits.replace(":", "")] = name
    return found


def describe(signer, publisher):
    """How a verdict names the signature."""
    stamp = "a time stamp (not checked)" if signer.time_stamped else "no time stamp"
    return (f'signed by "{signer.subject}" (certificate SHA-256 {signer.fingerprint}), '
            f'publisher "{printable(publisher)}", {stamp}')
