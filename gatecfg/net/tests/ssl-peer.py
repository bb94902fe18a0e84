#!/usr/bin/env python3
"""Runs a Linux command (Debian's openssl, or a peer of our own in Python) as
the TLS or TCP peer of a socket test under Wine, driven through files in a
control directory, for a bounded time.

Usage: ssl-peer.py DIR SECONDS PROGRAM ARGUMENTS...

An argument containing "{port}" gets a free loopback port in its place; DIR/port
holds that number once the command listens on it (0 without such an argument,
once the command has started). DIR/in.0, DIR/in.1, ... are handed to the
command's input in that order as they appear; DIR/eof closes the input after
them; DIR/stop kills the command, as does the end of SECONDS. The command's
output and errors go to DIR/out and DIR/err, and DIR/exit holds its exit
status once it has ended, however it ended.

The launcher detaches from the standard handles it inherited, so that nothing
waits for it, and never outlives the command.
"""
import os
import queue
import socket
import subprocess
import sys
import threading
import time


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    try:
        with open("/proc/net/tcp") as table:
            for line in table.readlines()[1:]:
                fields = line.split()
                if fields[3] == "0A" and int(fields[1].split(":")[1], 16) == port:
                    return True
    except OSError:
        pass
    return False


def publish(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.rename(path + ".tmp", path)


def main():
    ctl, seconds, args = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    port = 0
    if any("{port}" in a for a in args):
        port = free_port()
        args = [a.replace("{port}", str(port)) for a in args]
    deadline = time.monotonic() + seconds
    with open(os.path.join(ctl, "out"), "wb") as out, open(os.path.join(ctl, "err"), "wb") as err:
        command = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=out,
                                   stderr=err, cwd=ctl)
        chunks = queue.Queue()

        def feed():
            while True:
                data = chunks.get()
                try:
                    if data is None:
                        command.stdin.close()
                        return
                    command.stdin.write(data)
                    command.stdin.flush()
                except (OSError, ValueError):
                    return

        threading.Thread(target=feed, daemon=True).start()
        announced = False
        next_input = 0
        input_closed = False
        while command.poll() is None:
            if not announced and (port == 0 or listening(port)):
                publish(os.path.join(ctl, "port"), str(port))
                announced = True
            chunk = os.path.join(ctl, "in.%d" % next_input)
            if os.path.exists(chunk):
                with open(chunk, "rb") as f:
                    chunks.put(f.read())
                os.remove(chunk)
                next_input += 1
                continue
            if not input_closed and os.path.exists(os.path.join(ctl, "eof")):
                chunks.put(None)
                input_closed = True
            if os.path.exists(os.path.join(ctl, "stop")) or time.monotonic() > deadline:
                command.kill()
                break
            time.sleep(0.01)
        status = command.wait()
    publish(os.path.join(ctl, "exit"), str(status))


if __name__ == "__main__":
    main()
