#!/usr/bin/env python3
"""A stand-in for the video service, for tests and benchmarks.

Listens on 127.0.0.1 (an ephemeral port unless --port is given), prints the port on
the first line of its standard output, and serves the three steps of the fetch chain:

  GET /v/ID&feature=dir                   -> 303, Location ...&t=TOKEN
  GET /get_video?video_id=ID&t=TOKEN...   -> 303 to the CDN (...&origin=HOST:PORT) or elsewhere
  GET /get_video?video_id=ID[&rest]       -> the video (the origin, reached from the CDN address)
  GET /file/ID                            -> the video (the address that is not on the CDN)

With --video FILE, the identifier "video" serves that file, so a real clip can be
downloaded and converted (the demo and the end-to-end tests).

The video identifier picks the behaviour: NAME or NAME-SIZE, SIZE being the body length
(default 10000). Body byte i is i % 251. Every request head is appended, byte for byte,
to the --log file before the answer is sent.
"""

import argparse
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

STALL_SECONDS = 120
STATUS_TEXT = {200: "OK", 300: "Multiple Choices", 301: "Moved Permanently", 302: "Found",
               303: "See Other", 304: "Not Modified", 305: "Use Proxy", 306: "Switch Proxy",
               307: "Temporary Redirect", 308: "Permanent Redirect", 404: "Not Found"}
PATTERN = bytes(range(251))


def body_of(size):
    reps = size // len(PATTERN) + 1
    return (PATTERN * reps)[:size]


class Config:
    host = "127.0.0.1"
    port = 0
    cdn_domain = "cdn.test"
    origin = None
    video = None
    log_path = None
    log_lock = threading.Lock()

    @classmethod
    def authority(cls):
        return f"{cls.host}:{cls.port}"


def split_id(video_id):
    name, _, size = video_id.partition("-")
    digits = ""
    for ch in size:
        if not ch.isdigit():
            break
        digits += ch
    return name, int(digits) if digits else 10000


def response(code, headers, body=b"", location_last=False):
    lines = [f"HTTP/1.1 {code} {STATUS_TEXT.get(code, 'Status')}"]
    location = [h for h in headers if h.lower().startswith("location:")]
    others = [h for h in headers if not h.lower().startswith("location:")]
    ordered = others + location if location_last else location + others
    lines += ordered
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body


