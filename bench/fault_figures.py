#!/usr/bin/env python3
"""Memory and processor figures of the real program under three loads too heavy for the test
suite: a 1 GiB burst of transcript lines, a transcript grown by 64 GiB without a line feed (a
sparse extension), and a 200 MB answer from the usage service.

    bench/fault_figures.py <brimlet binary> [burst] [sparse] [body]

The binary must be a test build (./setup.sh test makes build-test/brimlet): the body case serves
the answer on 127.0.0.1:47613, where test builds ask. Each case runs the program in a temporary
home folder on the offscreen platform without a session bus, and prints what /proc tells of it.
"""

import http.server
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

PAGE = os.sysconf("SC_PAGE_SIZE")
TICKS = os.sysconf("SC_CLK_TCK")
MIB = 1024 * 1024


def usage_lines(total_bytes):
    """Blocks of Opus usage lines, about 100 bytes each, as many as make total_bytes."""
    line = json.dumps({"type": "assistant", "message": {
        "model": "claude-opus-4-1", "usage": {"input_tokens": 4, "output_tokens": 1}}},
        separators=(",", ":")).encode() + b"\n"
    block = line * (MIB // len(line))
    for _ in range(total_bytes // len(block)):
        yield block


def status_of(pid):
    """Resident and peak resident memory in MB, and processor seconds used so far."""
    fields = {}
    with open(f"/proc/{pid}/status") as status:
        for row in status:
            key, _, value = row.partition(":")
            fields[key] = value.strip()
    with open(f"/proc/{pid}/stat") as stat:
        times = stat.read().rsplit(")", 1)[1].split()
    cpu = (int(times[11]) + int(times[12])) / TICKS
    return int(fields["VmRSS"].split()[0]) / 1024, int(fields["VmHWM"].split()[0]) / 1024, cpu


def environment(home):
    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM="offscreen",
               DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent")
    env.pop("XDG_CONFIG_HOME", None)
    return env


def running(binary, home):
    """The program in the menu-bar use, with one empty transcript that it follows from the start."""
    projects = os.path.join(home, ".claude", "projects", "p")
    os.makedirs(projects)
    transcript = os.path.join(projects, "session.jsonl")
    open(transcript, "wb").close()
    process = subprocess.Popen([binary], env=environment(home), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    time.sleep(5)
    return process, transcript


def settle(pid, quiet_seconds=6, limit=300):
    """Waits until the program has used no processor time for a while; returns the seconds."""
    start = time.time()
    last = status_of(pid)[2]
    quiet_since = time.time()
    while time.time() - start < limit:
        time.sleep(0.5)
        cpu = status_of(pid)[2]
        if cpu - last > 0.02:
            quiet_since = time.time()
        last = cpu
        if time.time() - quiet_since >= quiet_seconds:
            break
    return time.time() - start


def burst(binary):
    with tempfile.TemporaryDirectory() as home:
        process, transcript = running(binary, home)
        idle, _, cpu_before = status_of(process.pid)
        began = time.time()
        with open(transcript, "ab") as file:
            for block in usage_lines(1024 * MIB):
                file.write(block)
        written = time.time() - began
        settle(process.pid)
        after, peak, cpu_after = status_of(process.pid)
        process.terminate()
        process.wait()
        print(f"burst: 1 GiB appended in {written:.1f} s; resident idle {idle:.1f} MB, "
              f"peak {peak:.1f} MB, after {after:.1f} MB ({after - idle:+.1f} MB); "
              f"{cpu_after - cpu_before:.2f} s of processor time")


def sparse(binary):
    with tempfile.TemporaryDirectory() as home:
        process, transcript = running(binary, home)
        _, _, cpu0 = status_of(process.pid)
        time.sleep(60)
        _, _, cpu1 = status_of(process.pid)
        os.truncate(transcript, 64 * 1024 * MIB)
        time.sleep(60)
        rss, _, cpu2 = status_of(process.pid)
        process.terminate()
        process.wait()
        print(f"sparse tail: processor time over 60 s idle {cpu1 - cpu0:.2f} s, over the 60 s "
              f"after a 64 GiB extension without a line feed {cpu2 - cpu1:.2f} s "
              f"({(cpu2 - cpu1) / 60 * 100:.1f} % of a core); resident {rss:.1f} MB")


class HugeBody(http.server.BaseHTTPRequestHandler):
    size = 200 * 1000 * 1000

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(self.size))
        self.end_headers()
        chunk = b" " * 1000 * 1000
        try:
            for _ in range(self.size // len(chunk)):
                self.wfile.write(chunk)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def log_message(self, *arguments):
        pass


def body(binary):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 47613), HugeBody)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with tempfile.TemporaryDirectory() as home:
        os.makedirs(os.path.join(home, ".claude"))
        with open(os.path.join(home, ".claude", ".credentials.json"), "w") as credential:
            json.dump({"claudeAiOauth": {"accessToken": "token"}}, credential)
        began = time.time()
        process = subprocess.Popen([binary, "--selftest", os.path.join(home, "out.png")],
                                   env=environment(home), stdout=subprocess.PIPE, text=True)
        said = process.stdout.readline().strip()
        process.stdout.read()
        _, _, usage = os.wait4(process.pid, 0)
        took = time.time() - began
    server.shutdown()
    print(f"200 MB body: peak resident {usage.ru_maxrss / 1024:.1f} MB, {took:.1f} s; "
          f"the self-test said: {said}")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cases = {"burst": burst, "sparse": sparse, "body": body}
    for name in sys.argv[2:] or cases:
        cases[name](os.path.abspath(sys.argv[1]))


if __name__ == "__main__":
    main()
