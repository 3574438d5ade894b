"""The Authenticode signature of a Windows program, checked as a release
needs it: who signed, whether that signature is valid over these bytes, and
whether its bytes are exactly those the signing step writes, so that nothing
the signer did not sign can ride along. Used by scripts/sign_program.py
after signing and by scripts/check_published.py when a release is proven.

A signed program ends with its certificate table: one entry of 8 header
bytes (length, revision 2.0, kind PKCS#7) and the DER of a PKCS#7 SignedData,
padded with zeros to a multiple of 8. The SignedData holds the program's
digest (over everything but the header's checksum, its security entry and
the table itself), certificates, one signer and the signer's signature over
the signed attributes, which carry the digest of that content.

Only the signed content, the signed attributes and the signature value are
the signer's. Everything else (algorithm labels, certificates, unsigned
attributes, the entry's length and padding) anyone can change without the
key, and Windows takes many such variants of one signature as valid. So the
signature is encoded again from what was parsed, in the one layout the
signing step writes (DER; each algorithm identifier with its NULL
parameters; rsaEncryption, because the certificate's key is RSA; the
certificates in DER order; no unsigned attribute; the entry padded to 8),
and must equal the bytes in the program.

The signer's certificate is not checked against any authority: the
publishers file names, by SHA-256 fingerprint, the certificates a release
may be signed with, and those each may carry for its chain.
"""
import collections
import hashlib
import re
import struct

from copy_signature import NotAProgram, certificate_table, header_offsets, with_signature, \
    without_signature

SIGNED_DATA = "1.2.840.113549.1.7.2"
SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SPC_PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
SHA256 = "2.16.840.1.101.3.4.2.1"
RSA_ENCRYPTION = "1.2.840.113549.1.1.1"
# Some tools label the signer's algorithm sha256WithRSAEncryption; read, it
# is written again as rsaEncryption.
RSA_LABELS = (RSA_ENCRYPTION, "1.2.840.113549.1.1.11")
CONTENT_TYPE = "1.2.840.113549.1.9.3"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
TIME_STAMPS = ("1.2.840.113549.1.9.6", "1.3.6.1.4.1.311.3.3.1")  # countersignature, RFC 3161
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"

SEQUENCE, SET, INTEGER, BIT_STRING, OCTET_STRING, NULL, OID = 0x30, 0x31, 0x02, 0x03, 0x04, 0x05, 0x06
CONTEXT_0, CONTEXT_1 = 0xA0, 0xA1
WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0200, 0x0002

Signer = collections.namedtuple("Signer", "subject fingerprint others")
# What a signature carries, as parsed: the DER of each part that is written
# again as it is (the signed ones, the certificates, the signer's identifier
# that must match one of them, unsigned attributes), and the signature value.
Signature = collections.namedtuple(
    "Signature", "content program_digest certificates signer_id signed_attributes value unsigned")
Publisher = collections.namedtuple("Publisher", "name chain")
Certificate = collections.namedtuple("Certificate", "serial issuer subject key")


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
        if pos + 2 + count > len(data):
            raise Refused("the signature's DER ends inside a length")
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


def whole(data, what):
    """The one element that DATA is."""
    element = _element_at(data, 0)
    if len(element.der) != len(data):
        raise Refused(f"{what} has bytes after its end")
    return element


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
    if parts[1:] not in ([], [Element(NULL, b"\x05\x00", b"")]):
        raise Refused(f"{what} has parameters")
    return oid(parts[0])


def version_1(element, what):
    if element.tag != INTEGER or element.content != b"\x01":
        raise Refused(f"{what} is not version 1")


def der(tag, content):
    """The DER element TAG with CONTENT, its length in the shortest form."""
    size = len(content)
    if size < 0x80:
        return bytes([tag, size]) + content
    length = size.to_bytes((size.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(length)]) + length + content


def der_oid(dotted):
    first, second, *rest = map(int, dotted.split("."))
    encoded = bytearray()
    for arc in (40 * first + second, *rest):
        septets = [arc & 0x7F]
        while arc > 0x7F:
            arc >>= 7
            septets.append(0x80 | arc & 0x7F)
        encoded += bytes(reversed(septets))
    return der(OID, bytes(encoded))


