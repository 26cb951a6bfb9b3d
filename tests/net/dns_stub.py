"""A stub DNS server on 127.0.0.1 (UDP) for the tests, so that no test asks the machine's resolver.

dns_stub.py --ready FILE [--delay S] [--lifetime S] writes its port to FILE once listening.
Names, case-insensitive:
  ok.qx.test        A 127.0.0.1 at once
  late.qx.test      A 127.0.0.1 after the delay
  latemiss.qx.test  NXDOMAIN after the delay
  anything else     NXDOMAIN at once
Other record types of the known names are answered with no records (NODATA).
"""
import argparse
import os
import socket
import struct
import threading
import time

ADDRESS = {"ok.qx.test": False, "late.qx.test": True}
LATE_MISS = "latemiss.qx.test"


def question(packet):
    """(name, qtype, end of the question) of a query; None when it cannot be read."""
    pos, labels = 12, []
    while True:
        if pos >= len(packet):
            return None
        n = packet[pos]
        pos += 1
        if n == 0:
            break
        if n & 0xC0 or pos + n > len(packet):
            return None
        labels.append(packet[pos:pos + n].decode("ascii", "replace"))
        pos += n
    if pos + 4 > len(packet):
        return None
    qtype = struct.unpack("!H", packet[pos:pos + 2])[0]
    return ".".join(labels).lower(), qtype, pos + 4


def answer(packet, rcode, address):
    qid, flags = struct.unpack("!HH", packet[:4])
    _name, _qtype, end = question(packet)
    flags = 0x8000 | (flags & 0x7900) | 0x0400 | 0x0080 | rcode  # QR, opcode and RD kept, AA, RA
    head = struct.pack("!HHHHHH", qid, flags, 1, 1 if address else 0, 0, 0)
    body = packet[12:end]
    if address:
        body += struct.pack("!HHHIH", 0xC00C, 1, 1, 60, 4) + socket.inet_aton(address)
    return head + body


def reply_for(packet):
    q = question(packet)
    if q is None or len(packet) < 12:
        return None, 0.0
    name, qtype, _end = q
    if name in ADDRESS:
        late = ADDRESS[name]
        return answer(packet, 0, "127.0.0.1" if qtype == 1 else None), late
    return answer(packet, 3, None), name == LATE_MISS


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ready", required=True)
    ap.add_argument("--delay", type=float, default=3.0)
    ap.add_argument("--lifetime", type=float, default=600.0)
    args = ap.parse_args()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    with open(args.ready + ".tmp", "w") as f:
        f.write(str(sock.getsockname()[1]))
    os.replace(args.ready + ".tmp", args.ready)
    deadline = time.monotonic() + args.lifetime
    sock.settimeout(0.5)
    while time.monotonic() < deadline:
        try:
            packet, peer = sock.recvfrom(4096)
        except socket.timeout:
            continue
        reply, late = reply_for(packet)
        if reply is None:
            continue
        if late:
            threading.Timer(args.delay, sock.sendto, (reply, peer)).start()
        else:
            sock.sendto(reply, peer)


if __name__ == "__main__":
    main()