def redirect(code, location, header_name="Location", last=False):
    body = b"<html>moved</html>"
    headers = [f"{header_name}: {location}", "Content-Type: text/html",
               f"Content-Length: {len(body)}"]
    return response(code, headers, body, location_last=last)


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.buffer = b""

    def read_head(self):
        while b"\r\n\r\n" not in self.buffer:
            try:
                chunk = self.request.recv(65536)
            except OSError:
                return None
            if not chunk:
                return None
            self.buffer += chunk
        head, _, self.buffer = self.buffer.partition(b"\r\n\r\n")
        return head + b"\r\n\r\n"

    def record(self, head):
        if not Config.log_path:
            return
        with Config.log_lock, open(Config.log_path, "ab") as log:
            log.write(head)

    def reset(self):
        # An abortive close: the client sees a connection reset.
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.request.close()

    def stall(self):
        time.sleep(STALL_SECONDS)

    def handle(self):
        while True:
            head = self.read_head()
            if head is None:
                return
            self.record(head)
            target = head.split(b"\r\n", 1)[0].split(b" ")
            path = target[1].decode("latin-1") if len(target) > 1 else "/"
            keep = self.answer(path)
            if not keep:
                try:
                    self.request.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                return

    # Returns False when the connection must end after the answer.
    def answer(self, path):
        if path.startswith("/v/") and path.endswith("&feature=dir"):
            return self.step1(path[3:-len("&feature=dir")])
        if path.startswith("/get_video?"):
            query = path[len("/get_video?"):]
            params = query.split("&")
            if not params[0].startswith("video_id="):
                return self.send(response(404, ["Content-Length: 0"]))
            video_id = params[0][len("video_id="):]
            if any(p.startswith("t=") for p in params[1:]):
                return self.step2(video_id)
            return self.serve(video_id)
        if path.startswith("/file/"):
            return self.file_step(path[len("/file/"):])
        if path.startswith("/final/"):
            return self.serve(path[len("/final/"):])
        return self.send(response(404, ["Content-Length: 0"]))

    def send(self, data, keep=True):
        try:
            self.request.sendall(data)
        except OSError:
            return False
        return keep

    def step1(self, video_id):
        name, _ = split_id(video_id)
        host = Config.authority()
        location = f"http://{host}/player?video_id={video_id}&t=TOK{len(video_id)}"
        if name == "tokentail":
            location += "&x=1&y=2"
        if name == "notoken":
            location = f"http://{host}/player?video_id={video_id}"
        if name == "tokenat0":
            location = "&t=TOKEN"
        if name.startswith("r1"):
            return self.misbehave(name[2:], location)
        return self.send(redirect(303, location))

    def step2(self, video_id):
        name, _ = split_id(video_id)
        host = Config.authority()
        origin = Config.origin or host
        location = f"http://{host}/file/{video_id}"
        if name.startswith("cdn"):
            location = f"http://v7.{Config.cdn_domain}/get_video?video_id={video_id}&origin={origin}"
            if name == "cdnrest":
                location += "&rest=1&more=2"
            elif name == "cdnpadded":
                location = (f"http://v7.{Config.cdn_domain}/get_video?video_id={video_id}"
                            f"&origin=  {origin}  ")
            elif name == "cdnnoorigin":
                location = f"http://v7.{Config.cdn_domain}/get_video?video_id={video_id}"
            elif name == "cdnoriginat0":
                location = f"&origin={Config.cdn_domain}"
        if name == "fileredirect":
            location = "file:///etc/passwd"
        if name.startswith("r2"):
            return self.misbehave(name[2:], location)
        return self.send(redirect(303, location))

    def misbehave(self, how, location):
        if how.startswith("s") and how[1:].isdigit():
            code = int(how[1:])
            if code == 200:
                return self.send(response(200, ["Content-Length: 2"], b"ok"))
            return self.send(redirect(code, location))
        if how == "lower":
            return self.send(redirect(303, location, header_name="location"))
        if how == "last":
            return self.send(redirect(303, location, last=True))
        if how == "noloc":
            return self.send(response(303, ["Content-Length: 0"]))
        if how == "garbage":
            return self.send(b"garbage\r\n\r\n", keep=False)
        if how == "reset":
            self.reset()
            return False
        if how == "stall":
            self.stall()
            return False
        return self.send(redirect(303, location))

    def file_step(self, video_id):
        name, _ = split_id(video_id)
        if name == "chain307":
            return self.send(redirect(307, f"/final/{video_id}"))
        if name == "chain308":
            return self.send(redirect(308, f"http://{Config.authority()}/final/{video_id}"))
        return self.serve(video_id)

    def serve(self, video_id):
        name, size = split_id(video_id)
        if name == "video" and Config.video is not None:
            size = len(Config.video)
            return self.send(response(200, ["Content-Type: video/x-flv", f"Content-Length: {size}"],
                                      Config.video))
        body = body_of(size)
        if name == "r3reset":
            self.reset()
            return False
        if name == "r3stall":
            self.stall()
            return False
        if name == "r3s404":
            page = b"<html>" + b"not found " * 40 + b"</html>"
            return self.send(response(404, ["Content-Type: text/html",
                                            f"Content-Length: {len(page)}"], page))
        if name == "nolength":
            self.send(response(200, ["Content-Type: video/x-flv", "Connection: close"], body))
            return False
        if name == "zero":
            return self.send(response(200, ["Content-Type: video/x-flv", "Content-Length: 0"]))
        headers = ["Content-Type: video/x-flv", f"Content-Length: {size}"]
        if name == "short":
            self.send(response(200, headers, body[: size // 2]))
            return False
        if name == "more":
            self.send(response(200, headers + ["Connection: close"], body + b"EXTRA" * 200))
            return False
        if name == "bodyreset":
            self.send(response(200, headers, body[: size // 2]))
            time.sleep(0.2)
            self.reset()
            return False
        if name == "stallbody":
            self.send(response(200, headers, body[: size // 2]))
            self.stall()
            return False
        if name == "slow":
            # Small pieces with pauses: a transfer that keeps going but never stalls.
            if not self.send(response(200, headers)):
                return False
            for start in range(0, size, 4096):
                if not self.send(body[start:start + 4096]):
                    return False
                time.sleep(0.05)
            return True
        return self.send(response(200, headers, body))


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 256


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log")
    parser.add_argument("--cdn-domain", default="cdn.test")
    parser.add_argument("--origin", help="HOST:PORT that the CDN address names (default: this service)")
    parser.add_argument("--video", help="a file that the identifier 'video' serves")
    args = parser.parse_args()

    if args.video:
        with open(args.video, "rb") as video:
            Config.video = video.read()
    Config.log_path = args.log
    Config.cdn_domain = args.cdn_domain
    Config.origin = args.origin
    with Server((Config.host, args.port), Handler) as server:
        Config.port = server.server_address[1]
        print(Config.port, flush=True)
        server.serve_forever()


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(0)