def algorithm_identifier(name):
    return der(SEQUENCE, der_oid(name) + der(NULL, b""))


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


def table_entry(signature):
    """The certificate table that the signing step writes around SIGNATURE
    (DER): its length counts the padding to 8 bytes."""
    size = 8 + len(signature) + -len(signature) % 8
    return struct.pack("<IHH", size, WIN_CERT_REVISION_2_0, WIN_CERT_TYPE_PKCS_SIGNED_DATA) \
        + signature + bytes(size - 8 - len(signature))


def signature_der(image):
    """The PKCS#7 DER of the program's one certificate entry, and the table's
    offset; None when the program is not signed. Refuses a table that holds
    anything else."""
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
    signature = _element_at(table, 8).der
    padded = 8 + len(signature) + -(8 + len(signature)) % 8
    if length not in (8 + len(signature), padded):
        raise Refused(f"the certificate entry is {length} bytes long, its signature "
                      f"{8 + len(signature)}: bytes are stuffed into it")
    if size > padded:
        raise Refused(f"the certificate table holds {size - padded} bytes after its "
                      "signature entry (a second entry, or bytes stuffed there)")
    if any(table[8 + len(signature):]):
        raise Refused("the certificate entry's padding is not zeros")
    return signature, offset


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
    """The serial, issuer, subject and subjectPublicKeyInfo DER elements of
    a certificate."""
    tbs = children(whole(certificate, "a certificate"), SEQUENCE, "a certificate", (3,))[0]
    parts = children(tbs, SEQUENCE, "a certificate")
    if parts and parts[0].tag == CONTEXT_0:
        parts = parts[1:]
    if len(parts) < 6:
        raise Refused("a certificate of the signature is incomplete")
    return Certificate(parts[0], parts[2], parts[4], parts[5])


def signed_content(content_info):
    """The SpcIndirectDataContent element that the signature carries, and
    the program's digest in it."""
    info = children(content_info, SEQUENCE, "the signed content", (2,))
    if oid(info[0]) != SPC_INDIRECT_DATA:
        raise Refused("the signature is not over a program (no SpcIndirectDataContent)")
    content = children(info[1], CONTEXT_0, "the signed content", (1,))[0]
    data, digest_info = children(content, SEQUENCE, "the signed content", (2,))
    if oid(children(data, SEQUENCE, "the signed content", (1, 2))[0]) != SPC_PE_IMAGE_DATA:
        raise Refused("the signature is not over a PE program")
    digest_algorithm, digest = children(digest_info, SEQUENCE, "the program's digest", (2,))
    if algorithm(digest_algorithm, "the program's digest") != SHA256 or digest.tag != OCTET_STRING:
        raise Refused("the program's digest is not SHA-256")
    return content, digest.content


