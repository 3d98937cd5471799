#!/usr/bin/env python3
"""A local SiDS submit server for the tests and the benchmark (standard library only).

Listens on 127.0.0.1 only, on a free port (or --port), prints "PORT <n>" and answers POSTs
with HTTP/1.1 keep-alive. Every POST is recorded as one JSON line in --log (time, path,
content type, the form's fields, the answer, the client's port). How it answers is set by
--answer or by GET /mode?answer=...&reason=...&retry_after=...&location=...&body_bytes=...
&times=N (N POSTs, then 201 again):
  any status, such as 201, 400 (with reason), 429 (with Retry-After), 500, 301 and the other
      3xx (with Location, default /moved),
  stall (reads the request, answers nothing for --stall seconds),
  drop (records the request, then closes the connection in the middle of the answer's status
      line).
--body-bytes N gives the answer a body of N bytes, written in pieces as the client takes them
(never held whole), with Content-Length, or chunked with --chunked; a client that closes the
connection ends it.
GET /posts returns the log as a JSON array. --https serves TLS with a certificate made for
the run by openssl (self-signed, so a client checking certificates refuses it). The server
stops by itself after --lifetime seconds or --max-requests requests.
"""
import argparse
import json
import os
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

state_lock = threading.Lock()
DEFAULT_MODE = {"answer": "201", "reason": "", "retry_after": "", "location": "",
                "body_bytes": 0, "chunked": False, "times": -1}
state = dict(DEFAULT_MODE, requests=0)
options = None


def take_mode():
    with state_lock:
        mode = dict(state)
        if state["times"] > 0:
            state["times"] -= 1
            if state["times"] == 0:
                state.update(DEFAULT_MODE)
        return mode


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def count(self):
        with state_lock:
            state["requests"] += 1
            if state["requests"] >= options.max_requests:
                threading.Thread(target=self.server.shutdown, daemon=True).start()

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def stream(self, status, size, chunked, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        piece = b"x" * 65536
        left = size
        try:
            while left > 0:
                part = piece[:min(left, len(piece))]
                self.wfile.write(b"%x\r\n" % len(part) + part + b"\r\n" if chunked else part)
                left -= len(part)
            if chunked:
                self.wfile.write(b"0\r\n\r\n")
        except OSError:  # the client closed the connection
            self.close_connection = True

    def do_GET(self):
        self.count()
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/mode":
            query = dict(urllib.parse.parse_qsl(url.query))
            with state_lock:
                state.update(answer=query.get("answer", "201"), reason=query.get("reason", ""),
                             retry_after=query.get("retry_after", ""),
                             location=query.get("location", ""),
                             body_bytes=int(query.get("body_bytes", "0")),
                             chunked=query.get("chunked", "") == "1",
                             times=int(query.get("times", "-1")))
            self.reply(200, b"ok\n")
        elif url.path == "/posts":
            with open(options.log, "rb") as log:
                lines = [json.loads(line) for line in log if line.strip()]
            self.reply(200, json.dumps(lines).encode(), [("Content-Type", "application/json")])
        else:
            self.reply(404, b"not found\n")

    def do_POST(self):
        self.count()
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(min(length, 1 << 20)).decode("utf-8", "replace")
        mode = take_mode()
        answer = mode["answer"]
        with state_lock, open(options.log, "a") as log:
            log.write(json.dumps({
                "time": time.time(), "path": self.path,
                "content_type": self.headers.get("Content-Type", ""),
                "form": dict(urllib.parse.parse_qsl(body, keep_blank_values=True)),
                "body": body, "answer": answer, "port": self.client_address[1]}) + "\n")
        if answer == "stall":
            time.sleep(options.stall)
            self.close_connection = True
        elif answer == "drop":
            self.wfile.write(b"HTTP/1.1 20")
            self.wfile.flush()
            self.close_connection = True
        else:
            status, body, headers = int(answer), b"", []
            if status == 429:
                body = b"slow down\n"
                headers.append(("Retry-After", mode["retry_after"] or "1"))
            elif status == 400:
                body = (mode["reason"] or "bad frame").encode() + b"\n"
            elif 300 <= status < 400:
                headers.append(("Location", mode["location"] or "/moved"))
            if mode["body_bytes"] > 0:
                self.stream(status, mode["body_bytes"], mode["chunked"], headers)
            else:
                self.reply(status, body, headers)


def self_signed_context(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    global options
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", required=True)
    parser.add_argument("--answer", default="201")
    parser.add_argument("--reason", default="")
    parser.add_argument("--retry-after", default="")
    parser.add_argument("--location", default="")
    parser.add_argument("--body-bytes", type=int, default=0)
    parser.add_argument("--chunked", action="store_true")
    parser.add_argument("--times", type=int, default=-1)
    parser.add_argument("--stall", type=float, default=10.0)
    parser.add_argument("--https", action="store_true")
    parser.add_argument("--lifetime", type=float, default=120.0)
    parser.add_argument("--max-requests", type=int, default=100000)
    options = parser.parse_args()
    state.update(answer=options.answer, reason=options.reason, retry_after=options.retry_after,
                 location=options.location, body_bytes=options.body_bytes,
                 chunked=options.chunked, times=options.times)
    open(options.log, "a").close()

    server = ThreadingHTTPServer(("127.0.0.1", options.port), Handler)
    server.daemon_threads = True
    with tempfile.TemporaryDirectory() as folder:
        if options.https:
            context = self_signed_context(folder)
            server.socket = context.wrap_socket(server.socket, server_side=True)
        print("PORT", server.server_address[1], flush=True)
        threading.Timer(options.lifetime, server.shutdown).start()
        server.serve_forever(poll_interval=0.1)
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
