#!/usr/bin/python3
"""A pyftpdlib server on a free loopback port for the FTP benchmark: serves HOME to user
"bench" (password "bench") with full rights, prints the port, and runs until killed."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

logging.basicConfig(level=logging.CRITICAL)
home = sys.argv[1]
auth = DummyAuthorizer()
auth.add_user("bench", "bench", home, perm="elradfmwMT")


class Handler(FTPHandler):
    # Binary from the start, so that the REST probe of the login succeeds.
    def on_connect(self):
        self._current_type = 'i'


Handler.authorizer = auth
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever(timeout=0.2)
