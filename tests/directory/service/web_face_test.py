#!/usr/bin/env python3
"""The directory's web face from outside: the real service with hosts that answer its probes,
the page in headless Chromium, the JSON read by Python's own parser, the metrics read by
promtool, and the log under a flood of refused connections.

Usage: web_face_test.py <quarv-directory program> [unittest options]
"""
import datetime
import gzip
import html.parser
import json
import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from web_peers import Chromium, Service, StandInHost, Watcher, http_exchange, wait_for  # noqa: E402

PROGRAM = None
WEB_PATHS = ("/", "/style.css", "/servers.json", "/healthz", "/metrics")
# What the page may hold: anything else was added by a name.
PAGE_ELEMENTS = {"HTML", "HEAD", "META", "TITLE", "LINK", "BODY", "MAIN", "H1", "SPAN", "P", "STRONG", "TIME",
                 "TABLE", "THEAD", "TBODY", "TR", "TH", "TD", "FOOTER", "A"}


def hostile_names(watch_port):
    """Names (raw bytes, at most 79) that try to run script, load from the watcher or add elements."""
    return [
        b"<script>fetch('//127.0.0.1:%d/script')</script>" % watch_port,
        b"<img src=//127.0.0.1:%d/img onerror=alert('img')>" % watch_port,
        b"\"><svg onload=alert('svg')><b title='",
        b"</td></tr></table><iframe src=//127.0.0.1:%d/frame>" % watch_port,
        b"&lt;not a tag&gt; &amp; C:\\games\\ \"quoted\" 'single'",
        b"High half: " + bytes(range(0x80, 0xC0)),
        b"Latin half: " + bytes(range(0xC0, 0x100)),
    ]


def shown(name):
    """The characters a name of code page 1252 bytes stands for; U+FFFD for the five bytes it leaves undefined."""
    return name.decode("cp1252", errors="replace")


class NameCells(html.parser.HTMLParser):
    """The text of every name cell, and the meta refresh, from a serialized DOM."""

    def __init__(self):
        super().__init__()
        self.names = []
        self.refresh = None
        self._depth = 0

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and attrs.get("http-equiv") == "refresh":
            self.refresh = attrs.get("content")
        if self._depth:
            self._depth += 1
        elif tag == "td" and attrs.get("class") == "name":
            self._depth = 1
            self.names.append("")

    def handle_endtag(self, tag):
        if self._depth:
            self._depth -= 1

    def handle_data(self, data):
        if self._depth:
            self.names[-1] += data


