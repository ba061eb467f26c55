#!/usr/bin/python3
"""An FTP server for the integration tests on 127.0.0.1: one user whose root is FOLDER.

Usage: ftp_server.py FOLDER USER PASSWORD
Prints "PORT <n>" once it accepts connections, then serves until terminated.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    folder, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, folder, perm="elradfmw")
    handler = FTPHandler
    handler.authorizer = authorizer
    # A refused log-in is answered at once; the default pause only slows the tests down.
    handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT", server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


main()
