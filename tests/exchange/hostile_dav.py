"""A small CalDAV/CardDAV server that misbehaves on request, for the tests.

Started by the test itself:  python3 hostile_dav.py SCENARIO_JSON
It listens on 127.0.0.1 with a free port ("%P" in the scenario), prints
"PORT <n>" and then one JSON
line per request it receives ({"method", "path", "headers"}), so the test can
check what Brolt sent.  It stops when its standard input closes.

The scenario (a JSON object; every key optional):
  collections  {path: "calendar" | "addressbook" | "folder"}   what exists
  props        {path: {"displayname", "principal", "addressbook-home",
                       "calendar-home"}}                what a PROPFIND of it
                                                      says besides its type
  objects      {path: {"data": text, "etag": text}}   resources, anywhere
  extra        [{"href", "data", "etag"} or {"href", "type", "displayname"}]
                                                      more responses in every
                                                      listing of a collection
  selfless     true: a listing never names the collection itself
  redirect     {path: [status, location]}             any method on path
  raw          {method: text}                         that method's 207 body
  dribble      seconds between the bytes of every answer
  pad          bytes of white space inside every multistatus
  conflict     true: a PUT of a UID stored under another name gives 409
"""
import json
import os
import re
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

scenario = {}
collections = {}
objects = {}
lock = threading.Lock()
counter = [0]


def log(entry):
    with lock:
        sys.stdout.write(json.dumps(entry) + "\n")
        sys.stdout.flush()


def uid_of(data):
    m = re.search(r"^UID:(.*?)\r?$", data, re.M)
    return m.group(1).strip() if m else None


def new_etag():
    counter[0] += 1
    return '"e%d"' % counter[0]


def response(href, props):
    return ("<D:response><D:href>%s</D:href><D:propstat><D:prop>%s</D:prop>"
            "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>" % (escape(href), props))


def object_props(obj, kind, with_data):
    # An ETag is given as the scenario wrote it: it may hold "&#13;&#10;".
    props = "<D:getetag>%s</D:getetag>" % obj.get("etag", "")
    if with_data:
        tag = "C:calendar-data" if kind == "calendar" else "R:address-data"
        props += "<%s>%s</%s>" % (tag, escape(obj["data"]), tag)
    return props


def multistatus(body):
    pad = " " * scenario.get("pad", 0)
    return ('<?xml version="1.0" encoding="utf-8"?>\n<D:multistatus xmlns:D="DAV:" '
            'xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:R="urn:ietf:params:xml:ns:carddav">'
            + pad + body + "</D:multistatus>").encode()


def children(path):
    return sorted(p for p in objects if p.startswith(path) and "/" not in p[len(path):])


def child_collections(path):
    return sorted(p for p in collections
                  if p != path and p.startswith(path) and "/" not in p[len(path):].rstrip("/"))


def collection_props(kind, path):
    types = "<D:collection/>" + {"calendar": "<C:calendar/>", "addressbook": "<R:addressbook/>"}.get(kind, "")
    props = "<D:resourcetype>%s</D:resourcetype>" % types
    said = scenario.get("props", {}).get(path, {})
    if "displayname" in said:
        props += "<D:displayname>%s</D:displayname>" % escape(said["displayname"])
    for key, tag in (("principal", "D:current-user-principal"), ("addressbook-home", "R:addressbook-home-set"),
                     ("calendar-home", "C:calendar-home-set")):
        if key in said:
            props += "<%s><D:href>%s</D:href></%s>" % (tag, escape(said[key]), tag)
    return props


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        pause = scenario.get("dribble")
        if not pause:
            try:
                self.wfile.write(body)
            except OSError:  # the client gave up on a long answer
                pass
            return
        for i in range(len(body)):
            try:
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
            except OSError:
                return
            time.sleep(pause)

    def handle_one(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace") if length else ""
        path = self.path
        log({"method": self.command, "path": path, "headers": [k + ": " + v for k, v in self.headers.items()]})
        if path in scenario.get("redirect", {}):
            status, location = scenario["redirect"][path]
            return self.answer(status, headers=[("Location", location)])
        raw = scenario.get("raw", {}).get(self.command)
        if raw is not None:
            return self.answer(207, raw.encode(), [("Content-Type", "application/xml")])
        getattr(self, "serve_" + self.command, self.unknown)(path, body)

    def unknown(self, path, body):
        self.answer(405)

    def listing(self, path, depth, with_data):
        kind = collections.get(path)
        if kind is None:
            return self.answer(404)
        out = ""
        if depth == "0" or not with_data:
            if not scenario.get("selfless"):
                out += response(path, collection_props(kind, path))
        if depth != "0":
            if not with_data:
                for child in child_collections(path):
                    out += response(child, collection_props(collections[child], child))
            for child in children(path):
                out += response(child, object_props(objects[child], kind, with_data))
            for extra in scenario.get("extra", []):
                if "type" in extra:
                    if not with_data:
                        props = collection_props(extra["type"], extra["href"])
                        if "displayname" in extra:
                            props += "<D:displayname>%s</D:displayname>" % escape(extra["displayname"])
                        out += response(extra["href"], props)
                else:
                    out += response(extra["href"], object_props(extra, kind, with_data))
        self.answer(207, multistatus(out), [("Content-Type", "application/xml; charset=utf-8")])

    def serve_PROPFIND(self, path, body):
        self.listing(path, self.headers.get("Depth", "1"), False)

    def serve_REPORT(self, path, body):
        self.listing(path, "1", True)

    def serve_GET(self, path, body):
        obj = objects.get(path)
        if obj is None:
            return self.answer(404)
        self.answer(200, obj["data"].encode(), [("ETag", obj.get("etag", ""))])

    def serve_PUT(self, path, body):
        obj = objects.get(path)
        match = self.headers.get("If-Match")
        if self.headers.get("If-None-Match") == "*" and obj is not None:
            return self.answer(412)
        if match is not None and (obj is None or match != obj.get("etag") or match.startswith("W/")):
            return self.answer(412)
        uid = uid_of(body)
        if scenario.get("conflict") and any(p != path and uid_of(o["data"]) == uid for p, o in objects.items()):
            return self.answer(409)
        etag = ("W/" if str(obj.get("etag", "") if obj else "").startswith("W/") else "") + new_etag()
        objects[path] = {"data": body, "etag": etag}
        self.answer(204 if obj else 201, headers=[("ETag", etag)])

    def serve_DELETE(self, path, body):
        if objects.pop(path, None) is None:
            return self.answer(404)
        self.answer(204)

    def serve_MKCALENDAR(self, path, body):
        if path in collections:
            return self.answer(405)
        collections[path] = "calendar"
        name = re.search(r"<D:displayname>(.*?)</D:displayname>", body)
        if name:
            scenario.setdefault("props", {})[path] = {"displayname": name.group(1)}
        self.answer(201)


# http.server calls do_<METHOD>: every method goes through handle_one.
for method in ("PROPFIND", "REPORT", "GET", "PUT", "DELETE", "MKCALENDAR", "POST", "HEAD", "OPTIONS"):
    setattr(Handler, "do_" + method, Handler.handle_one)

server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
# "%P" in the scenario is the port, for addresses on this very server.
scenario = json.loads(sys.argv[1].replace("%P", str(server.server_address[1])))
collections = scenario.get("collections", {})
objects = {p: dict(o) for p, o in scenario.get("objects", {}).items()}
sys.stdout.write("PORT %d\n" % server.server_address[1])
sys.stdout.flush()
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()  # the test closes it, or dies
os._exit(0)