class PublishedHosts(unittest.TestCase):
    """One service with ordinary and hostile names published from addresses of their own."""

    @classmethod
    def setUpClass(cls):
        cls.host = StandInHost()
        cls.watcher = Watcher()
        cls.service = Service(PROGRAM)
        cls.published = {}
        # More than the 20 of one list answer: the page and the JSON show them all.
        names = [b"Ann's server", b"Night Owls"] + hostile_names(cls.watcher.port) + [b"crowd %d" % i for i in range(25)]
        for i, name in enumerate(names):
            source = "127.0.9.%d" % (i + 1)
            cls.service.publish(name, cls.host.port, source)
            cls.published[(source, cls.host.port)] = name
        wait_for(lambda: cls.servers()["count"] == len(names), 10, "every host to be listed")

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()
        cls.watcher.close()
        cls.host.close()

    @classmethod
    def servers(cls):
        status, headers, body = cls.service.get("/servers.json")
        assert status == 200 and headers["content-type"] == "application/json", (status, headers)
        return json.loads(body.decode("utf-8"))

    def test_page_in_a_browser_shows_every_host_and_runs_nothing(self):
        browser = Chromium()
        try:
            browser.call("Network.enable")
            browser.call("Log.enable")
            browser.open(self.service.url + "/", 1280, 900)
            time.sleep(0.5)  # room for anything the page might still try to load
            page = browser.evaluate("""({
                names: [...document.querySelectorAll('td.name')].map(e => e.textContent),
                addresses: [...document.querySelectorAll('td.address')].map(e => e.textContent),
                nameChildren: [...document.querySelectorAll('td.name')].map(e => e.children.length),
                elements: [...new Set([...document.querySelectorAll('*')].map(e => e.tagName))],
                count: document.querySelector('.count').textContent,
                text: document.body.innerText})""")
            events = list(browser.events)
        finally:
            browser.close()

        expected = {shown(name) for name in self.published.values()}
        self.assertEqual(sorted(page["names"]), sorted(expected))
        self.assertEqual(sorted(page["addresses"]), sorted("%s:%d" % host for host in self.published))
        self.assertEqual(page["count"], "%d games are up." % len(self.published))
        self.assertIn("Newest first.", page["text"])
        self.assertEqual(set(page["nameChildren"]), {0}, "a name cell holds only text")
        self.assertLessEqual(set(page["elements"]), PAGE_ELEMENTS, "elements a name added")
        self.assertEqual(self.watcher.visits, [], "requests a name made")
        dialogs = [e for e in events if e.get("method") == "Page.javascriptDialogOpening"]
        self.assertEqual(dialogs, [])
        requested = [e["params"]["request"]["url"] for e in events if e.get("method") == "Network.requestWillBeSent"]
        self.assertTrue(requested and all(url.startswith(self.service.url + "/") for url in requested), requested)
        self.assertIn(self.service.url + "/style.css", requested)
        violations = [e["params"]["entry"]["text"] for e in events if e.get("method") == "Log.entryAdded"
                      and "Content Security Policy" in e["params"]["entry"].get("text", "")]
        self.assertEqual(violations, [], "something on the page tried what the policy forbids")

    def test_page_works_with_scripting_off(self):
        browser = Chromium()
        try:
            browser.call("Emulation.setScriptExecutionDisabled", value=True)
            browser.open(self.service.url + "/", 390, 844, mobile=True)
            cells = NameCells()
            cells.feed(browser.outer_html())
        finally:
            browser.close()
        self.assertEqual(sorted(cells.names), sorted(shown(name) for name in self.published.values()))
        self.assertEqual(cells.refresh, "30")

    def test_page_forbids_scripts_and_sniffing(self):
        status, headers, body = self.service.get("/")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/html; charset=utf-8")
        self.assertEqual(headers["x-content-type-options"], "nosniff")
        policy = {d.split()[0]: d.split()[1:] for d in headers["content-security-policy"].split(";")}
        self.assertEqual(policy["default-src"], ["'none'"])
        self.assertNotIn("script-src", policy)
        self.assertNotIn(b"<script", body)

    def test_json_holds_every_host_as_published(self):
        self.assertGreater(len(self.published), 20)
        before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        document = self.servers()
        self.assertEqual(document["order"], "newest first")
        self.assertEqual(document["count"], len(self.published))
        found = {(s["address"], s["port"]): s for s in document["servers"]}
        self.assertEqual(set(found), set(self.published))
        for host, name in self.published.items():
            self.assertEqual(found[host]["name"], shown(name), host)

        def moment(text):
            return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%SZ").replace(tzinfo=datetime.timezone.utc)
        generated = moment(document["generated"])
        self.assertLessEqual(abs((generated - before).total_seconds()), 5)
        for server in document["servers"]:
            listed, answered = moment(server["listed_since"]), moment(server["last_answered"])
            self.assertTrue(generated - datetime.timedelta(seconds=60) <= listed <= answered <= generated, server)
        listed = [moment(s["listed_since"]) for s in document["servers"]]
        self.assertEqual(listed, sorted(listed, reverse=True), "newest first")

    def test_page_and_json_come_compressed_to_those_who_take_gzip(self):
        for path in ("/", "/servers.json"):
            # The first to ask may get the plain text, until the next making of the documents.
            status, headers, body = wait_for(
                lambda: (lambda r: r[1].get("content-encoding") == "gzip" and r)(
                    self.service.get(path, headers="Accept-Encoding: deflate, gzip\r\n")), 5, "gzip on " + path)
            self.assertEqual(status, 200, path)
            self.assertEqual(headers.get("vary"), "Accept-Encoding", path)
            text = gzip.decompress(body).decode("utf-8")
            _, plain_headers, plain = self.service.get(path)
            self.assertNotIn("content-encoding", plain_headers, path)
            self.assertLess(len(body), len(plain) / 3, path)
            if path == "/servers.json":
                # Times move with every probe; the hosts are the same.
                def hosts(document):
                    return sorted((s["name"], s["address"], s["port"]) for s in json.loads(document)["servers"])
                self.assertEqual(hosts(text), hosts(plain))
            else:
                for name in self.published.values():
                    self.assertIn(shown(name).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                                  .replace('"', "&quot;").replace("'", "&#39;"), text)

    def test_every_path_answers_head_and_refuses_other_methods(self):
        for path in WEB_PATHS:
            status, headers, body = self.service.get(path)
            self.assertEqual(status, 200, path)
            head_status, head_headers, head_body = self.service.get(path, "HEAD")
            self.assertEqual((head_status, head_body), (200, b""), "HEAD " + path)
            self.assertEqual(head_headers["content-type"], headers["content-type"], "HEAD " + path)
            for method in ("POST", "PUT", "DELETE", "OPTIONS"):
                status, headers, _ = self.service.get(path, method)
                self.assertEqual(status, 405, method + " " + path)
                self.assertEqual(headers.get("allow"), "GET, HEAD", method + " " + path)

    def test_healthz_answers_one_line_while_lists_are_served(self):
        status, headers, body = self.service.get("/healthz")
        self.assertEqual(status, 200)
        self.assertEqual(headers["content-type"], "text/plain; charset=utf-8")
        self.assertEqual(body.count(b"\n"), 1)
        self.assertTrue(body.endswith(b"\n"))

    def test_metrics_pass_promtool_and_move_with_requests(self):
        status, headers, page = self.service.get("/metrics")
        self.assertEqual(status, 200)
        self.assertTrue(headers["content-type"].startswith("text/plain; version=0.0.4"))
        check = subprocess.run(["promtool", "check", "metrics"], input=page, capture_output=True)
        self.assertEqual(check.returncode, 0, check.stdout.decode() + check.stderr.decode())

        requests = ("quarv_directory_requests_total", (("path", "/servers.json"), ("status", "200")))
        missing = ("quarv_directory_requests_total", (("path", "other"), ("status", "404")))
        invalid = ("quarv_directory_publications_total", (("outcome", "invalid"),))
        before = self.service.metrics()
        for _ in range(3):
            self.service.get("/servers.json")
        self.service.get("/no/such/page")
        with self.assertRaises(AssertionError):
            self.service.publish(b"", self.host.port, "127.0.12.1")
        after = self.service.metrics()
        self.assertEqual(after[requests] - before.get(requests, 0), 3)
        self.assertEqual(after[missing] - before.get(missing, 0), 1)
        self.assertEqual(after[invalid] - before[invalid], 1)
        self.assertEqual(after[("quarv_directory_publications_total", (("outcome", "added"),))], len(self.published))
        listed = after[("quarv_directory_listed_hosts", ())]
        self.assertEqual(listed, self.servers()["count"])
        self.assertGreaterEqual(after[("quarv_directory_stored_hosts", ())], listed)
        self.assertGreaterEqual(after[("quarv_directory_probes_total", (("result", "answered"),))], listed)
        self.assertGreaterEqual(after[("quarv_directory_open_connections", ())], 1, "the scrape's own")


