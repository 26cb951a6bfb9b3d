"""A loopback stand-in for the microblogging service (plain HTTP and TLS) for the client's end-to-end
tests; signed requests are verified with oauthlib (401 when they do not), routes below.

Besides the service ("plain", "tls") it keeps ports that fail, named in the ready file: "plain6" (the
plain service on ::1, where IPv6 is there), "untrusted" (TLS, a self-signed certificate), "othername" (TLS, a certificate for another name), "reset" (plain:
half a reply, then a reset) and "refused" (nothing listens). A stream asked with tail=close stops
in the middle of a message instead of ending with its last chunk; with bad=1 it sends a message
that is no JSON before its second; with whole=1 it is one complete (not chunked) reply."""
import argparse
import json
import os
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
from urllib.parse import parse_qsl, urlsplit

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import oauth_check  # noqa: E402

CONSUMERS = {"": "", "qxconsumer": "qxcsecret"}
TOKENS = {"": "", "reqtok": "reqsecret", "acctok": "accsecret"}
PIN = "4711"


def read_request(conn):
    f = conn.makefile("rb")
    head = b""
    while not head.endswith(b"\r\n\r\n"):
        line = f.readline()
        if not line:
            return None
        head += line
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    return head + f.read(length)


def verdict_of(raw, scheme):
    _method, _target, headers, _body = oauth_check.parse_raw(raw)
    if "Authorization" not in headers:
        return "none"
    try:
        params = oauth_params(headers)
        consumer = CONSUMERS.get(params.get("oauth_consumer_key", ""))
        token = TOKENS.get(params.get("oauth_token", ""))
        if consumer is None or token is None:
            return "bad: unknown consumer or token"
        ok, _oauth, reason = oauth_check.verify(raw, scheme, consumer, token)
        return "ok" if ok else "bad: " + reason
    except Exception as e:  # a malformed header is a refusal, not a crash
        return "bad: " + repr(e)


def http_reply(status, reason, ctype, body):
    text = "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % (
        status, reason, ctype, len(body))
    return text.encode("ascii") + body


# The downloaded "picture": every byte value, CR LF and NUL among them.
PICTURE = b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 40


def oauth_params(headers):
    if "Authorization" not in headers:
        return {}
    return dict(oauth_check.signature.collect_parameters(headers={"Authorization": headers["Authorization"]},
                                                         exclude_oauth_signature=False))


def serve_signin_and_files(conn, path, params, headers):
    """The routes of sign-in by PIN and of downloads; False when path is none of them."""
    if path == "/oauth/authorize/":
        if params.get("oauth_token") != "reqtok":
            conn.sendall(http_reply(400, "Bad Request", "text/html", b"<p>unknown request token</p>"))
        else:
            page = '<html><body><p>PIN:</p><code id="oauth_pin">%s</code></body></html>' % PIN
            conn.sendall(http_reply(200, "OK", "text/html", page.encode("ascii")))
        return True
    if path == "/files/pic.png":
        conn.sendall(http_reply(200, "OK", "image/png", PICTURE))
        return True
    if path == "/files/missing":
        conn.sendall(http_reply(404, "Not Found", "text/html", b"<p>no such file</p>"))
        return True
    if path == "/files/host":  # the Host header the download sent, as a file
        conn.sendall(http_reply(200, "OK", "application/octet-stream", headers.get("Host", "").encode("ascii")))
        return True
    if path == "/oauth/access_token" and oauth_params(headers).get("oauth_verifier", PIN) != PIN:
        body = json.dumps({"error": "Invalid oauth_verifier"}).encode("utf-8")
        conn.sendall(http_reply(401, "Unauthorized", "application/json", body))
        return True
    return False


def serve_stream(conn, route, params, raw, verdict):
    if params.get("whole"):  # one complete reply instead of a stream
        conn.sendall(http_reply(200, "OK", "application/json", json.dumps({"id": 1, "whole": True}).encode("ascii")))
        return
    head = (b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n"
            b"Connection: keep-alive\r\n\r\n")
    conn.sendall(head)
    conn.sendall(b"2\r\n\r\n\r\n")  # a keep-alive chunk
    if params.get("endless"):
        while True:  # until the client hangs up (OSError) or the service stops
            conn.sendall(b"2\r\n\r\n\r\n")
            time.sleep(0.05)
        return
    for n in range(1, 4):
        message = {"id": n, "text": "status %d" % n, "stream": route}
        if n == 1:
            message.update({"request": raw.decode("utf-8", "replace"), "oauth": verdict})
        line = (json.dumps(message) + "\r\n").encode("utf-8")
        if n == 2 and params.get("bad"):  # a message that is no JSON before the second one
            line = b'{"id": 1.5, broken\r\n' + line
        conn.sendall(b"%x\r\n" % len(line) + line + b"\r\n")
    if params.get("tail") == "close":
        conn.sendall(b"20\r\n{\"id\": 4, \"te")  # the connection closes inside this message
        time.sleep(0.1)
        return
    conn.sendall(b"0\r\n\r\n")


