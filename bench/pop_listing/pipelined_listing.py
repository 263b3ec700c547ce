#!/usr/bin/python3
"""A client that writes every TOP at once after LIST and then reads the replies in order:
the fastest a listing can be over a slow line.

   pipelined_listing.py PORT [RUNS]
"""
import socket
import time

from poplib_listing import report


class Reader:
    def __init__(self, sock):
        self.sock, self.buf = sock, b""

    def line(self):
        while b"\r\n" not in self.buf:
            self.buf += self.sock.recv(1 << 16)
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line

    def multi(self):
        status, lines = self.line(), []
        if status.startswith(b"+OK"):
            while (line := self.line()) != b".":
                lines.append(line)
        return status, lines


def list_once(port):
    start = time.perf_counter()
    sock = socket.create_connection(("127.0.0.1", port))
    r = Reader(sock)
    r.line()
    sock.sendall(b"USER alice\r\n")
    r.line()
    sock.sendall(b"PASS secret\r\n")
    r.line()
    sock.sendall(b"LIST\r\n")
    _, lines = r.multi()
    count = len(lines)
    sock.sendall(b"".join(b"TOP %d 10\r\n" % n for n in range(1, count + 1)))
    for _ in range(count):
        r.multi()
    elapsed = time.perf_counter() - start
    sock.sendall(b"QUIT\r\n")
    r.line()
    sock.close()
    return elapsed, count


def main():
    report("pipelined", list_once)


if __name__ == "__main__":
    main()
