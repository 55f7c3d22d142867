#!/usr/bin/python3
"""A TCP proxy on loopback that breaks a connection at a chosen point, for tests.

    fault_proxy.py TARGET_PORT

Listens on a free port of 127.0.0.1 and prints "PORT <n>" on standard output; every connection
made to it is passed on to 127.0.0.1:TARGET_PORT. The test steers it with one command a line on
standard input; each command is answered "ok" once it is in force:

    arm PATTERN ACTION   the next time a client sends bytes containing PATTERN (on any
                         connection; matched across reads), that connection meets ACTION once:
        cut       nothing from PATTERN on reaches the server; both ends are closed at once
        drop      the bytes reach the server; its reply is thrown away and both ends closed
        swallow   the bytes reach the server; nothing it sends reaches the client any more,
                  and both ends stay open, silent
        sever     as drop, and every new connection is closed at once until "thaw" (the
                  server is out of reach afterwards)
        stall     nothing from PATTERN on moves in either direction; the server's end stays
                  open also after the client closed its end (a dead network, not a closed
                  connection)
    thaw                 new connections are taken again (after "sever")

When an armed action takes effect the proxy prints "fired ACTION". The proxy ends at the end
of its standard input, so a test that dies leaves no proxy behind.
"""

import os
import selectors
import socket
import sys

BUFFER = 65536


class Link:
    """One client connection and its connection to the server."""

    def __init__(self, client, server):
        self.client = client
        self.server = server
        self.tail = b""          # the client's last bytes, to find a pattern split over reads
        self.silent_down = False  # the server's bytes are thrown away
        self.stalled = False      # nothing moves either way
        self.drop_on_reply = False


class Proxy:
    def __init__(self, target_port):
        self.target = ("127.0.0.1", target_port)
        self.sel = selectors.DefaultSelector()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(64)
        self.sel.register(self.listener, selectors.EVENT_READ, ("accept", None))
        self.sel.register(sys.stdin, selectors.EVENT_READ, ("command", None))
        self.links = []
        self.armed = None  # (pattern bytes, action)
        self.refusing = False
        self.running = True
        self.pending = b""

    def say(self, text):
        sys.stdout.write(text + "\n")
        sys.stdout.flush()

    def accept(self):
        client, _ = self.listener.accept()
        if self.refusing:
            client.close()
            return
        try:
            server = socket.create_connection(self.target)
        except OSError:
            client.close()
            return
        for s in (client, server):
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        link = Link(client, server)
        self.links.append(link)
        self.sel.register(client, selectors.EVENT_READ, ("data", link))
        self.sel.register(server, selectors.EVENT_READ, ("data", link))

    def shut(self, link):
        if link not in self.links:
            return
        self.links.remove(link)
        for s in (link.client, link.server):
            try:
                self.sel.unregister(s)
            except (KeyError, ValueError):
                pass
            try:
                # A reset, as a broken network or a dead peer gives, not an orderly end.
                s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
                s.close()
            except OSError:
                pass

    def fire(self, link, action):
        self.armed = None
        self.say("fired " + action)

    def data(self, link, source):
        try:
            chunk = source.recv(BUFFER)
        except OSError:
            chunk = b""
        if not chunk:
            if link.stalled and source is link.client:
                # The server never hears of it: its end stays open, silent.
                self.sel.unregister(link.client)
                link.client.close()
                return
            self.shut(link)
            return
        if link.stalled:
            return
        if source is link.client:
            if self.armed:
                pattern, action = self.armed
                seen = link.tail + chunk
                if pattern in seen:
                    self.fire(link, action)
                    if action == "cut":
                        self.shut(link)
                        return
                    if action == "stall":
                        link.stalled = True
                        return
                    if action == "swallow":
                        link.silent_down = True
                    elif action in ("drop", "sever"):
                        link.drop_on_reply = True
                        self.refusing = action == "sever"
                link.tail = seen[-max(len(pattern) - 1, 1):]
            self.send(link, link.server, chunk)
        else:
            if link.drop_on_reply:
                self.shut(link)
                return
            if link.silent_down:
                return
            self.send(link, link.client, chunk)

    def send(self, link, target, chunk):
        try:
            target.sendall(chunk)
        except OSError:
            self.shut(link)

    def commands(self):
        # Read whatever arrived; a buffered reader would hide a second line from select().
        chunk = os.read(sys.stdin.fileno(), 4096)
        if not chunk:
            self.running = False
            return
        self.pending += chunk
        while b"\n" in self.pending:
            line, self.pending = self.pending.split(b"\n", 1)
            self.command(line.decode())

    def command(self, line):
        words = line.split()
        if not words:
            return
        if words[0] == "arm" and len(words) == 3 and words[2] in ("cut", "drop", "sever", "swallow", "stall"):
            self.armed = (words[1].encode(), words[2])
        elif words[0] == "thaw":
            self.refusing = False
        else:
            self.say("error " + line.strip())
            return
        self.say("ok")

    def run(self):
        self.say("PORT %d" % self.listener.getsockname()[1])
        while self.running:
            for key, _ in self.sel.select():
                kind, link = key.data
                if kind == "accept":
                    self.accept()
                elif kind == "command":
                    self.commands()
                elif link in self.links:
                    self.data(link, key.fileobj)


if __name__ == "__main__":
    Proxy(int(sys.argv[1])).run()
