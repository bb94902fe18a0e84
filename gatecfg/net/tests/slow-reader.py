#!/usr/bin/env python3
"""A TLS peer that reads late and slowly: it connects or accepts one
connection, finishes the TLS handshake at once, waits, then reads in small
pieces with pauses until the stream ends.
Started by the socket tests through ssl-peer.py.

Usage: slow-reader.py listen PORT|connect PORT  DELAY  tls|tls-default
                      CERT KEY CAFILE

"listen" accepts on 127.0.0.1:PORT (as TLS server with CERT and KEY),
"connect" connects to 127.0.0.1:PORT (as TLS client: "tls" checks nothing
and offers OpenSSL's default ciphers, "tls-default" is Python's default
client context trusting CAFILE). What it
reads goes to standard output as it came; standard error gets the cipher
("cipher: NAME") after the handshake and how the stream ended ("end: clean"
for a TLS close notify; otherwise "end: " and the error).
"""
import socket
import ssl
import sys
import time


def tls_context(mode, role, cert, key, cafile):
    if role == "listen":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        return context
    if mode == "tls-default":
        return ssl.create_default_context(cafile=cafile)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    context.set_ciphers("DEFAULT")  # Python's own list takes forward secrecy only
    return context


def open_connection(role, port):
    if role == "connect":
        return socket.create_connection(("127.0.0.1", port))
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", port))
        listener.listen(1)
        connection, _ = listener.accept()
        return connection


def main():
    role, port, delay, mode, cert, key, cafile = sys.argv[1:8]
    connection = open_connection(role, int(port))
    context = tls_context(mode, role, cert, key, cafile)
    # A missing close notify is reported, not taken for the end.
    connection = context.wrap_socket(connection, server_side=role == "listen",
                                     server_hostname="localhost" if role == "connect" else None,
                                     suppress_ragged_eofs=False)
    sys.stderr.write("cipher: %s\n" % connection.cipher()[0])
    sys.stderr.flush()
    time.sleep(float(delay))
    end = "clean"
    try:
        while True:
            data = connection.recv(16384)
            if not data:
                break
            sys.stdout.buffer.write(data)
            time.sleep(0.01)  # slow to the end: the sender's system holds what is not read yet
    except (OSError, ssl.SSLError) as error:
        end = repr(error)
    sys.stdout.buffer.flush()
    sys.stderr.write("end: %s\n" % end)
    connection.close()


if __name__ == "__main__":
    main()
