#!/usr/bin/python3
"""Serves a directory over HTTPS on loopback for the helper's end-to-end test.

  https_server.py ROOT PORT CERT KEY LOG

Each request's method and path go to LOG, one line each, so the test can tell a
download from a cache hit.
"""
import functools
import http.server
import ssl
import sys

root, port, cert, key, log_path = sys.argv[1:6]


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, fmt, *args):
        pass

    def send_head(self):
        with open(log_path, "a") as log:
            log.write("%s %s\n" % (self.command, self.path))
        return super().send_head()


server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", int(port)), functools.partial(Handler, directory=root))
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print("listening", flush=True)
server.serve_forever()
