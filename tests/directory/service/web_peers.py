"""Real peers for the tests and screenshots of the directory's web face: the service program
on a free loopback port, stand-in lobby hosts that answer its probes, publications written
byte by byte from chosen loopback addresses, and headless Chromium driven through its
DevTools protocol (a small WebSocket client of its own: the standard library has none).
"""
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request

HANDSHAKE_OPENING = struct.pack("<4i", 12345, 1004, 4, 1)


def read_text(path):
    """The file's text, or "" while it does not exist."""
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return ""


def wait_for(condition, seconds, what):
    deadline = time.time() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            raise AssertionError("waited %g s for %s" % (seconds, what))
        time.sleep(0.05)


class Service:
    """quarv-directory on 127.0.0.1 and a free port, with a fresh data file and short probe times."""

    def __init__(self, program, *options):
        self.folder = tempfile.mkdtemp(prefix="quarv-web-test-")
        port_file = os.path.join(self.folder, "port")
        self.log_path = os.path.join(self.folder, "service.log")
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen(
            [program, "--listen", "127.0.0.1", "--port", "0", "--port-file", port_file,
             "--data", os.path.join(self.folder, "directory.sqlite"), "--probe-interval", "0.3",
             "--retry-interval", "0.1", "--probe-timeout", "1"] + list(options),
            stdout=self.log, stderr=self.log)
        self.port = int(wait_for(lambda: read_text(port_file).strip(), 10,
                                 "the service's port file"))
        self.url = "http://127.0.0.1:%d" % self.port

    def stop(self):
        """Stops the service with SIGTERM; it must end cleanly (in a sanitized build: with nothing to report)."""
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(30)
        self.log.close()
        lines = self.log_lines()
        shutil.rmtree(self.folder, ignore_errors=True)
        if self.process.returncode != 0:
            raise AssertionError("the service ended with %d:\n%s" % (self.process.returncode, "\n".join(lines[-40:])))

    def log_lines(self):
        with open(self.log_path, errors="replace") as log:
            return log.read().splitlines()

    def get(self, path, method="GET", source="127.0.0.1", headers=""):
        """One raw HTTP/1.0 exchange: (status, headers with lower-case names, body bytes)."""
        return http_exchange(self.port, "%s %s HTTP/1.0\r\nHost: 127.0.0.1\r\n%s\r\n" % (method, path, headers),
                             source)

    def publish(self, name, host_port, source):
        """Publishes a 264-byte entry with the name's bytes as they are, from the given address."""
        entry = bytearray(264)
        entry[80:80 + len(name)] = name
        struct.pack_into("<3i", entry, 160, 1, 1, 0)
        struct.pack_into("<3i", entry, 252, 1, 4, host_port)
        request = (b"POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\nContent-type: application/x-www-form-urlencoded\r\n"
                   b"Content-length: 264\r\n\r\n" + bytes(entry))
        status, _, body = http_exchange(self.port, request, source)
        if status not in (200, 202):
            raise AssertionError("publishing %r from %s: %d %r" % (name, source, status, body))

    def metrics(self):
        """{(name, ((label, value), ...)): value} from /metrics."""
        status, _, body = self.get("/metrics")
        assert status == 200, status
        samples = {}
        for line in body.decode().splitlines():
            if not line or line.startswith("#"):
                continue
            series, value = line.rsplit(" ", 1)
            name, _, labels = series.partition("{")
            pairs = tuple(tuple(p.split("=", 1)) for p in labels.rstrip("}").split(",") if p)
            samples[(name, tuple((k, v.strip('"')) for k, v in pairs))] = float(value)
        return samples


def http_exchange(port, request, source="127.0.0.1"):
    if isinstance(request, str):
        request = request.encode()
    with socket.socket() as s:
        s.settimeout(10)
        s.bind((source, 0))
        s.connect(("127.0.0.1", port))
        s.sendall(request)
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
    head, _, body = reply.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        key, _, value = line.partition(":")
        headers[key.strip().lower()] = value.strip()
    return int(lines[0].split()[1]), headers, body


class Listener:
    """Accepts connections on a bound socket until closed, each answered on a thread of its own."""

    def __init__(self, listener, answer):
        self.listener = listener
        self.listener.listen(64)
        self.port = listener.getsockname()[1]
        self._answer = answer
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._answer, args=(connection,), daemon=True).start()

    def close(self):
        self.listener.close()


