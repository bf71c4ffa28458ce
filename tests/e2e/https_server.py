#!/usr/bin/python3
"""Serves a directory over HTTPS on loopback for the helper's end-to-end test.

  https_server.py ROOT PORT CERT KEY LOG

Each request's method and path go to LOG, one line each, so the test can tell a
download from a cache hit. A path under /stall/ answers with the headers of the
file at the rest of the path and its first bytes, then sends nothing more, as a
stalled server does.
"""
import functools
import http.server
import os
import ssl
import sys
import time

root, port, cert, key, log_path = sys.argv[1:6]


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, fmt, *args):
        pass

    def send_head(self):
        with open(log_path, "a") as log:
            log.write("%s %s\n" % (self.command, self.path))
        if self.path.startswith("/stall/"):
            return self.stall(self.path[len("/stall"):])
        return super().send_head()

    def stall(self, path):
        with open(self.translate_path(path), "rb") as video:
            data = video.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[: len(data) // 2])
        self.wfile.flush()
        time.sleep(600)  # until the client gives up or the server is stopped
        return None


server = http.server.ThreadingHTTPServer(
    ("127.0.0.1", int(port)), functools.partial(Handler, directory=root))
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print("listening", flush=True)
server.serve_forever()
