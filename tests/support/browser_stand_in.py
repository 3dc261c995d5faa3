#!/usr/bin/env python3
"""browser_stand_in.py CA_PEM [deny] URL: the browser Wine starts for a sign-in. It opens the
consent page (trusting the tests' CA), answers its form with yes, or no after "deny", and takes
the provider's redirect to the program's loopback listener, as a browser would."""
import ssl
import sys
import urllib.error
import urllib.parse
import urllib.request


class KeepRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args):
        return None  # the redirect is taken below, to a plain http address


def main():
    ca, choice, url = sys.argv[1], sys.argv[2:-1], sys.argv[-1]
    opener = urllib.request.build_opener(KeepRedirect, urllib.request.HTTPSHandler(
        context=ssl.create_default_context(cafile=ca)))
    opener.open(url, timeout=30).read()
    consent = urllib.parse.urlencode({"consent": "no" if choice == ["deny"] else "yes"}).encode()
    try:
        opener.open(url, data=consent, timeout=30)
        return 1  # no redirect
    except urllib.error.HTTPError as answer:
        location = answer.headers["Location"]
    urllib.request.urlopen(location, timeout=30).read()
    return 0


if __name__ == "__main__":
    sys.exit(main())