def parse(signature):
    """The Signature that the DER SIGNATURE carries; refuses anything but a
    PKCS#7 SignedData of one signer over a PE program, SHA-256 and RSA."""
    info = children(whole(signature, "the signature"), SEQUENCE, "the signature", (2,))
    if oid(info[0]) != SIGNED_DATA:
        raise Refused("the signature is not a PKCS#7 SignedData")
    signed_data = children(info[1], CONTEXT_0, "the signature", (1,))[0]
    version, digest_algorithms, content_info, certificates, signer_infos = \
        children(signed_data, SEQUENCE, "the SignedData", (5,))
    version_1(version, "the SignedData")
    if certificates.tag != CONTEXT_0:
        raise Refused("the signature carries no certificates, or revocation lists")
    if [algorithm(a, "the digest algorithms") for a in
            children(digest_algorithms, SET, "the digest algorithms")] != [SHA256]:
        raise Refused("the signature's digest algorithm is not SHA-256 alone")
    content, program_digest = signed_content(content_info)
    signers = children(signer_infos, SET, "the signer infos")
    if len(signers) != 1:
        raise Refused(f"the signature has {len(signers)} signers, not one")

    signer_info = children(signers[0], SEQUENCE, "the signer info", (6, 7))
    version, signer_id, digest_algorithm, signed_attributes, signature_algorithm, value = \
        signer_info[:6]
    version_1(version, "the signer info")
    if algorithm(digest_algorithm, "the signer's digest") != SHA256:
        raise Refused("the signer's digest algorithm is not SHA-256")
    if algorithm(signature_algorithm, "the signer's algorithm") not in RSA_LABELS:
        raise Refused("the signer's algorithm is not RSA")
    if signed_attributes.tag != CONTEXT_0 or value.tag != OCTET_STRING:
        raise Refused("the signer info has no signed attributes")
    signed = attributes(signed_attributes, "signed attributes")
    if [oid(v) for v in signed.get(CONTENT_TYPE, [])] != [SPC_INDIRECT_DATA]:
        raise Refused("the signed attributes name another content type")
    if [v.content for v in signed.get(MESSAGE_DIGEST, [])] != [hashlib.sha256(content.content).digest()]:
        raise Refused("the signed attributes do not carry the signed content's digest")
    unsigned = signer_info[6] if len(signer_info) == 7 else None
    if unsigned and unsigned.tag != CONTEXT_1:
        raise Refused("the signer info ends in something other than unsigned attributes")
    return Signature(content.der, program_digest,
                     [c.der for c in children(certificates, CONTEXT_0, "the certificates")],
                     signer_id.der, signed_attributes.der, value.content,
                     unsigned.der if unsigned else b"")


def encode(signature):
    """SIGNATURE in the one layout the signing step writes."""
    one = der(INTEGER, b"\x01")
    signer_info = der(SEQUENCE, one + signature.signer_id + algorithm_identifier(SHA256)
                      + signature.signed_attributes + algorithm_identifier(RSA_ENCRYPTION)
                      + der(OCTET_STRING, signature.value) + signature.unsigned)
    content_info = der(SEQUENCE, der_oid(SPC_INDIRECT_DATA) + der(CONTEXT_0, signature.content))
    signed_data = der(SEQUENCE, one + der(SET, algorithm_identifier(SHA256)) + content_info
                      + der(CONTEXT_0, b"".join(sorted(signature.certificates)))
                      + der(SET, signer_info))
    return der(SEQUENCE, der_oid(SIGNED_DATA) + der(CONTEXT_0, signed_data))


def check_unsigned_attributes(unsigned):
    """Refuses any: they are bytes nobody signed, a time stamp included as
    long as nothing here checks one (its imprint, its signer, its authority)."""
    if not unsigned:
        return
    found = attributes(whole(unsigned, "the unsigned attributes"), "unsigned attributes")
    if NESTED_SIGNATURE in found:
        raise Refused("the signature carries a nested second signature")
    if any(name in TIME_STAMPS for name in found):
        raise Refused("the signature carries a time stamp, which no proof checks yet (its "
                      "imprint, its signer, its authority): a time-stamped program is not proven")
    raise Refused(f"the signature carries unsigned attributes, bytes nobody signed: "
                  f"{', '.join(found) or 'an empty set of them'}")


def signer_certificate(signature):
    """The one certificate the signature carries whose issuer and serial
    name its signer; refuses a certificate carried twice."""
    if len(set(signature.certificates)) != len(signature.certificates):
        raise Refused("the signature carries a certificate twice")
    issuer, serial = children(whole(signature.signer_id, "the signer's identifier"), SEQUENCE,
                              "the signer's identifier", (2,))
    matching = [c for c in signature.certificates
                if certificate_parts(c)[:2] == (serial, issuer)]
    if len(matching) != 1:
        raise Refused(f"the signature carries {len(matching)} certificates of its signer, not one")
    return matching[0]