ROUTES = {
    "/oauth/request_token": "form:oauth_token=reqtok&oauth_token_secret=reqsecret&oauth_callback_confirmed=true",
    "/oauth/access_token": "form:oauth_token=acctok&oauth_token_secret=accsecret&user_id=7&screen_name=qx",
}
ROUTES.update(dict.fromkeys(["/1/statuses/home_timeline.json", "/1/statuses/mentions.json", "/search.json",
                             "/1/statuses/public_timeline.json", "/1/statuses/update.json", "/1/users/lookup.json"],
                            "rest"))
ROUTES.update(dict.fromkeys(["/1/statuses/filter.json", "/1/statuses/sample.json", "/2/user.json"], "stream"))


def handle(conn, listener):
    raw = read_request(conn)
    if raw is None:
        return
    if listener == "reset":
        conn.sendall(http_reply(200, "OK", "application/json", b"[" + b"1," * 500 + b"1]")[:200])
        time.sleep(0.1)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        return
    scheme = "https" if listener == "tls" else "http"
    verdict = verdict_of(raw, scheme)
    method, target, headers, body = oauth_check.parse_raw(raw)
    path = urlsplit(target).path
    params = dict(parse_qsl(urlsplit(target).query, keep_blank_values=True))
    if headers.get("Content-Type", "").startswith("application/x-www-form-urlencoded"):
        params.update(dict(parse_qsl(body.decode("utf-8", "replace"), keep_blank_values=True)))
    kind = ROUTES.get(path)
    if not verdict.startswith("bad") and serve_signin_and_files(conn, path, params, headers):
        return
    if verdict.startswith("bad"):
        body = json.dumps({"error": "Could not authenticate you", "oauth": verdict}).encode("utf-8")
        conn.sendall(http_reply(401, "Unauthorized", "application/json", body))
        return
    if kind is None or (path.endswith("update.json") and method != "POST"):
        body = json.dumps({"error": "Bad request", "path": path}).encode("utf-8")
        conn.sendall(http_reply(400, "Bad Request", "application/json", body))
        return
    if kind == "stream":
        serve_stream(conn, path.rsplit("/", 1)[-1].split(".")[0], params, raw, verdict)
        return
    if kind.startswith("form:"):
        conn.sendall(http_reply(200, "OK", "text/html", kind[5:].encode("ascii")))
        return
    reply = {"route": path, "method": method, "oauth": verdict, "request": raw.decode("utf-8", "replace"),
             "params": params}
    conn.sendall(http_reply(200, "OK", "application/json", json.dumps(reply).encode("utf-8")))


def listen(port_holder, name, context, address="127.0.0.1"):
    family = socket.AF_INET6 if ":" in address else socket.AF_INET
    srv = socket.create_server((address, 0), family=family, backlog=64)
    port_holder[name] = srv.getsockname()[1]

    def run():
        while True:
            conn, _ = srv.accept()
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=serve, args=(conn,), daemon=True).start()

    def serve(conn):
        try:
            conn.settimeout(30)
            if context is not None:
                conn = context.wrap_socket(conn, server_side=True)
            handle(conn, name)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            conn.close()

    threading.Thread(target=run, daemon=True).start()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)  # for the CA, certificates and files
    ap.add_argument("--ready", required=True)  # written with the ports once listening
    ap.add_argument("--lifetime", type=float, default=60.0)
    args = ap.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    subprocess.run(["sh", os.path.join(here, "make_test_ca.sh"), args.dir], check=True)
    with open(os.path.join(args.dir, "consumer.dat"), "wb") as f:
        f.write(bytes(b ^ 0x2E for b in b"qxconsumer\r\nqxcsecret"))
    with open(os.path.join(args.dir, "pic.png"), "wb") as f:
        f.write(PICTURE)
    def tls_context(name):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(args.dir, name + ".pem"), os.path.join(args.dir, name + ".key"))
        return context

    ports = {}
    listen(ports, "plain", None)
    listen(ports, "tls", tls_context("server"))
    listen(ports, "untrusted", tls_context("self"))
    listen(ports, "othername", tls_context("other"))
    listen(ports, "reset", None)
    try:
        listen(ports, "plain6", None, "::1")  # the plain service on IPv6 loopback, where there is one
    except OSError:
        pass
    gone = socket.create_server(("127.0.0.1", 0))
    ports["refused"] = gone.getsockname()[1]
    gone.close()
    ready = dict(ports, ca=os.path.join(args.dir, "ca.pem"))
    with open(args.ready + ".tmp", "w") as f:
        json.dump(ready, f)
    os.replace(args.ready + ".tmp", args.ready)
    time.sleep(args.lifetime)  # the daemon threads end with it


if __name__ == "__main__":
    main()
