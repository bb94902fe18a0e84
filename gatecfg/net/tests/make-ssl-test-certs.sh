#!/usr/bin/env bash
# Makes the SSL tests' keys, certificates and revocation list with Debian's
# openssl, and beside each certificate what `openssl x509` prints for it, in
# the form the socket library writes it. Usage: make-ssl-test-certs.sh OUTDIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$1"
work="$out.tmp"
rm -rf "$work"
mkdir -p "$work/newcerts" "$work/crls"
cd "$work"

printf '[req]\ndistinguished_name = dn\n[dn]\n' > req.cnf
cat > ca.cnf <<'CNF'
[ca]
default_ca = test_ca
[test_ca]
database = index.txt
new_certs_dir = newcerts
certificate = ca.pem
private_key = ca.key
serial = serial
default_md = sha256
default_crl_days = 3650
policy = any
unique_subject = no
[any]
commonName = supplied
[leaf]
basicConstraints = CA:FALSE
CNF
cat > ext.cnf <<'CNF'
[server]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
subjectAltName = DNS:localhost, DNS:*.example.org, DNS:*.com, DNS:a*b.example.net, IP:127.0.0.1
certificatePolicies = 1.2.3.4.5, 1.3.6.1.4.1.99999.1
1.2.3.4 = ASN1:UTF8String:hello
[client]
basicConstraints = CA:FALSE
extendedKeyUsage = clientAuth
[plain]
basicConstraints = CA:FALSE
[names]
basicConstraints = CA:FALSE
subjectAltName = DNS:www.example.com, DNS:*.wild.example.com, DNS:*.*.example.net, DNS:xn--bcher-kva.example, DNS:10.9.9.9, IP:10.0.0.1
[ip-only]
basicConstraints = CA:FALSE
subjectAltName = IP:10.1.2.3
CNF
: > index.txt
echo 1000 > serial

key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }
# sign NAME SUBJECT SECTION SERIAL [KEY]: a certificate of the CA for the key.
sign() {
  local k="${5:-server.key}"
  openssl req -new -config req.cnf -key "$k" -subj "$2" -out "$1.csr"
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "$4" -days 3650 \
    -sha256 -extfile ext.cnf -extensions "$3" -out "$1.pem" 2>/dev/null
}
# expect NAME: subject one-line, serial and SHA-1 fingerprint as printed.
expect() {
  {
    openssl x509 -in "$1.pem" -noout -subject -nameopt compat | sed 's/^subject=//'
    openssl x509 -in "$1.pem" -noout -serial | sed 's/^serial=//'
    openssl x509 -in "$1.pem" -noout -fingerprint -sha1 | sed 's/^.*Fingerprint=//'
  } > "$1.expect"
}
# extension NAME EXT list|text: the extension's value; a list is written one
# name=value pair per line.
extension() {
  local value
  value="$(openssl x509 -in "$1.pem" -noout -ext "$2" | tail -n +2 | sed 's/^ *//')"
  if [ "$3" = list ]; then
    printf '%s\n' "$value" | sed 's/, /\n/g' | sed 's/:/=/' > "$1.ext.$2"
  else
    printf '%s\n' "$value" > "$1.ext.$2"
  fi
}

key ca.key
key server.key
key client.key
openssl req -x509 -new -config req.cnf -key ca.key -subj "/C=RU/O=Calyx Test/CN=Calyx Test CA" \
  -set_serial 0x5A3C00 -days 3650 -sha256 -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" -addext "subjectKeyIdentifier=hash" -out ca.pem
# About one encryption in 256 decrypts with a wrong pass phrase to valid
# padding, and OpenSSL then reports an ASN.1 error instead of "bad decrypt":
# encrypt anew until the wrong pass phrase "wrong" fails the padding check, so
# that the tests of a refused key see the same error on every build.
while :; do
  openssl rsa -in server.key -traditional -aes128 -passout pass:gatepass -out server-enc.key 2>/dev/null
  refusal="$(openssl rsa -in server-enc.key -passin pass:wrong -noout 2>&1 || true)"
  case "$refusal" in *"bad decrypt"*) break ;; esac
done
# A CA that signed none of the certificates here.
key other-ca.key
openssl req -x509 -new -config req.cnf -key other-ca.key -subj "/C=RU/O=Other Test/CN=Other Test CA" \
  -set_serial 0x6B0000 -days 3650 -sha256 -addext "basicConstraints=critical,CA:TRUE" -out other-ca.pem
rm -f other-ca.key

sign server "/C=RU/O=Calyx Test/OU=Gate/CN=gate.example.com" server 0x5A3C01
sign client "/C=RU/O=Calyx Test/CN=Gate Client" client 0x5A3C02 client.key
sign cn-wild "/CN=*.example.com" plain 0x5A3C03
sign cn-star "/CN=*" plain 0x5A3C04
sign cn-two "/CN=first.example.com/CN=second.example.com" plain 0x5A3C05
sign names "/CN=cn.example.com" names 0x5A3C06
sign ip-only "/CN=host.example.com" ip-only 0x5A3C07
sign cn-ip "/CN=192.168.7.7" plain 0x5A3C08
# Names that openssl req cannot write.
python3 "$here/make-name-test-certs.py"
# A certificate whose SHA-1 fingerprint holds a zero byte before its last.
serial=0x5A3D00
while :; do
  sign zerohash "/CN=zero.example.com" plain "$serial"
  openssl x509 -in zerohash.pem -noout -fingerprint -sha1 | grep -Eq '[=:]00:' && break
  serial=$((serial + 1))
done
openssl ca -batch -config ca.cnf -extensions leaf -in server.csr -subj "/CN=expired.example.com" \
  -startdate 20000101000000Z -enddate 20010101000000Z -out expired.pem 2>/dev/null
openssl ca -batch -config ca.cnf -gencrl -out ca.crl 2>/dev/null
cp ca.crl crls/ca.crl
cat ca.crl ca.crl > crl-twice.pem
echo "no PEM items here" > no-items.pem
cat server.pem ca.pem > server-chain.pem

for c in server client cn-wild cn-star cn-two zerohash expired ca; do expect "$c"; done
extension server subjectAltName list
extension server basicConstraints list
extension server keyUsage list
extension server extendedKeyUsage list
extension server subjectKeyIdentifier text
extension server certificatePolicies text

rm -f ./*.csr req.cnf ca.cnf ext.cnf index.txt* serial* newcerts/*
rmdir newcerts
rm -rf "$out"
mv "$work" "$out"
