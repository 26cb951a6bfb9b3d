"""run_e2e.py QXLUA TESTFILE: runs the test file against a fresh loopback service, hosts pointed at it."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "..", "net", "loop_service.py")


def main():
    qxlua, test = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="qx_e2e_")
    ready = os.path.join(work, "ready.json")
    service = subprocess.Popen([sys.executable, SERVICE, "--dir", work, "--ready", ready,
                                "--lifetime", "120"])
    try:
        deadline = time.monotonic() + 30
        while not os.path.exists(ready):
            if service.poll() is not None or time.monotonic() > deadline:
                print("the loopback service did not start")
                return 1
            time.sleep(0.05)
        with open(ready) as f:
            ports = json.load(f)
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
        })
        return subprocess.run([qxlua, test], env=env, timeout=100).returncode
    finally:
        service.kill()
        service.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
