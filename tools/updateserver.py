#!/usr/bin/env python3
"""A small update server for tests and for trying an update by hand.

Serves the files of a folder over HTTP on 127.0.0.1. Paths named in the
folder's "routes.json" (read anew for every request) answer as described
there instead, keyed by the path without its query:

    {"/list.xml":  {"status": 404},
     "/a.zip":     {"status": 302, "location": "/b.zip"},
     "/b.zip":     {"status": 302, "location": "http://...", "header": "location"},
     "/c.zip":     {"status": 302},                          (no Location)
     "/d.zip":     {"file": "pkg.zip", "chunk": 1024, "delayMs": 50},
     "/e.zip":     {"file": "pkg.zip", "cutAfter": 100},     (closes early)
     "/g.zip":     {"file": "pkg.zip", "noLength": true},    (no Content-Length)
     "/h.zip":     {"file": "pkg.zip", "headerDelayMs": 60000},  (answers late)
     "/f.xml":     {"body": "<text/>"}}

Every request is appended to "requests.log" in the folder as "GET <path>".
The port (0: a free one) is written to --port-file once the server listens.

    python3 tools/updateserver.py --root DIR [--port N] [--example]

--example fills DIR with an update list at /Uploadfiles/file/apx/urlapp.xml
that offers version 9.9.9, and a package whose "autoUpdate.bat" and
"Flintmoor.exe" only print a line.
"""

import argparse
import http.server
import json
import os
import sys
import threading
import time
import urllib.parse
import zipfile

LIST_PATH = "Uploadfiles/file/apx/urlapp.xml"


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "FlintmoorUpdateServer/1"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        root = self.server.root
        path = urllib.parse.urlsplit(self.path).path

        with self.server.log_lock:
            with open(os.path.join(root, "requests.log"), "a", encoding="utf-8") as log:
                log.write("GET %s\n" % self.path)

        route = self.routes().get(path)

        if route is not None and route.get("headerDelayMs"):
            time.sleep(route["headerDelayMs"] / 1000.0)

        if route is None:
            self.send_file(self.local_path(path), {})
        elif "file" in route:
            self.send_file(os.path.join(root, route["file"]), route)
        elif "body" in route:
            self.send_body(route.get("status", 200), route["body"].encode("utf-8"), route)
        else:
            self.send_status(route)

    def routes(self):
        try:
            with open(os.path.join(self.server.root, "routes.json"), encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def local_path(self, path):
        parts = [p for p in urllib.parse.unquote(path).split("/") if p not in ("", ".", "..")]
        return os.path.join(self.server.root, *parts)

    def send_status(self, route):
        status = route.get("status", 200)
        self.send_response(status)
        if "location" in route:
            self.send_header(route.get("header", "Location"), route["location"])
        self.send_header("Content-Length", "0")
        self.end_headers()

    def send_file(self, path, route):
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            self.send_status({"status": 404})
            return
        self.send_body(200, data, route)

    def send_body(self, status, data, route):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if not route.get("noLength"):
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()

        cut = route.get("cutAfter")
        if cut is not None:
            data = data[:cut]

        chunk = route.get("chunk", 65536)
        delay = route.get("delayMs", 0) / 1000.0
        try:
            for start in range(0, len(data), chunk):
                self.wfile.write(data[start:start + chunk])
                self.wfile.flush()
                if delay:
                    time.sleep(delay)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True


def write_example(root, port):
    base = "http://127.0.0.1:%d" % port
    os.makedirs(os.path.join(root, os.path.dirname(LIST_PATH)), exist_ok=True)
    with open(os.path.join(root, LIST_PATH), "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<updateList>\n  <updateFiles>\n'
                '    <Flintmoor url="%s/package.zip" lastver="9.9.9" appName="Flintmoor.exe"/>\n'
                '  </updateFiles>\n</updateList>\n' % base)
    with zipfile.ZipFile(os.path.join(root, "package.zip"), "w") as z:
        z.writestr("autoUpdate.bat", "#!/bin/sh\necho autoUpdate.bat ran in \"$(pwd)\"\n")
        z.writestr("Flintmoor.exe", "#!/bin/sh\necho Flintmoor.exe from the package ran\n")
    print("Update list: %s/%s" % (base, LIST_PATH), flush=True)


def watch_parent(pid):
    while True:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            os._exit(0)
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder to serve")
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    parser.add_argument("--port-file", help="file that receives the port once listening")
    parser.add_argument("--parent", type=int, help="end when this process has ended")
    parser.add_argument("--example", action="store_true", help="write an example list and package")
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.root = os.path.abspath(args.root)
    server.log_lock = threading.Lock()
    port = server.server_address[1]

    if args.example:
        write_example(server.root, port)

    if args.port_file:
        temporary = args.port_file + ".part"
        with open(temporary, "w") as f:
            f.write("%d\n" % port)
        os.replace(temporary, args.port_file)

    if args.parent:
        threading.Thread(target=watch_parent, args=(args.parent,), daemon=True).start()

    print("Serving %s at http://127.0.0.1:%d/" % (server.root, port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
