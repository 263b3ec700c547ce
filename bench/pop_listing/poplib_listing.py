#!/usr/bin/python3
"""The reference client: LIST, then one "TOP n 10" at a time, as a plain script would.

   poplib_listing.py PORT [RUNS]
"""
import poplib
import sys
import time


def list_once(port):
    start = time.perf_counter()
    p = poplib.POP3("127.0.0.1", port)
    p.user("alice")
    p.pass_("secret")
    _, lines, _ = p.list()
    count = len(lines)
    for n in range(1, count + 1):
        p.top(n, 10)
    elapsed = time.perf_counter() - start
    p.quit()  # after the clock: the window's figure ends at "listed", before any QUIT
    return elapsed, count


def report(label, list_once):
    """Lists RUNS times on PORT (the command line's) and prints each run and the median."""
    port = int(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    times = []
    for n in range(runs):
        elapsed, count = list_once(port)
        print(f"{label} run {n + 1}: {elapsed:.3f} s ({count} messages)")
        times.append(elapsed)
    times.sort()
    print(f"{label} median {times[len(times) // 2]:.3f} s, best {times[0]:.3f} s")


def main():
    report("poplib", list_once)


if __name__ == "__main__":
    main()