def rsa_key(certificate):
    """The modulus and the exponent of the certificate's key. The key says
    what kind of signature it makes, not the label beside the signature: a
    key that is not RSA is refused."""
    kind, key = children(certificate_parts(certificate).key, SEQUENCE, "the signer's public key",
                         (2,))
    name = oid(children(kind, SEQUENCE, "the signer's key algorithm", (1, 2))[0])
    if name != RSA_ENCRYPTION:
        raise Refused(f"the signer's certificate holds no RSA key but one of kind {name}")
    if key.tag != BIT_STRING or key.content[:1] != b"\0":
        raise Refused("the signer's RSA key is not a whole number of bytes")
    numbers = children(whole(key.content[1:], "the signer's RSA key"), SEQUENCE,
                       "the signer's RSA key", (2,))
    if any(n.tag != INTEGER for n in numbers):
        raise Refused("the signer's RSA key is not two numbers")
    modulus, exponent = (int.from_bytes(n.content, "big", signed=True) for n in numbers)
    if modulus < 1 << 1023 or exponent < 3 or exponent % 2 == 0:
        raise Refused("the signer's RSA key is not one a signature can be checked with")
    return modulus, exponent


# RSASSA-PKCS1-v1_5 with SHA-256 (RFC 8017, 9.2): the DigestInfo's DER
# before the digest.
SHA256_DIGEST_INFO = bytes.fromhex("3031300d060960864801650304020105000420")


def verifies(key, value, signed):
    """Whether VALUE is the RSA KEY's (modulus, exponent) PKCS#1 v1.5
    signature of SIGNED's SHA-256: the whole block the key recovers must
    equal the one encoded here, so that nothing else can hide in it."""
    modulus, exponent = key
    size = (modulus.bit_length() + 7) // 8
    number = int.from_bytes(value, "big")
    if len(value) != size or number >= modulus:
        return False
    digest_info = SHA256_DIGEST_INFO + hashlib.sha256(signed).digest()
    expected = b"\x00\x01" + b"\xff" * (size - 3 - len(digest_info)) + b"\x00" + digest_info
    return pow(number, exponent, modulus).to_bytes(size, "big") == expected


# Attribute types by the short names that RFC 4514 and openssl give them.
NAME_TYPES = {"2.5.4.3": "CN", "2.5.4.4": "SN", "2.5.4.5": "serialNumber", "2.5.4.6": "C",
              "2.5.4.7": "L", "2.5.4.8": "ST", "2.5.4.9": "street", "2.5.4.10": "O",
              "2.5.4.11": "OU", "2.5.4.12": "title", "2.5.4.15": "businessCategory",
              "2.5.4.17": "postalCode", "2.5.4.42": "GN", "2.5.4.97": "organizationIdentifier",
              "0.9.2342.19200300.100.1.1": "UID", "0.9.2342.19200300.100.1.25": "DC",
              "1.2.840.113549.1.9.1": "emailAddress",
              "1.3.6.1.4.1.311.60.2.1.1": "jurisdictionL",
              "1.3.6.1.4.1.311.60.2.1.2": "jurisdictionST",
              "1.3.6.1.4.1.311.60.2.1.3": "jurisdictionC"}
# The string types of names, by tag, and how their bytes are text.
NAME_STRINGS = {0x0C: "utf-8", 0x12: "latin-1", 0x13: "latin-1", 0x14: "latin-1",
                0x16: "latin-1", 0x1A: "latin-1", 0x1C: "utf-32-be", 0x1E: "utf-16-be"}


def name_value(value):
    """An attribute's value as RFC 4514 writes it in a name."""
    if value.tag not in NAME_STRINGS:
        return "#" + value.der.hex()
    text = value.content.decode(NAME_STRINGS[value.tag], "replace")
    text = re.sub(r'[,+"\\<>;]', lambda special: "\\" + special.group(), text)
    return re.sub(r"^[ #]| $", lambda edge: "\\" + edge.group(), text)


def subject_of(certificate):
    """The certificate's subject, "CN=..., O=...", escaped for a terminal."""
    names = []
    for relative in children(certificate_parts(certificate).subject, SEQUENCE, "the signer's name"):
        pairs = [children(pair, SEQUENCE, "the signer's name", (2,))
                 for pair in children(relative, SET, "the signer's name")]
        names.append(" + ".join(f"{NAME_TYPES.get(oid(kind), oid(kind))}={name_value(value)}"
                                for kind, value in pairs))
    return printable(", ".join(names))


