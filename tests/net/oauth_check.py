"""Verifies HMAC-SHA1 signatures of raw requests with oauthlib; as a program, one "ok <params>" or
"bad <reason>" line per case of the JSON file argv[1]."""
import json
import sys
from urllib.parse import urlsplit

from oauthlib.common import Request
from oauthlib.oauth1.rfc5849 import signature


def parse_raw(raw):
    """(method, target, headers dict, body bytes) of one raw request."""
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    method, target, _version = lines[0].split(" ")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip()] = value.strip()
    return method, target, headers, body


def verify(raw, scheme, consumer_secret, token_secret):
    method, target, headers, body = parse_raw(raw)
    auth = headers.get("Authorization")
    if auth is None:
        return False, {}, "no Authorization header"
    uri = scheme + "://" + headers["Host"] + target
    form = body.decode("utf-8") if headers.get("Content-Type", "").startswith(
        "application/x-www-form-urlencoded") else None
    params = signature.collect_parameters(
        uri_query=urlsplit(uri).query, body=form, headers={"Authorization": auth},
        exclude_oauth_signature=False)
    oauth = {k: v for k, v in params if k.startswith("oauth_")}
    if "oauth_signature" not in oauth:
        return False, oauth, "no oauth_signature"
    request = Request(uri, http_method=method, body=form, headers=headers)
    request.params = [(k, v) for k, v in params if k != "oauth_signature"]
    request.signature = oauth["oauth_signature"]
    if not signature.verify_hmac_sha1(request, consumer_secret, token_secret):
        return False, oauth, "signature does not verify"
    return True, oauth, ""


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        cases = json.load(f)
    for case in cases:
        ok, oauth, reason = verify(case["raw"].encode("latin-1"), case["scheme"],
                                   case["consumer_secret"], case["token_secret"])
        print(("ok " + json.dumps(oauth, sort_keys=True)) if ok else ("bad " + reason))


if __name__ == "__main__":
    main()
