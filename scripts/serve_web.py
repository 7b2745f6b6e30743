#!/usr/bin/env python3
"""Serves build-web/ on 127.0.0.1 as a static folder, sending the gzip copy
(NAME.gz, which the build writes beside each large file) to a browser that
accepts gzip, so the wire carries the compressed sizes.

    serve_web.py FOLDER PORT
"""
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".webmanifest": "application/manifest+json",
    }

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        accepts_gzip = "gzip" in self.headers.get("Accept-Encoding", "")
        if not accepts_gzip or not os.path.isfile(path + ".gz"):
            return super().send_head()
        try:
            compressed = open(path + ".gz", "rb")
        except OSError:
            return super().send_head()
        self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Vary", "Accept-Encoding")
        self.send_header("Content-Length", str(os.fstat(compressed.fileno()).st_size))
        self.end_headers()
        return compressed


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    handler = lambda *args: Handler(*args, directory=folder)
    http.server.ThreadingHTTPServer(("127.0.0.1", port), handler).serve_forever()


if __name__ == "__main__":
    main()