def signer_of(image):
    """The Signer of the program IMAGE (bytes), None when it is not signed.
    Refuses, saying why, a signature that is not valid over IMAGE, has other
    than one signer and an RSA key, carries unsigned attributes, or whose
    bytes are not the signing step's layout of what it carries."""
    try:
        found = signature_der(image)
    except (NotAProgram, struct.error) as error:
        raise Refused(f"not a Windows program: {error}") from None
    if found is None:
        return None
    der_bytes, table_offset = found
    signature = parse(der_bytes)
    check_unsigned_attributes(signature.unsigned)
    certificate = signer_certificate(signature)
    key = rsa_key(certificate)
    if authenticode_digest(image, table_offset) != signature.program_digest:
        raise Refused("the signature is not over this program: its digest is another program's")
    # The signer signs the signed attributes as a SET, not as their [0] field.
    if not verifies(key, signature.value, bytes([SET]) + signature.signed_attributes[1:]):
        raise Refused("the signer's signature does not verify with its certificate")
    if image[table_offset:] != table_entry(encode(signature)):
        raise Refused("the signature's bytes are not those the signing step writes for what it "
                      "carries (algorithm labels, lengths, order or padding differ): bytes "
                      "nobody signed")
    others = [fingerprint(c) for c in signature.certificates if c != certificate]
    return Signer(subject_of(certificate), fingerprint(certificate), others)


def in_signing_layout(image):
    """IMAGE with its signature written again in the one layout a proof
    accepts: the signing step's last act, whatever tool signed."""
    found = signature_der(image)
    if found is None:
        raise Refused("the program is not signed")
    return with_signature(without_signature(image), table_entry(encode(parse(found[0]))))


# --- who may sign ---


def fingerprint(certificate_der):
    return hashlib.sha256(certificate_der).hexdigest()


FINGERPRINT = re.compile(r"(?:[0-9a-f]{2}:?){31}[0-9a-f]{2}")


def publishers(path):
    """{fingerprint: Publisher} of the publishers file at PATH: a
    certificate's SHA-256 fingerprint (hex, colons allowed) and the
    publisher's name on each line; "chain", a fingerprint and a name on a
    line of a certificate that the publisher above may carry for its chain.
    Blank lines and lines starting with # say nothing."""
    found, last = {}, None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            chain = line.startswith("chain ")
            digits, _, name = line.removeprefix("chain ").strip().partition(" ")
            digits, name = digits.lower(), name.strip()
            if not FINGERPRINT.fullmatch(digits) or not name:
                raise ValueError(f"{path}:{number}: not a SHA-256 fingerprint and a name")
            digits = digits.replace(":", "")
            if not chain:
                found[digits] = Publisher(name, [])
                last = digits
            elif last is None:
                raise ValueError(f"{path}:{number}: a chain certificate before any publisher")
            else:
                found[last].chain.append(digits)
    return found


def unnamed_certificates(signer, publisher):
    """The certificates the signature carries beside its signer's that the
    publishers file does not name for that publisher's chain."""
    return [c for c in signer.others if publisher is None or c not in publisher.chain]


def publisher_of(signer, named, path):
    """The name of SIGNER's publisher in the publishers file PATH (read as
    NAMED); refuses a signer it does not name, or a certificate beside it
    that it does not name for that publisher's chain."""
    publisher = named.get(signer.fingerprint)
    if publisher is None:
        raise Refused(f'signed by "{signer.subject}" (certificate SHA-256 {signer.fingerprint}), '
                      f"which {printable(path)} does not name")
    stray = unnamed_certificates(signer, publisher)
    if stray:
        raise Refused(f"the signature carries a certificate (SHA-256 {stray[0]}) beside its "
                      f"signer's that {printable(path)} does not name for that publisher's chain")
    return publisher.name


def describe(signer, publisher):
    """How a verdict names the signature."""
    return (f'signed by "{signer.subject}" (certificate SHA-256 {signer.fingerprint}), '
            f'publisher "{printable(publisher)}"')
