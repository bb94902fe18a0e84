#!/usr/bin/env python3
"""Runs a test command beside a controller that lives in a network namespace of
its own, behind a veth pair whose link the test can cut without a FIN, as when
a controller loses power or its cable.

Usage: netns-controller.py SECONDS COMMAND [ARGUMENTS...]

Before COMMAND starts, namespace "gatecfg-ka" holds one end of the pair,
169.254.231.2/30, and this namespace the other, 169.254.231.1/30. COMMAND finds
in GATECFG_NETNS_CONTROL a loopback address "127.0.0.1:PORT" that takes one
request a line and answers each with one line:

  connect PORT  the controller connects to 169.254.231.1:PORT, reads the banner,
                sends the keep-alive "$127BPING5C" and reads the 11-byte echo;
                answer "ok BANNER|ECHO", or "error TEXT"
  cut           the namespace's end of the link goes down: nothing passes either
                way any more, and the controller keeps its socket open; "ok"

COMMAND is ended after SECONDS. The namespace, the link and the controller are
removed however COMMAND ends, and those left by a run that was killed are
removed first. Needs root and iproute2. The exit status is COMMAND's.
"""
import os
import signal
import socket
import subprocess
import sys
import threading

NAMESPACE = "gatecfg-ka"
HOST_END, NS_END = "gkah", "gkan"
HOST_ADDR, NS_ADDR = "169.254.231.1", "169.254.231.2"
KEEP_ALIVE = b"$127BPING5C\r\n"
ECHO_SIZE = 11


def ip(*args, ns=None, check=True):
    command = ["ip", "netns", "exec", ns, "ip", *args] if ns else ["ip", *args]
    return subprocess.run(command, check=check, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def remove_link():
    # Deleting either end removes the pair.
    ip("netns", "del", NAMESPACE, check=False)
    ip("link", "del", HOST_END, check=False)


def make_link():
    subprocess.run(["modprobe", "veth"], check=False, stderr=subprocess.DEVNULL)
    ip("netns", "add", NAMESPACE)
    ip("link", "add", HOST_END, "type", "veth", "peer", "name", NS_END)
    ip("link", "set", NS_END, "netns", NAMESPACE)
    ip("addr", "add", HOST_ADDR + "/30", "dev", HOST_END)
    ip("link", "set", HOST_END, "up")
    ip("addr", "add", NS_ADDR + "/30", "dev", NS_END, ns=NAMESPACE)
    ip("link", "set", NS_END, "up", ns=NAMESPACE)
    ip("link", "set", "lo", "up", ns=NAMESPACE)


def run_controller(port):
    """The controller's side, run inside the namespace: prints one answer line
    and then holds its connection until it is killed."""
    try:
        s = socket.create_connection((HOST_ADDR, port), timeout=30)
        banner = b""
        while not banner.endswith(b"\n"):
            byte = s.recv(1)
            if not byte:
                raise OSError("closed before the banner ended")
            banner += byte
        s.sendall(KEEP_ALIVE)
        echo = b""
        while len(echo) < ECHO_SIZE:
            chunk = s.recv(ECHO_SIZE - len(echo))
            if not chunk:
                raise OSError("closed before the echo")
            echo += chunk
        print("ok %s|%s" % (banner.rstrip(b"\r\n").decode(), echo.decode()), flush=True)
    except OSError as e:
        print("error %s" % e, flush=True)
        return
    sys.stdin.read()


class Controller:
    def __init__(self):
        self.process = None

    def connect(self, port):
        if self.process:
            return "error already connected"
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", NAMESPACE, sys.executable, os.path.abspath(__file__),
             "--controller", str(port)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        return self.process.stdout.readline().strip() or "error the controller ended"

    def stop(self):
        if self.process:
            self.process.kill()
            self.process.wait()


def serve(listener, controller):
    connection, _ = listener.accept()
    with connection, connection.makefile("r") as requests:
        for request in requests:
            words = request.split()
            if words[:1] == ["connect"] and len(words) == 2 and words[1].isdigit():
                answer = controller.connect(int(words[1]))
            elif words == ["cut"]:
                down = ip("link", "set", NS_END, "down", ns=NAMESPACE, check=False)
                answer = "ok" if down.returncode == 0 else "error " + down.stderr.decode().strip()
            else:
                answer = "error unknown request %r" % request.strip()
            connection.sendall((answer + "\n").encode())


def main():
    if sys.argv[1:2] == ["--controller"]:
        run_controller(int(sys.argv[2]))
        return 0
    seconds, command = float(sys.argv[1]), sys.argv[2:]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    controller = Controller()
    test = None
    remove_link()
    try:
        make_link()
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        threading.Thread(target=serve, args=(listener, controller), daemon=True).start()
        env = dict(os.environ, GATECFG_NETNS_CONTROL="127.0.0.1:%d" % listener.getsockname()[1])
        test = subprocess.Popen(command, env=env)
        try:
            return test.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            print("netns-controller: the test ran past %g s" % seconds, file=sys.stderr)
            return 1
    except subprocess.CalledProcessError as e:
        print("netns-controller: %s failed: %s" % (" ".join(e.cmd), e.stderr.decode().strip()),
              file=sys.stderr)
        return 2
    finally:
        if test and test.poll() is None:
            test.kill()
            test.wait()
        controller.stop()
        remove_link()


if __name__ == "__main__":
    sys.exit(main())
