#!/usr/bin/env python3
"""A local SiDS submit server for the tests and the benchmark (standard library only).

Listens on 127.0.0.1 only, on a free port (or --port), prints "PORT <n>" and answers POSTs
with HTTP/1.1 keep-alive. Every POST is recorded as one JSON line in --log (time, path,
content type, the form's fields, the answer). How it answers is set by --answer or by
GET /mode?answer=...&reason=...&retry_after=...&times=N (N POSTs, then 201 again):
  201, 400 (with reason), 429 (with Retry-After), 500,
  stall (reads the request, answers nothing for --stall seconds),
  drop (closes the connection in the middle of the answer's status line).
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
state = {"answer": "201", "reason": "", "retry_after": "", "times": -1, "requests": 0}
options = None


def take_mode():
    with state_lock:
        mode = dict(state)
        if state["times"] > 0:
            state["times"] -= 1
            if state["times"] == 0:
                state.update(answer="201", reason="", retry_after="", times=-1)
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

    def do_GET(self):
        self.count()
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/mode":
            query = dict(urllib.parse.parse_qsl(url.query))
            with state_lock:
                state.update(answer=query.get("answer", "201"), reason=query.get("reason", ""),
                             retry_after=query.get("retry_after", ""),
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
                "body": body, "answer": answer}) + "\n")
        if answer == "stall":
            time.sleep(options.stall)
            self.close_connection = True
        elif answer == "drop":
            self.wfile.write(b"HTTP/1.1 20")
            self.wfile.flush()
            self.close_connection = True
        elif answer == "429":
            self.reply(429, b"slow down\n", [("Retry-After", mode["retry_after"] or "1")])
        elif answer == "400":
            self.reply(400, (mode["reason"] or "bad frame").encode() + b"\n")
        else:
            self.reply(int(answer), b"")


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
    parser.add_argument("--times", type=int, default=-1)
    parser.add_argument("--stall", type=float, default=10.0)
    parser.add_argument("--https", action="store_true")
    parser.add_argument("--lifetime", type=float, default=120.0)
    parser.add_argument("--max-requests", type=int, default=100000)
    options = parser.parse_args()
    state.update(answer=options.answer, reason=options.reason, retry_after=options.retry_after,
                 times=options.times)
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
