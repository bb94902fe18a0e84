#!/usr/bin/env python3
"""Makes certificates whose names `openssl req` cannot write (a NUL or a line
end inside a name, BMPString and UTF8String look-alikes, a 16-byte address),
signed by the test CA with Debian's openssl. Run in the folder that holds
ca.pem, ca.key and server.key; writes NAME.pem for each certificate below."""
import subprocess

OID_CN = "2.5.4.3"
OID_SAN = "2.5.29.17"
OID_SHA256_RSA = "1.2.840.113549.1.1.11"
UTF8, BMP = 0x0C, 0x1E


def tlv(tag, content):
    n = len(content)
    if n < 0x80:
        length = bytes([n])
    else:
        octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + length + content


def seq(*items):
    return tlv(0x30, b"".join(items))


def integer(value):
    return tlv(0x02, value.to_bytes(value.bit_length() // 8 + 1, "big"))


def oid(text):
    parts = [int(p) for p in text.split(".")]
    out = bytes([parts[0] * 40 + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.insert(0, 0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(chunk)
    return tlv(0x06, out)


def read_tlv(data, at):
    """(tag, start of content, end of content) of the element at `at`."""
    tag, n = data[at], data[at + 1]
    at += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, at, at + n


def ca_subject():
    der = subprocess.run(["openssl", "x509", "-in", "ca.pem", "-outform", "DER"],
                         check=True, capture_output=True).stdout
    _, cert, _ = read_tlv(der, 0)
    _, at, _ = read_tlv(der, cert)  # tbsCertificate
    if der[at] == 0xA0:  # version, absent in a version 1 certificate
        _, _, at = read_tlv(der, at)
    for _ in range(4):  # serial, signature algorithm, issuer, validity
        _, _, at = read_tlv(der, at)
    _, _, end = read_tlv(der, at)
    return der[at:end]


def common_names(names):
    """A subject of one RDN per (string tag, text) common name."""
    rdns = []
    for tag, text in names:
        value = text.encode("utf-16-be") if tag == BMP else text.encode("utf-8")
        rdns.append(tlv(0x31, seq(oid(OID_CN), tlv(tag, value))))
    return seq(*rdns)


def alt_names(dns=(), addresses=()):
    """A subjectAltName extension: dNSName [2] and iPAddress [7] entries."""
    entries = [tlv(0x82, d) for d in dns] + [tlv(0x87, a) for a in addresses]
    return seq(oid(OID_SAN), tlv(0x04, seq(*entries)))


def make(name, serial, subject, extensions=()):
    algorithm = seq(oid(OID_SHA256_RSA), tlv(0x05, b""))
    spki = subprocess.run(["openssl", "pkey", "-in", "server.key", "-pubout", "-outform", "DER"],
                          check=True, capture_output=True).stdout
    parts = [tlv(0xA0, integer(2)), integer(serial), algorithm, ca_subject(),
             seq(tlv(0x17, b"250101000000Z"), tlv(0x17, b"491231235959Z")), subject, spki]
    if extensions:
        parts.append(tlv(0xA3, seq(*extensions)))
    tbs = seq(*parts)
    signature = subprocess.run(["openssl", "dgst", "-sha256", "-sign", "ca.key"], input=tbs,
                               check=True, capture_output=True).stdout
    der = seq(tbs, algorithm, tlv(0x03, b"\x00" + signature))
    subprocess.run(["openssl", "x509", "-inform", "DER", "-out", name + ".pem"], input=der,
                   check=True)


IPV6_DOC = bytes.fromhex("20010db8000000000000000000000005")
IPV6_LOOPBACK = bytes(15) + b"\x01"

make("nul-dns", 0x5A3E01, common_names([(UTF8, "evil.example")]),
     [alt_names(dns=[b"www.bank.example\x00.evil.example", b"nul.example"])])
make("crlf-dns", 0x5A3E02, common_names([(UTF8, "mine.example")]),
     [alt_names(dns=[b"mine.example\r\nDNS=victim.example",
                     b"mine.example\r\nIP Address=10.9.9.9", b"crlf.example"])])
make("nul-cn", 0x5A3E03, common_names([(UTF8, "www.bank.example\0.evil.example")]))
make("crlf-cn", 0x5A3E04, common_names([(UTF8, "mine.example\r\nvictim.example")]))
# Fullwidth letters, which a best-fit code-page conversion folds to ASCII.
make("utf8-cn", 0x5A3E05,
     common_names([(UTF8, "\uff57\uff57\uff57.bank.example"), (UTF8, "www.utf8.example")]))
# A Cyrillic a, which a conversion to a Latin code page turns into "?".
make("bmp-cn", 0x5A3E06,
     common_names([(BMP, "www.b\u0430nk.example"), (BMP, "www.bmp.example")]))
make("ip6", 0x5A3E07, common_names([(UTF8, "ip6.example")]),
     [alt_names(addresses=[IPV6_DOC, IPV6_LOOPBACK])])
