#!/usr/bin/env python3
# A stand-in for the video service, for tests. Listens on 127.0.0.1 (an ephemeral
# port unless --port is given), prints the port on the first line of its standard
# output, and serves the three steps of the fetch chain:
#
#   GET /v/ID&feature=dir                 -> 303, Location ...&t=TOKEN
#   GET /get_video?video_id=ID&t=TOKEN    -> 303 to the CDN (...&origin=HOST:PORT) or to /file/ID
#   GET /get_video?video_id=ID[&rest]     -> the video (the origin, reached from the CDN address)
#   GET /file/ID                          -> the video
#   GET /media/ID.EXT[?query]             -> the video, at a direct address
#
# With --video FILE, the identifier "video" serves that file (the end-to-end tests).
# The identifier picks the behaviour: NAME or NAME-SIZE, SIZE being the body length
# (default 10000); body byte i is i % 251. A NAME starting with r1 or r2 makes the
# first or second step misbehave as the rest of the name says; notoken leaves out the
# token, cdn, cdnrest and cdnnoorigin name CDN addresses, fileredirect is sent to a
# file:// address and chainCODE (307, 308) to a relative redirect of that code before
# the video. Every request head is appended, byte for byte, to the --log file before
# the answer is sent. Identifiers arrive percent-encoded and are used as they arrive.
#
# The video honours "Range: bytes=N-" with a 206 and its Content-Range, or a 416 when N
# is past the end; norange answers 200 regardless, badrange a 206 from byte 0, r416
# always 416. Behaviours for retries: resetonce sends half of a whole body and resets
# the connection (a range is served whole), resetalways does so to every answer,
# stallonce sends half of a whole body and then nothing, sCODExN[raS] answers CODE
# (with Retry-After: S) to the first N video requests of its identifier, and
# chunkedshort ends a chunked body cleanly at half its Content-Length.

import argparse
import re
import socket
import socketserver
import struct
import threading
import time
from pathlib import Path
from http.client import responses

ARGS = None
LOG_LOCK = threading.Lock()
COUNTS = {}  # video requests so far, by identifier


