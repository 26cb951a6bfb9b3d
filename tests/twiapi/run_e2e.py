"""run_e2e.py QXLUA TESTFILE: runs the test file against a fresh loopback service, hosts pointed at it.

Names resolve through a stub DNS server (tests/net/dns_stub.py), never the machine's resolver. A
test file may point a host elsewhere with lines "-- e2e-env NAME=VALUE", where {port} in VALUE
becomes that port of the service (plain, tls, untrusted, othername, reset, refused)."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "..", "net", "loop_service.py")
DNS_STUB = os.path.join(HERE, "..", "net", "dns_stub.py")


def wait_for(path, process):
    deadline = time.monotonic() + 30
    while not os.path.exists(path):
        if process.poll() is not None or time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def file_env(test, ports):
    """The "-- e2e-env NAME=VALUE" lines of the test file."""
    env = {}
    with open(test, encoding="utf-8") as f:
        for line in f:
            if line.startswith("-- e2e-env "):
                name, _, value = line[len("-- e2e-env "):].strip().partition("=")
                env[name] = value.format(**ports)
    return env


def main():
    qxlua, test = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="qx_e2e_")
    ready = os.path.join(work, "ready.json")
    dns_ready = os.path.join(work, "dns.port")
    service = subprocess.Popen([sys.executable, SERVICE, "--dir", work, "--ready", ready,
                                "--lifetime", "120"])
    dns = subprocess.Popen([sys.executable, DNS_STUB, "--ready", dns_ready, "--lifetime", "120"])
    try:
        if not wait_for(ready, service) or not wait_for(dns_ready, dns):
            print("the loopback service or the stub DNS server did not start")
            return 1
        with open(ready) as f:
            ports = json.load(f)
        with open(dns_ready) as f:
            dns_port = f.read().strip()
        env = dict(os.environ)
        env.update({
            "SSL_CERT_FILE": ports["ca"],
            "QX_HOST_REST": "localhost:%d" % ports["tls"],
            "QX_HOST_SEARCH": "localhost:%d" % ports["plain"],
            "QX_HOST_STREAM": "localhost:%d" % ports["tls"],
            "QX_HOST_USTREAM": "localhost:%d" % ports["tls"],
            "QX_TLS_PORT": str(ports["tls"]),
            "QX_PLAIN_PORT": str(ports["plain"]),
            "QX_SERVICE_DIR": work,
            "QX_PIN_OPENER": os.path.join(HERE, "open_pin_page.py"),
            "QX_DNS_SERVER": "127.0.0.1:" + dns_port,
        })
        env.update({"QX_PORT_" + k.upper(): str(v) for k, v in ports.items() if k != "ca"})
        env.update(file_env(test, ports))
        return subprocess.run([qxlua, test], env=env, timeout=100).returncode
    finally:
        for p in (service, dns):
            p.kill()
            p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
