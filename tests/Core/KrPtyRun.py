#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal and prints what it wrote there, then "\nEXIT <status>".

usage: KrPtyRun.py [--interrupt-after SECONDS] COMMAND [ARGS...]
With --interrupt-after, types Ctrl-C on the terminal after that many seconds, as a user would.
"""
import os
import pty
import select
import sys
import time

args = sys.argv[1:]
interrupt_after = None
if args[:1] == ["--interrupt-after"]:
    interrupt_after = float(args[1])
    args = args[2:]

pid, fd = pty.fork()
if pid == 0:
    os.execvp(args[0], args)

out = bytearray()
start = time.monotonic()
interrupted = False
while True:
    if interrupt_after is not None and not interrupted and time.monotonic() - start >= interrupt_after:
        os.write(fd, b"\x03")
        interrupted = True
    ready, _, _ = select.select([fd], [], [], 0.05)
    if fd in ready:
        try:
            data = os.read(fd, 65536)
        except OSError:  # the child closed the terminal
            break
        if not data:
            break
        out += data
_, status = os.waitpid(pid, 0)
code = os.waitstatus_to_exitcode(status)
sys.stdout.buffer.write(bytes(out) + b"\nEXIT %d\n" % code)