def response(code, headers, body=b""):
    head = [f"HTTP/1.1 {code} {responses.get(code, 'Status')}"] + headers
    return ("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body


def redirect(code, location, last=False):
    body = b"<html>moved</html>"
    others = ["Content-Type: text/html", f"Content-Length: {len(body)}"]
    location = [f"Location: {location}"]
    return response(code, others + location if last else location + others, body)


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        buffer = b""
        try:
            while True:
                while b"\r\n\r\n" not in buffer:
                    chunk = self.request.recv(65536)
                    if not chunk:
                        return
                    buffer += chunk
                head, _, buffer = buffer.partition(b"\r\n\r\n")
                if ARGS.log:
                    with LOG_LOCK, open(ARGS.log, "ab") as log:
                        log.write(head + b"\r\n\r\n")
                self.head = head.decode("latin-1")
                if not self.answer(head.split(b" ")[1].decode("latin-1")):
                    return
        except (OSError, IndexError):
            pass

    # The N of "Range: bytes=N-", or None.
    def range_start(self):
        found = re.search(r"^Range: *bytes=(\d+)-\r?$", self.head, re.M | re.I)
        return int(found[1]) if found else None

    # Returns False when the connection must end after the answer.
    def answer(self, path):
        if path.startswith("/v/") and path.endswith("&feature=dir"):
            return self.step1(path[3:-len("&feature=dir")])
        if path.startswith("/get_video?video_id="):
            video_id, *params = path[len("/get_video?video_id="):].split("&")
            if any(p.startswith("t=") for p in params):
                return self.step2(video_id)
            return self.serve(video_id)
        if path.startswith("/media/"):
            path = "/file/" + path[len("/media/"):].partition("?")[0].rpartition(".")[0]
        chain = re.match(r"/file/chain(30\d)", path)
        if chain:
            return self.send(redirect(int(chain[1]), "/final/" + path[len("/file/"):]))
        if path.startswith(("/file/", "/final/")):
            return self.serve(path.split("/", 2)[2])
        return self.send(response(404, ["Content-Length: 0"]))

    def send(self, data, keep=True):
        self.request.sendall(data)
        return keep

    def step1(self, video_id):
        name = video_id.partition("-")[0]
        location = f"http://{ARGS.authority}/player?video_id={video_id}"
        if name != "notoken":
            location += f"&t=TOK{len(video_id)}"
        return self.misbehave(name, "r1", location)

    def step2(self, video_id):
        name = video_id.partition("-")[0]
        location = f"http://{ARGS.authority}/file/{video_id}"
        if name.startswith("cdn"):
            location = f"http://v7.{ARGS.cdn_domain}/get_video?video_id={video_id}"
            if name != "cdnnoorigin":
                location += f"&origin={ARGS.origin or ARGS.authority}"
            if name == "cdnrest":
                location += "&rest=1&more=2"
        if name == "fileredirect":
            location = "file:///etc/passwd"
        return self.misbehave(name, "r2", location)

    # sCODE: that status; last: the Location header last; stall: no answer.
    def misbehave(self, name, step, location):
        how = name[2:] if name.startswith(step) else ""
        if how == "stall":
            time.sleep(120)
            return False
        if how.startswith("s"):
            return self.send(redirect(int(how[1:]), location))
        return self.send(redirect(303, location, last=how == "last"))

    # r3s404: an error page; nolength: no Content-Length; more: data beyond it; short:
    # half the body, then the end of the connection; stallbody: half, then nothing;
    # slow: small pieces with pauses, a transfer that keeps going but never stalls.
    def serve(self, video_id):
        name, _, size = video_id.partition("-")
        size = int(size) if size.isdigit() else 10000
        body = Path(ARGS.video).read_bytes() if name == "video" and ARGS.video else body_of(size)
        busy = re.fullmatch(r"s(\d{3})x(\d+)(?:ra(\d+))?", name)
        if busy:
            with LOG_LOCK:
                COUNTS[video_id] = COUNTS.get(video_id, 0) + 1
                if COUNTS[video_id] <= int(busy[2]):
                    after = [f"Retry-After: {busy[3]}"] if busy[3] else []
                    return self.send(response(int(busy[1]), ["Content-Length: 5"] + after, b"busy!"))
        if name == "r3s404":
            return self.send(response(404, ["Content-Length: 9"], b"not found"))
        if name == "nolength":
            return self.send(response(200, ["Connection: close"], body), keep=False)
        if name == "chunkedshort":
            half = body[: len(body) // 2]
            chunked = b"%x\r\n" % len(half) + half + b"\r\n0\r\n\r\n"
            return self.send(response(200, [f"Content-Length: {len(body)}", "Transfer-Encoding: chunked"], chunked))

        status, start, part = 200, self.range_start(), body
        if start is not None and name != "norange":
            if name == "r416" or start >= len(body):
                return self.send(response(416, [f"Content-Range: bytes */{len(body)}", "Content-Length: 0"]))
            start = 0 if name == "badrange" else start
            status, part = 206, body[start:]
        headers = ["Content-Type: video/x-flv", f"Content-Length: {len(part)}"]
        if status == 206:
            headers.append(f"Content-Range: bytes {start}-{len(body) - 1}/{len(body)}")
        whole = status == 200
        if name == "more":
            return self.send(response(status, headers, part + b"EXTRA" * 200), keep=False)
        if name == "resetalways" or (name == "resetonce" and whole):
            self.send(response(status, headers, part[: len(part) // 2]))
            # A zero linger makes the close a reset rather than an orderly end.
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.request.close()
            return False
        if name in ("short", "stallbody") or (name == "stallonce" and whole):
            self.send(response(status, headers, part[: len(part) // 2]))
            time.sleep(0 if name == "short" else 120)
            return False
        if name == "slow":
            self.send(response(status, headers))
            for at in range(0, len(part), 4096):
                self.send(part[at:at + 4096])
                time.sleep(0.05)
            return True
        return self.send(response(status, headers, part))


def body_of(size):
    return (bytes(range(251)) * (size // 251 + 1))[:size]


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = allow_reuse_address = True
    request_queue_size = 256


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log")
    parser.add_argument("--cdn-domain", default="cdn.test")
    parser.add_argument("--origin", help="HOST:PORT the CDN address names (default: this service)")
    parser.add_argument("--video", help="a file that the identifier 'video' serves")
    ARGS = parser.parse_args()
    with Server(("127.0.0.1", ARGS.port), Handler) as server:
        ARGS.authority = "127.0.0.1:%d" % server.server_address[1]
        print(server.server_address[1], flush=True)
        server.serve_forever()


if __name__ == "__main__":
    main()
