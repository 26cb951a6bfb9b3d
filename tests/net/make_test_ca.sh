#!/bin/sh
# Makes a throw-away certificate authority and certificates for loopback TLS tests in
# folder $1: ca.pem (trust this one), server.pem/server.key (signed by it, for
# "localhost"), self.pem/self.key (self-signed, for "localhost"), other.pem/other.key
# (signed by it, for "other.example").
set -e
d="$1"
mkdir -p "$d"
cd "$d"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=qx loopback test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req $key -keyout server.key -out server.csr -subj "/CN=localhost" 2>/dev/null
printf 'subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n' > ext.cnf
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 \
  -extfile ext.cnf 2>/dev/null
openssl req -x509 $key -keyout self.key -out self.pem -days 2 -subj "/CN=localhost" \
  -addext "subjectAltName=DNS:localhost" 2>/dev/null
# other.pem/other.key: signed by the CA, but for "other.example" (a name mismatch).
openssl req $key -keyout other.key -out other.csr -subj "/CN=other.example" 2>/dev/null
printf 'subjectAltName=DNS:other.example\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n' > other.cnf
openssl x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out other.pem -days 2 \
  -extfile other.cnf 2>/dev/null