class StandInHost(Listener):
    """A wizard hosting a lobby: on every local address and a port a wizard may use (10000 to 36000),
    it opens each connection with the handshake word and stays connected until the peer leaves."""

    def __init__(self):
        listener = socket.socket()
        for port in range(10000 + os.getpid() % 20000, 36000):
            try:
                listener.bind(("0.0.0.0", port))
                break
            except OSError:
                continue
        super().__init__(listener, self._greet)

    @staticmethod
    def _greet(connection):
        with connection:
            try:
                connection.sendall(HANDSHAKE_OPENING)
                connection.settimeout(10)
                connection.recv(1)
            except OSError:
                pass


class Watcher(Listener):
    """A loopback listener that keeps what whoever connects sends: a request a hostile name tried to make."""

    def __init__(self):
        self.visits = []
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        super().__init__(listener, self._note)

    def _note(self, connection):
        with connection:
            connection.settimeout(2)
            try:
                self.visits.append(connection.recv(4096))
            except OSError:
                self.visits.append(b"")


class WebSocket:
    """Just enough of RFC 6455 for the DevTools protocol: text frames, client side."""

    def __init__(self, url):
        host_port, _, path = url[len("ws://"):].partition("/")
        host, _, port = host_port.partition(":")
        self.sock = socket.create_connection((host, int(port)), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, host_port, key)).encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                raise ConnectionError("DevTools closed the upgrade")
            head += chunk
        if not head.startswith(b"HTTP/1.1 101"):
            raise ConnectionError("DevTools refused the upgrade: %r" % head)

    def _read(self, size):
        data = b""
        while len(data) < size:
            chunk = self.sock.recv(size - len(data))
            if not chunk:
                raise ConnectionError("DevTools closed the connection")
            data += chunk
        return data

    def send(self, text):
        payload = text.encode()
        mask = os.urandom(4)
        header = bytearray([0x81])
        if len(payload) < 126:
            header.append(0x80 | len(payload))
        elif len(payload) < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", len(payload))
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(bytes(header) + mask + masked)

    def receive(self):
        message = b""
        while True:
            first, second = self._read(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(length)
            opcode = first & 0x0F
            if opcode == 8:
                raise ConnectionError("DevTools closed the WebSocket")
            if opcode in (0, 1, 2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        self.sock.close()


class Chromium:
    """Headless Chromium with a fresh profile, driven through one page's DevTools session."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="quarv-chromium-")
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + self.profile, "--remote-debugging-port=0", "--remote-debugging-address=127.0.0.1",
             "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        active = os.path.join(self.profile, "DevToolsActivePort")
        port = int(wait_for(lambda: read_text(active).split("\n")[0], 30,
                            "Chromium's DevTools port"))
        pages = wait_for(lambda: [t for t in json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port))
                                  if t["type"] == "page"], 10, "Chromium's first page")
        self.socket = WebSocket(pages[0]["webSocketDebuggerUrl"])
        self.next_id = 0
        self.events = []

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.receive())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message["result"]
            self.events.append(message)

    def wait_for_event(self, method, seconds=15):
        deadline = time.time() + seconds
        while True:
            for i, event in enumerate(self.events):
                if event.get("method") == method:
                    return self.events.pop(i)
            if time.time() > deadline:
                raise AssertionError("no %s within %d s" % (method, seconds))
            self.socket.sock.settimeout(max(0.1, deadline - time.time()))
            self.events.append(json.loads(self.socket.receive()))

    def open(self, url, width, height, mobile=False, scale=1):
        """Loads the page at the given viewport and waits until it has loaded."""
        self.call("Page.enable")
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=scale,
                  mobile=mobile)
        self.call("Page.navigate", url=url)
        self.wait_for_event("Page.loadEventFired")

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def outer_html(self):
        """The document as the browser holds it, read without running any script in the page."""
        root = self.call("DOM.getDocument", depth=0)["root"]
        return self.call("DOM.getOuterHTML", nodeId=root["nodeId"])["outerHTML"]

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as picture:
            picture.write(base64.b64decode(data))

    def close(self):
        self.socket.close()
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)
