#!/usr/bin/python3
"""Browser stand-in: writes the PIN of the authorize page argv[1] to pin.txt, and the URL to url.txt."""
import os
import re
import ssl
import sys
import urllib.request


def main():
    url = sys.argv[1]
    folder = os.environ["QX_SERVICE_DIR"]
    with open(os.path.join(folder, "url.txt"), "w", encoding="utf-8") as f:
        f.write(url)
    context = ssl.create_default_context(cafile=os.environ.get("SSL_CERT_FILE"))
    with urllib.request.urlopen(url, context=context, timeout=10) as reply:
        page = reply.read().decode("utf-8")
    pin = re.search(r'<code id="oauth_pin">([^<]*)</code>', page).group(1)
    with open(os.path.join(folder, "pin.tmp"), "w", encoding="ascii") as f:
        f.write(" %s\n" % pin)  # with the whitespace a person's paste may bring
    os.replace(os.path.join(folder, "pin.tmp"), os.path.join(folder, "pin.txt"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
