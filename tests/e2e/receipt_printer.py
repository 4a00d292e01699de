#!/usr/bin/env python3
"""A stand-in network receipt printer for the printing tests: it listens on a
loopback port, as a printer listens on 9100, and keeps every byte of each
connection in OUT/job.N (N from 1, written whole, then renamed into place).
The port it took goes to OUT/port. It ends by itself after IDLE seconds
without a connection.

Usage: receipt_printer.py OUT [IDLE]
"""
import os
import socket
import sys


def main():
    out = sys.argv[1]
    idle = float(sys.argv[2]) if len(sys.argv) > 2 else 300.0
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    server.settimeout(idle)
    publish(out, "port", str(server.getsockname()[1]).encode())
    jobs = 0
    while True:
        try:
            connection, _ = server.accept()
        except socket.timeout:
            return
        jobs += 1
        with connection:
            connection.settimeout(idle)
            received = bytearray()
            try:
                while True:
                    chunk = connection.recv(65536)
                    if not chunk:
                        break
                    received += chunk
            except socket.timeout:
                pass
        publish(out, "job.%d" % jobs, bytes(received))


def publish(out, name, data):
    partial = os.path.join(out, name + ".part")
    with open(partial, "wb") as f:
        f.write(data)
    os.rename(partial, os.path.join(out, name))


if __name__ == "__main__":
    main()
