#!/usr/bin/python3
"""The network alone: logs in, sends RETR 1 and reads the reply into one growing buffer until
its end mark, nothing else done with it. The rate the reader's download is compared with.

   retr_only.py PORT [RUNS]
"""
import socket
import sys
import time


def retr_once(port):
    sock = socket.create_connection(("127.0.0.1", port))
    buf = bytearray()

    def line():
        while b"\r\n" not in buf:
            buf.extend(sock.recv(1 << 18))
        end = buf.index(b"\r\n")
        text = bytes(buf[:end])
        del buf[:end + 2]
        return text

    line()
    for command in (b"USER alice\r\n", b"PASS secret\r\n"):
        sock.sendall(command)
        line()
    start = time.perf_counter()
    sock.sendall(b"RETR 1\r\n")
    line()
    reply = bytearray(buf)
    while not reply.endswith(b"\r\n.\r\n"):
        reply.extend(sock.recv(1 << 18))
    seconds = time.perf_counter() - start
    sock.sendall(b"QUIT\r\n")
    sock.close()
    return len(reply), seconds


def main():
    port, runs = int(sys.argv[1]), int(sys.argv[2]) if len(sys.argv) > 2 else 3
    rates = []
    for _ in range(runs):
        size, seconds = retr_once(port)
        rates.append(size / 1048576 / seconds)
    rates.sort()
    print(f"network alone (RETR read by a bare client): {rates[len(rates) // 2]:.0f} MiB/s "
          f"(median of {runs})")


if __name__ == "__main__":
    main()
