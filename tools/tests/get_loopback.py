#!/usr/bin/env python3
"""cwtool get against a loopback server: this script serves fixed answers on
127.0.0.1 (an ephemeral port, from a thread that stops with the script), runs
`cwtool get` once per case and compares standard output, standard error and
the exit code with golden/get-NAME.out and .err (the port written as PORT).

  get_loopback.py --tool CWTOOL --golden DIR

With CWTOOL_GOLDEN_UPDATE=1 the golden files are written instead."""
import argparse
import http.server
import os
import socket
import subprocess
import sys
import threading

ANSWERS = {
    "/hello": b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 6\r\n\r\nhello\n",
    "/chunked": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nX-Folded: one\r\n two\r\n\r\n"
                b"6;x=y\r\nchunks\r\n7\r\n joined\r\n1\r\n\n\r\n0\r\nX-Trailer: t\r\n\r\n",
    "/continue": b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nLocation: /x\r\n"
                 b"Content-Length: 0\r\n\r\n",
    "/close": b"HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\n\r\nno such page\n",
    "/smuggled": b"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
    "/cut": b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this",
}

CASES = [  # name, URL (PORT replaced), exit code
    ("hello", "http://127.0.0.1:PORT/hello", 0),
    ("chunked", "http://127.0.0.1:PORT/chunked", 0),
    ("continue", "http://127.0.0.1:PORT/continue", 0),
    ("close", "http://localhost:PORT/close", 0),
    ("smuggled", "http://127.0.0.1:PORT/smuggled", 1),
    ("cut", "http://127.0.0.1:PORT/cut", 1),
    ("refused", "http://127.0.0.1:CLOSED/", 1),
    ("https", "https://127.0.0.1:PORT/", 2),
    ("bad-port", "http://127.0.0.1:99999/", 2),
    ("no-host", "http:///path", 2),
]


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.wfile.write(ANSWERS.get(self.path, b"HTTP/1.1 500 Unknown\r\nContent-Length: 0\r\n\r\n"))
        self.close_connection = True


def compare(path, actual, update):
    if update:
        if actual:
            with open(path, "wb") as f:
                f.write(actual)
        elif os.path.exists(path):
            os.remove(path)
        return True
    expected = open(path, "rb").read() if os.path.exists(path) else b""
    if expected != actual:
        print("%s differs:\n--- expected\n%r\n--- actual\n%r" % (path, expected, actual))
    return expected == actual


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--golden", required=True)
    args = parser.parse_args()
    update = os.environ.get("CWTOOL_GOLDEN_UPDATE") == "1"

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.timeout = 10
    port = server.server_address[1]
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    closed_port = closed.getsockname()[1]
    closed.close()

    ok = True
    env = dict(os.environ, LC_ALL="C.UTF-8")
    try:
        for name, url, code in CASES:
            url = url.replace("CLOSED", str(closed_port)).replace("PORT", str(port))
            run = subprocess.run([args.tool, "get", url], capture_output=True, env=env, timeout=60)
            out = run.stdout.replace(str(port).encode(), b"PORT")
            err = run.stderr.replace(str(port).encode(), b"PORT")
            err = err.replace(str(closed_port).encode(), b"CLOSED")
            base = os.path.join(args.golden, "get-" + name)
            ok &= compare(base + ".out", out, update)
            ok &= compare(base + ".err", err, update)
            if run.returncode != code:
                print("get-%s: exit %d, expected %d" % (name, run.returncode, code))
                ok = False
    finally:
        server.shutdown()
        server.server_close()
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
