"""A local HTTPS server for the online tests: 127.0.0.1 only, HTTP/1.1 with
keep-alive and Content-Length, one thread per connection, serving a catalogue
folder (see scripts/publish_catalog.py), with a request log and switches that
make chosen paths fail. Its certificate for "localhost" comes from a test CA
made on the spot (make_test_ca), which only a Wine prefix that was told to
trust it (tests/e2e/tools/ks_trust_ca) accepts.

    make_test_ca(tls_folder)
    server = CatalogServer(folder, tls_folder / "server.pem", tls_folder / "server.key").start()
    server.fail("/All.Inf", "500", "500")      # the next two requests fail
    server.always("/Bin.Inf", "404")           # until clear()
    url = server.url("/($name)")               # https://localhost:PORT/($name)

Faults: "404", "500", "wrong" (one byte of the body flipped), "truncate"
(half the body, then the connection closes), "drop" (the connection closes
without an answer), "nolength" (no Content-Length; the body ends when the
connection closes) and "slow" (the answer starts after SLOW_SECONDS).

Run by itself it serves a folder until interrupted:

    python3 tests/e2e/catalog_server.py FOLDER TLS_FOLDER [--port N]
"""
import argparse
import os
import socket
import ssl
import subprocess
import threading
import time
import urllib.parse
from dataclasses import dataclass
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

SLOW_SECONDS = 2.0
FAULTS = {"404", "500", "wrong", "truncate", "drop", "nolength", "slow"}


def make_test_ca(folder):
    """Writes into folder a test CA (ca.pem, its DER form ca.der, ca.key) and a
    certificate for "localhost" signed by it (server.pem, server.key)."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "server.ext").write_text(
        "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
        "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\nauthorityKeyIdentifier=keyid\n")

    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Ostrel Dax Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")


@dataclass
class Request:
    connection: int  # one number per TCP connection, in order of acceptance
    path: str        # the request target as sent
    status: int      # the status answered; 0 when the connection was dropped
    fault: str       # the fault applied, or ""


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server: "_Server"

    def setup(self):
        self.connection_id = self.server.next_connection()
        # Headers and body go out in separate writes; without this each
        # answer on a kept-alive connection waits for a delayed ACK.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        super().setup()

    def log_message(self, format, *args):  # the request log replaces stderr lines
        pass

    def do_GET(self):
        fault = self.server.owner._take_fault(self.path)
        if fault == "slow":
            time.sleep(SLOW_SECONDS)
        if fault == "drop":
            self.server.owner._log(Request(self.connection_id, self.path, 0, fault))
            self.close_connection = True
            return
        body = self.server.owner._body(self.path)
        status = 200
        if fault in ("404", "500"):
            status, body = int(fault), fault.encode()
        elif body is None:
            status, body = 404, b"not found"
        self.server.owner._log(Request(self.connection_id, self.path, status, fault))
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if fault == "nolength":
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if fault == "wrong" and body:
            body = bytes([body[0] ^ 0xFF]) + body[1:]
        if fault == "truncate":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        self.wfile.write(body)


class _Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, owner, context, port):
        self.owner = owner
        self.context = context
        self._connections = 0
        self._lock = threading.Lock()
        super().__init__(("127.0.0.1", port), _Handler)

    def next_connection(self):
        with self._lock:
            self._connections += 1
            return self._connections

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the connection's own thread, so a slow or
        # broken client never holds up the accepting loop.
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        self.RequestHandlerClass(tls, client_address, self)

    def handle_error(self, request, client_address):
        pass  # clients that hang up mid-answer are part of the tests


class CatalogServer:
    def __init__(self, folder, cert_file, key_file, port=0):
        self.folder = os.path.abspath(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert_file, key_file)
        self._lock = threading.Lock()
        self._requests = []
        self._queued = {}
        self._always = {}
        self._server = _Server(self, context, port)
        self._thread = None

    @property
    def port(self):
        return self._server.server_address[1]

    def url(self, path="/"):
        return f"https://localhost:{self.port}{path}"

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, args=(0.05,), daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join()

    # ---- faults ----
    def fail(self, path, *faults):
        """The next len(faults) requests for path get these faults in order."""
        self._check(faults)
        with self._lock:
            self._queued.setdefault(path, []).extend(faults)

    def always(self, path, fault):
        self._check([fault])
        with self._lock:
            self._always[path] = fault

    def clear(self):
        with self._lock:
            self._queued.clear()
            self._always.clear()
            self._requests.clear()

    # ---- request log ----
    @property
    def requests(self):
        with self._lock:
            return list(self._requests)

    def paths(self):
        return [r.path for r in self.requests]

    def count(self, path):
        return self.paths().count(path)

    # ---- inside the handler threads ----
    @staticmethod
    def _check(faults):
        unknown = set(faults) - FAULTS
        if unknown:
            raise ValueError(f"unknown fault {sorted(unknown)}")

    def _take_fault(self, path):
        with self._lock:
            queued = self._queued.get(path)
            if queued:
                return queued.pop(0)
            return self._always.get(path, "")

    def _log(self, request):
        with self._lock:
            self._requests.append(request)

    def _body(self, target):
        path = urllib.parse.unquote(urllib.parse.urlsplit(target).path)
        full = os.path.realpath(os.path.join(self.folder, path.lstrip("/")))
        if not full.startswith(self.folder + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()


def main():
    parser = argparse.ArgumentParser(description="Serves a published catalogue folder over HTTPS on 127.0.0.1.")
    parser.add_argument("folder")
    parser.add_argument("tls_folder", help="made with a test CA when it holds no server.pem yet")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    tls = Path(args.tls_folder)
    if not (tls / "server.pem").is_file():
        make_test_ca(tls)
    server = CatalogServer(args.folder, tls / "server.pem", tls / "server.key", args.port).start()
    print(f"serving {args.folder} at {server.url('/($name)')}; trust {tls / 'ca.der'} in the Wine prefix",
          flush=True)
    try:
        server._thread.join()
    except KeyboardInterrupt:
        server.stop()


if __name__ == "__main__":
    main()