class Flood(unittest.TestCase):
    """Connections refused at the per-address limit, and malformed requests, as fast as they come."""

    def test_repeated_events_are_counted_not_logged_each(self):
        service = Service(PROGRAM)
        held = []
        try:
            for _ in range(32):
                s = socket.socket()
                s.bind(("127.0.0.60", 0))
                s.connect(("127.0.0.1", service.port))
                held.append(s)
            wait_for(lambda: service.metrics()[("quarv_directory_open_connections", ())] >= 33, 5,
                     "the 32 held connections")
            refused = 0
            deadline = time.time() + 2
            while time.time() < deadline:
                s = socket.socket()
                s.bind(("127.0.0.60", 0))
                s.connect(("127.0.0.1", service.port))
                s.close()
                refused += 1
            for _ in range(5):
                http_exchange(service.port, "GET /healthz HTTP/1.0\r\nContent-Length: many\r\n\r\n", "127.0.0.61")
            smuggled = "GET /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"
            self.assertEqual(http_exchange(service.port, smuggled, "127.0.0.61")[0], 400)

            counter = ("quarv_directory_refused_connections_total", ())
            wait_for(lambda: service.metrics()[counter] == refused, 10, "%d refusals counted" % refused)
            self.assertEqual(service.metrics()[("quarv_directory_malformed_requests_total", ())], 6)

            def told(fragment):
                """How many events the log tells of: its lines plus the counts they say were left out."""
                total = 0
                for line in service.log_lines():
                    if fragment in line:
                        left_out = line.rsplit(" (", 1)[1].split()[0] if "left out" in line else "0"
                        total += 1 + int(left_out)
                return total
            wait_for(lambda: told("connection limit") == refused, 10, "the log to tell all %d refusals" % refused)
            wait_for(lambda: told("Error processing request") == 5, 10, "the log to tell all 5 malformed requests")
            lines = service.log_lines()
            self.assertLessEqual(len([l for l in lines if "connection limit" in l]), 3, "\n".join(lines))
            self.assertLessEqual(len(lines), 12, "\n".join(lines))
        finally:
            for s in held:
                s.close()
            service.stop()


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main(verbosity=2)
