#!/usr/bin/env python3
"""Runs Brimlet in real tray hosts, headless, and measures what a user would see.

    trayhosts.py ci BRIMLET     the CI check: xfce4-panel under Xvfb (exit 0 pass, 1 fail, 77
                                skip when the host cannot run and BRIMLET_REQUIRE_HOSTS is unset)
    trayhosts.py table BRIMLET OUT [HOST…] [--cpu] [--before DIR]
                                the hosts (xfce lxqt plasma gnome waybar trayer i3bar; all by
                                default): cropped screenshots, hosts.json and README.md in OUT;
                                --cpu adds 30 s idle and 30 s pulsing CPU figures of the
                                program, the host, the session bus and the display server,
                                NewIcon signals a second, and ten shots of the pulsing dot;
                                --before names an earlier table (another build's) whose CPU
                                figures are shown beside these
    trayhosts.py menus BRIMLET OUT [HOST…]
                                the menus a new user meets (xfce lxqt plasma gnome waybar; all
                                five by default): opened before the first quota answer and after
                                it, after a failed refresh and after the next good one, Plasma's
                                and LXQt's left-click popups beside their menus, the gauge on a
                                light and a dark panel with its contrast to the panel, and the
                                lines each host logged because of Brimlet; PNGs, menus.json and
                                the README's sections after the table in OUT (menus.py)

BRIMLET is a build whose usage endpoint is http://127.0.0.1:47613 (the test build); a fake usage
service answers there, inside a network namespace of the run's own, so runs never collide with
each other or with the test suite. Each host gets its own display or compositor, session bus,
home and XDG folders. Nothing sleeps blindly: every step waits for what it needs, with a time
limit. The table needs root (GNOME runs in namespaces of its own, sway as nobody); the CI check
does not.
"""
import contextlib
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

USAGE_PORT = 47613
USAGE = {"limits": [
    {"kind": "session", "percent": 36.6, "resets_at": "2026-12-07T15:00:00+00:00"},
    {"kind": "weekly_all", "percent": 72.0, "resets_at": "2026-12-10T03:30:00+00:00"},
    {"kind": "weekly_scoped", "percent": 20.0, "resets_at": "2026-12-10T03:30:00+00:00",
     "scope": {"model": {"display_name": "Opus"}}},
]}
# Claude Code at work, as the pulse is measured: a 300-token Opus reply every second.
OPUS_LINE = json.dumps({"type": "assistant", "message": {
    "model": "claude-opus-4-1", "usage": {"output_tokens": 300}}}) + "\n"
PULSE_SECONDS = 1.0
CONVERT = "/usr/bin/convert"  # ImageMagick's own, not a stand-in earlier on PATH


class HostFailed(Exception):
    """The host or the program could not be brought up: a skip outside CI, a failure in it."""


def wait_for(condition, timeout, what, step=0.2):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise HostFailed(f"timed out after {timeout} s waiting for {what}")
        time.sleep(step)


# ----- pictures ------------------------------------------------------------------------------

class Picture:
    """An RGB screenshot, or the strip `region` (x, y, w, h) of it, read through ImageMagick.
    Coordinates stay those of the whole screen."""

    def __init__(self, path, region=None):
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*region), "+repage"] if region else []
        size = subprocess.run([CONVERT, path, *crop, "-format", "%w %h", "info:"], check=True,
                              capture_output=True, text=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.data = subprocess.run([CONVERT, path, *crop, "-depth", "8", "rgb:-"], check=True,
                                   capture_output=True).stdout
        self.left, self.top = (region[0], region[1]) if region else (0, 0)
        self.path = path

    def rgb(self, x, y):
        i = 3 * ((y - self.top) * self.width + x - self.left)
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def changes_from(self, other, ignore):
        """How many pixels changed outside the rectangle `ignore` (x, y, w, h), and the box
        around them."""
        gx, gy, gw, gh = ignore
        changed, xs, ys = 0, [], []
        for y in range(self.top, self.top + self.height, 2):
            for x in range(self.left, self.left + self.width, 2):
                if not (gx <= x < gx + gw and gy <= y < gy + gh) and \
                        self.rgb(x, y) != other.rgb(x, y):
                    changed += 4
                    xs.append(x)
                    ys.append(y)
        box = (min(xs), min(ys), max(xs) - min(xs) + 2, max(ys) - min(ys) + 2) if xs else None
        return changed, box


def gauge_kind(r, g, b):
    """'o' for the orange of fills and lit dots, 'g' for the greens of tracks and idle dots."""
    if max(r, g, b) - min(r, g, b) <= 40:
        return None
    if r > g + 60 and r > b + 60:
        return "o"
    if g > r + 30 and g > b + 20:
        return "g"
    return None


def find_gauges(picture, kinds=frozenset("og")):
    """The bounding boxes (x, y, w, h) of the gauges on screen: the clusters of gauge colours
    holding both orange and green (`kinds`: only green for a gauge with no quota data yet, all
    tracks and idle dots), at most 100 pixels across."""
    marks = {}
    for y in range(picture.top, picture.top + picture.height):
        for x in range(picture.left, picture.left + picture.width):
            kind = gauge_kind(*picture.rgb(x, y))
            if kind:
                marks[(x, y)] = kind
    seen, boxes = set(), []
    for start in marks:
        if start in seen:
            continue
        cluster, todo = [], [start]
        seen.add(start)
        while todo:
            x, y = todo.pop()
            cluster.append((x, y))
            # The gauge's parts lie at most 4 pixels apart at any size offered.
            for dx in range(-4, 5):
                for dy in range(-4, 5):
                    n = (x + dx, y + dy)
                    if n in marks and n not in seen:
                        seen.add(n)
                        todo.append(n)
        xs = [p[0] for p in cluster]
        ys = [p[1] for p in cluster]
        w, h = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        if {marks[p] for p in cluster} == kinds and len(cluster) >= 40 and w <= 100 and \
                h <= 100:
            boxes.append((min(xs), min(ys), w, h))
    return boxes


def runs(flags):
    """Lengths of the runs of True and of the False gaps between them: (runs, gaps)."""
    found, gaps, current, gap = [], [], 0, 0
    for flag in flags:
        if flag:
            if current == 0 and found:
                gaps.append(gap)
            current += 1
            gap = 0
        else:
            if current:
                found.append(current)
            current = 0
            gap += 1
    if current:
        found.append(current)
    return found, gaps


def measure(picture, box):
    """Bar thicknesses and gaps (rows of the left 60 % of the box where gauge colours cover at
    least a third of the columns) and dot sizes (the right quarter)."""
    x0, y0, w, h = box
    bar_columns = range(x0, x0 + max(1, int(w * 0.6)))
    dot_columns = range(x0 + int(w * 0.75), x0 + w)

    def covered(columns, y):
        hits = sum(1 for x in columns if gauge_kind(*picture.rgb(x, y)))
        return hits * 3 >= len(columns)

    bars, gaps = runs([covered(bar_columns, y) for y in range(y0, y0 + h)])
    dots, _ = runs([any(gauge_kind(*picture.rgb(x, y)) for x in dot_columns)
                    for y in range(y0, y0 + h)])
    return {"box": box, "bars": bars, "gaps": gaps, "dots": dots}


def legible(m):
    return len(m["bars"]) == 3 and min(m["bars"]) >= 3 and len(m["gaps"]) == 2 and \
        min(m["gaps"]) >= 1 and len(m["dots"]) == 2


# ----- a run: processes, display, bus, home ------------------------------------------------------

class Run(contextlib.ExitStack):
    """One host's session: a folder of its own, the processes started in it (ended at exit)."""

    def __init__(self, name, keep=None):
        super().__init__()
        self.name = name
        self.dir = tempfile.mkdtemp(prefix=f"brimlet-{name}-")
        self.keep = keep  # where screenshots go
        self.processes = []
        self.as_user = []  # a prefix that drops root, for hosts that refuse to run as root
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("XDG_", "DBUS_", "WAYLAND_", "QT_", "DISPLAY"))}
        self.home = os.path.join(self.dir, "home")
        for sub in ("config", "cache", "data", "runtime"):
            os.makedirs(os.path.join(self.dir, sub), mode=0o700)
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=f"{self.dir}/config",
                        XDG_CACHE_HOME=f"{self.dir}/cache", XDG_DATA_HOME=f"{self.dir}/data",
                        XDG_RUNTIME_DIR=f"{self.dir}/runtime", LANG="C.UTF-8", TZ="UTC")
        projects = os.path.join(self.home, ".claude", "projects", "-home-kim-work")
        os.makedirs(projects)
        with open(os.path.join(self.home, ".claude", ".credentials.json"), "w") as f:
            json.dump({"claudeAiOauth": {"accessToken": "host-test", "expiresAt": 1775890800000}},
                      f)
        self.transcript = os.path.join(projects, "session.jsonl")
        open(self.transcript, "w").close()
        self.callback(self.stop)

    def start(self, args, env=None, **kwargs):
        log_path = os.path.join(self.dir, f"{len(self.processes)}-{os.path.basename(args[0])}.log")
        with open(log_path, "ab") as log:
            process = subprocess.Popen(self.as_user + args, env=env or self.env, stdout=log,
                                       stderr=log, stdin=subprocess.DEVNULL,
                                       start_new_session=True, **kwargs)
        process.log_path = log_path
        self.processes.append(process)
        return process

    def stop(self):
        for process in reversed(self.processes):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGTERM)
        for process in reversed(self.processes):
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        if not os.environ.get("BRIMLET_HOSTS_KEEP"):
            shutil.rmtree(self.dir, ignore_errors=True)

    def xvfb(self, size="1024x600"):
        read, write = os.pipe()
        self.display_pid = self.start(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                       f"{size}x24", "-nolisten", "tcp"], pass_fds=(write,)).pid
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        if not display:
            raise HostFailed("Xvfb did not start")
        self.env["DISPLAY"] = f":{display}"

    def session_bus(self):
        """A session bus on a socket file (abstract sockets do not cross network namespaces)."""
        address = f"unix:path={self.dir}/bus"
        self.bus_pid = self.start(["dbus-daemon", "--session", "--nofork",
                                   f"--address={address}"]).pid
        wait_for(lambda: os.path.exists(f"{self.dir}/bus"), 10, "the session bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def brimlet(self, binary, extra_env=None):
        """The program and a fake usage service, in a network namespace of their own if we may."""
        env = dict(self.env, **(extra_env or {}))
        ready = os.path.join(self.dir, "usage-ready")
        serve = f'"{sys.executable}" "{os.path.abspath(__file__)}" serve-usage "{ready}"'
        # The service must listen before the program's first poll, which goes out at once.
        script = f'{serve} & while [ ! -e "{ready}" ]; do sleep 0.05; done; exec "$@"'
        # As root a plain network namespace; otherwise one inside a user namespace of our own.
        wrapper = ["unshare", "-n"] if os.geteuid() == 0 else ["unshare", "-r", "-n"]
        script = "ip link set lo up && " + script
        user, self.as_user = self.as_user, []
        try:
            return self.start(wrapper + ["sh", "-c", script, "sh", *user, binary], env=env)
        finally:
            self.as_user = user

    def screenshot(self, label, region=None):
        path = os.path.join(self.dir, f"{self.name}-{label}.png")
        if "WAYLAND_DISPLAY" in self.env:
            subprocess.run(self.as_user + ["grim", "-"], env=self.env, check=True,
                           stdout=open(path, "wb"))
        else:
            subprocess.run(["import", "-window", "root", path], env=self.env, check=True,
                           capture_output=True)
        if self.keep:
            shutil.copy(path, os.path.join(self.keep, os.path.basename(path)))
        return Picture(path, region)

    def pulse(self):
        """Claude Code at work: an Opus reply line every second, for the rest of the run."""
        if getattr(self, "pulsing", False):
            return
        self.pulsing = True
        stop = threading.Event()

        def write():
            while not stop.wait(PULSE_SECONDS):
                with open(self.transcript, "a") as f:
                    f.write(OPUS_LINE)
        threading.Thread(target=write, daemon=True).start()
        self.callback(stop.set)

    def wait_for_gauge(self, region, timeout=30):
        def seen():
            picture = self.screenshot("gauge", region)
            boxes = find_gauges(picture)
            return (picture, boxes) if boxes else None
        return wait_for(seen, timeout, "the gauge on screen", step=0.5)


# How long a held first answer may wait. The program gives up on a request after 30 s in all
# (20 s without a byte), so a held answer drips a space every few seconds and ends by 25 s.
HOLD_LIMIT = 25
DRIP_SECONDS = 3


def serve_usage(ready):
    """The usage service. The file `usage-mode` beside `ready` decides each answer: "ok" (or no
    file) the quotas, "error" an HTTP 500, "hold" the status line at once and the quotas only
    once the mode changes (or HOLD_LIMIT passes). Every answer is logged to `usage-requests`:
    the time it began, the time it ended and how it ended."""
    folder = os.path.dirname(ready)
    body = json.dumps(USAGE).encode()

    def mode():
        try:
            with open(os.path.join(folder, "usage-mode")) as f:
                return f.read().strip() or "ok"
        except OSError:
            return "ok"

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            began, how = time.time(), mode()
            if how == "error":
                self.send_response(500)
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif how == "hold":
                # No length: the body ends when the connection closes (HTTP/1.0). Leading
                # spaces are whitespace that JSON allows before a value.
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.end_headers()
                dripped = began
                while mode() == "hold" and time.time() - began < HOLD_LIMIT:
                    if time.time() - dripped >= DRIP_SECONDS:
                        self.wfile.write(b" ")
                        self.wfile.flush()
                        dripped = time.time()
                    time.sleep(0.05)
                how = "held" if mode() != "hold" else "held-too-long"
                self.wfile.write(body)
            else:
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
            with open(os.path.join(folder, "usage-requests"), "a") as f:
                f.write(f"{began:.3f} {time.time():.3f} {how}\n")

        def log_message(self, *args):
            pass
    server = http.server.HTTPServer(("127.0.0.1", USAGE_PORT), Handler)
    open(ready, "w").close()
    server.serve_forever()


def cpu_seconds(pid):
    """CPU time of a process and of all its descendants (XFCE's tray runs in a plugin process
    of the panel's)."""
    total, parents = 0.0, {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            parents[int(entry)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
    family = {pid}
    for _ in range(5):
        family |= {p for p, (ppid, _) in parents.items() if ppid in family}
    for p in family:
        total += parents.get(p, (0, 0))[1]
    return total / os.sysconf("SC_CLK_TCK")


# ----- hosts ---------------------------------------------------------------------------------

class Host:
    """A tray host brought up in a run: where its panel is and how to click in it."""
    name = ""
    strip = None  # (x, y, w, h) of the panel on the 1024 x 600 screen

    def __init__(self, run):
        self.run = run
        self.pid = None  # the host's process, for its CPU time

    def prepare(self):
        """The display and the session bus, before the host or the program starts."""
        self.run.xvfb()
        self.run.session_bus()

    def click(self, x, y, button=1):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)],
                       env=self.run.env, check=True)

    def dismiss(self):
        subprocess.run(["xdotool", "key", "Escape"], env=self.run.env, check=False)


class Xfce(Host):
    name = "XFCE 4.18 (xfce4-panel)"
    strip = (0, 0, 1024, 40)

    def start(self):
        self.pid = self.run.start(["xfce4-panel"]).pid


class Lxqt(Host):
    name = "LXQt 1.2 (lxqt-panel)"
    strip = (0, 540, 1024, 60)

    def start(self):
        # Without the desktop's own folders in the search path the panel comes up bare.
        self.run.env["XDG_CONFIG_DIRS"] = "/etc/xdg:/usr/share"
        self.run.start(["openbox"])
        self.pid = self.run.start(["lxqt-panel"]).pid


class Plasma(Host):
    """KDE Plasma 5.27: kded5 owns the watcher, then plasmashell; software rendering."""
    name = "KDE Plasma 5.27 (plasmashell)"
    strip = (0, 540, 1024, 60)

    def start(self):
        self.run.env.update(QT_QUICK_BACKEND="software", KDE_FULL_SESSION="true",
                            XDG_CURRENT_DESKTOP="KDE", KDE_SESSION_VERSION="5")
        # Without a Bluetooth daemon kded5's Bluetooth module asks the bus for obex again and
        # again, keeping the session bus at about 16 % of a core: not what a desktop costs.
        with open(os.path.join(self.run.env["XDG_CONFIG_HOME"], "kded5rc"), "a") as f:
            f.write("[Module-bluedevil]\nautoload=false\n")
        self.run.start(["kded5"])
        wait_for(lambda: "org.kde.StatusNotifierWatcher" in bus_names(self.run), 30, "kded5")
        self.pid = self.run.start(["plasmashell", "--no-respawn"]).pid


class Gnome(Host):
    """GNOME Shell 43 on X11 with the AppIndicator extension. It dies without a system bus, so it
    runs in namespaces of its own with a private system bus over the machine's."""
    name = "GNOME 43 + AppIndicator 46 (gnome-shell)"
    strip = (0, 0, 1024, 40)

    def start(self):
        run = self.run
        run.env.update(LIBGL_ALWAYS_SOFTWARE="1", XDG_CURRENT_DESKTOP="GNOME",
                       XDG_SESSION_TYPE="x11")
        for schema, key, value in (
                ("org.gnome.shell", "enabled-extensions", "['ubuntu-appindicators@ubuntu.com']"),
                ("org.gnome.shell", "disable-user-extensions", "false"),
                ("org.gnome.desktop.interface", "enable-animations", "false")):
            subprocess.run(["gsettings", "set", schema, key, value], env=run.env, check=True)
        script = ("mount -t tmpfs tmpfs /run/systemd && mount -t tmpfs tmpfs /run/dbus && "
                  "dbus-daemon --system --fork && ip link set lo up && "
                  "exec gnome-shell --x11 --replace --sm-disable")
        shell = run.start(["unshare", "-n", "-m", "sh", "-c", script])
        self.pid, self.log = shell.pid, shell.log_path
        # The shell opens in the overview; leave it once the panel is up.
        wait_for(lambda: "org.gnome.Shell" in bus_names(run), 60, "gnome-shell")
        time.sleep(2)
        subprocess.run(["xdotool", "key", "Escape"], env=run.env, check=False)

    def item_errors(self):
        with open(self.log, errors="replace") as f:
            return sum(1 for line in f if "JS ERROR" in line or "AccessibleDesc" in line)


def bus_names(run):
    return subprocess.run(["dbus-send", "--session", "--print-reply",
                           "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus.ListNames"], env=run.env,
                          capture_output=True, text=True).stdout


class Trayer(Host):
    name = "trayer 1.1 (XEmbed)"
    strip = (0, 0, 1024, 40)

    def start(self):
        self.pid = self.run.start(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
             "--height", "26", "--SetDockType", "true", "--transparent", "false",
             "--tint", "0x333333", "--expand", "true"]).pid


class I3bar(Host):
    name = "i3bar, i3 4.22 (XEmbed)"
    strip = (0, 560, 1024, 40)

    def start(self):
        config = os.path.join(self.run.dir, "i3.conf")
        with open(config, "w") as f:
            f.write("font pango:DejaVu Sans 9\nbar {\n  status_command true\n"
                    "  tray_output primary\n}\n")
        self.run.start(["i3", "-c", config])
        # i3bar is the host; it starts as i3's child.
        self.pid = wait_for(lambda: pid_of("i3bar", self.run.dir), 20, "i3bar")


class Waybar(Host):
    """waybar 0.9 in sway 1.7 on a headless output. sway refuses to run as root, so the whole
    session runs as nobody; the headless seat has no pointer, so clicks come from click.c."""
    name = "waybar 0.9 on sway 1.7 (Wayland)"
    strip = (0, 0, 1024, 40)
    user = 65534

    def prepare(self):
        run = self.run
        subprocess.run(["chown", "-R", f"{self.user}:{self.user}", run.dir], check=True)
        run.as_user = ["setpriv", f"--reuid={self.user}", f"--regid={self.user}",
                       "--clear-groups"]
        run.session_bus()
        config = os.path.join(run.dir, "sway.conf")
        with open(config, "w") as f:
            f.write("output HEADLESS-1 resolution 1024x600\n")
        with open(os.path.join(run.dir, "waybar.json"), "w") as f:
            json.dump({"position": "top", "height": 26, "modules-right": ["tray"],
                       "tray": {"icon-size": 20, "spacing": 4}}, f)
        sway_env = {k: v for k, v in run.env.items()
                    if k.startswith(("XDG_", "DBUS_")) or k in ("HOME", "LANG", "TZ")}
        sway_env.update(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman", PATH="/usr/bin:/bin")
        run.start(["sway", "-c", config], env=sway_env)
        socket = wait_for(lambda: [n for n in os.listdir(run.env["XDG_RUNTIME_DIR"])
                                   if n.startswith("wayland-") and not n.endswith(".lock")],
                          20, "sway's socket")[0]
        run.env["WAYLAND_DISPLAY"] = socket
        self.clicker = self.build_clicker()

    def start(self):
        self.pid = self.run.start(["waybar", "-c", f"{self.run.dir}/waybar.json"]).pid

    def build_clicker(self):
        here, out = os.path.dirname(os.path.abspath(__file__)), self.run.dir
        protocol = os.path.join(here, "virtual-pointer.xml")
        for kind, name in (("client-header", "virtual-pointer-client.h"),
                           ("private-code", "virtual-pointer.c")):
            subprocess.run(["wayland-scanner", kind, protocol, os.path.join(out, name)],
                           check=True)
        subprocess.run(["cc", "-I", out, "-o", os.path.join(out, "click"),
                        os.path.join(here, "click.c"), os.path.join(out, "virtual-pointer.c"),
                        "-lwayland-client"], check=True)
        return os.path.join(out, "click")

    def click(self, x, y, button=1):
        self.pointer = self.run.start([self.clicker, str(x), str(y), str(button)])

    def dismiss(self):
        """A click on the empty desktop closes an open menu (there is no keyboard to press
        Escape with)."""
        for pointer in (self.pointer, self.run.start([self.clicker, "500", "300"])):
            time.sleep(0.5)
            with contextlib.suppress(ProcessLookupError):
                os.killpg(pointer.pid, signal.SIGTERM)


def pid_of(program, marker):
    """The pid of a running `program` whose environment mentions the run's folder."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/comm") as f:
                if f.read().strip() != program[:15]:
                    continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if marker.encode() in f.read():
                    return int(entry)
        except OSError:
            continue
    return None


def left_click_opens_menu(run, host, box, label="menu", button=1):
    """Clicks the gauge (with `button`: 3 for the right one) and waits for a menu: many pixels
    changing outside the gauge. The box around the change, or None."""
    before = run.screenshot("before-click")
    host.click(box[0] + box[2] // 2, box[1] + box[3] // 2, button)

    def menu():
        changed, where = run.screenshot(label).changes_from(before, box)
        return where if changed > 3000 else None

    def settled():
        # A menu may fade in: the last screenshot is kept once it stops changing.
        previous = Picture(os.path.join(run.dir, f"{run.name}-{label}.png"))
        return run.screenshot(label).changes_from(previous, box)[0] < 100
    try:
        wait_for(menu, 8, "a menu")
        with contextlib.suppress(HostFailed):
            wait_for(settled, 5, "the menu to settle")
        return run.screenshot(label).changes_from(before, box)[1]
    except HostFailed:
        return None
    finally:
        host.dismiss()
        # The menu is gone before anything else is looked at.
        with contextlib.suppress(HostFailed):
            wait_for(lambda: run.screenshot("closed").changes_from(before, box)[0] < 3000, 5,
                     "the menu to close")


def check_host(run, host, binary, brimlet_first=False):
    """Brings the host and the program up and measures: the result row of the table."""
    host.prepare()
    if brimlet_first:
        app = run.brimlet(binary)
        host.start()
    else:
        host.start()
        app = run.brimlet(binary)
    picture, boxes = run.wait_for_gauge(host.strip, timeout=60)
    # A stand-in icon that the watcher replaces may be on screen for a moment: let it go.
    deadline = time.monotonic() + 10
    while len(boxes) != 1 and time.monotonic() < deadline:
        picture = run.screenshot("gauge", host.strip)
        boxes = find_gauges(picture) or boxes
    row = {"host": host.name, "gauges": len(boxes)}
    row.update(measure(picture, boxes[0]))
    row["legible"] = legible(row)
    row["menu"] = left_click_opens_menu(run, host, boxes[0])
    row["app"] = app.pid
    return row


def live_menu(run, host, box):
    """Claude Code starts writing; the menu opened again must show it (hosts that keep a copy
    of the layout only know through LayoutUpdated). Returns the box of that menu."""
    run.pulse()
    time.sleep(4)  # two ticks of the activity source
    return left_click_opens_menu(run, host, box, label="menu-live")


def registered_items(run):
    """The items the StatusNotifierWatcher lists, as "service/path"."""
    reply = subprocess.run(
        run.as_user + ["dbus-send", "--session", "--print-reply",
                       "--dest=org.kde.StatusNotifierWatcher",
         "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
         "string:org.kde.StatusNotifierWatcher", "string:RegisteredStatusNotifierItems"],
        env=run.env, capture_output=True, text=True).stdout
    return [line.split('"')[1] for line in reply.splitlines() if line.strip().startswith("string")]


def ci(binary):
    """Started before the panel, the program shows the XEmbed stand-in; the panel's watcher then
    takes our StatusNotifierItem and the stand-in goes: one gauge, ours, legible, with a menu."""
    missing = [tool for tool in ("Xvfb", "xfce4-panel", "dbus-daemon", "dbus-send", "import",
                                 "xdotool", "unshare", "ip") if not shutil.which(tool)]
    if missing or not os.path.exists(CONVERT):
        raise HostFailed("missing " + " ".join(missing or [CONVERT]))
    with Run("xfce") as run:
        row = check_host(run, Xfce(run), binary, brimlet_first=True)
        row["items"] = registered_items(run)
    print(json.dumps(row))
    problems = []
    # Ours registers by its unique name (":1.N"); Qt's own tray icon, had it gone to D-Bus, by a
    # well-known name of its own.
    if len(row["items"]) != 1 or not row["items"][0].startswith(":"):
        problems.append(f"the watcher lists {row['items']}, not our one item")
    if row["gauges"] != 1:
        problems.append(f"{row['gauges']} gauges on the panel, not one")
    if not row["legible"]:
        problems.append(f"bars {row['bars']} gaps {row['gaps']} dots {row['dots']}")
    if not row["menu"]:
        problems.append("a left click opened no menu")
    return problems


HOSTS = {"xfce": Xfce, "lxqt": Lxqt, "plasma": Plasma, "gnome": Gnome, "waybar": Waybar,
         "trayer": Trayer, "i3bar": I3bar}


def crop(picture_path, box, out, margin=12, scale=4):
    x, y, w, h = box
    subprocess.run([CONVERT, picture_path, "-crop",
                    f"{w + 2 * margin}x{h + 2 * margin}+{max(0, x - margin)}+{max(0, y - margin)}",
                    "+repage", "-filter", "point", "-resize", f"{scale * 100}%", out], check=True)


def count_signals(run, member):
    """A dbus-monitor on the run's session bus counting the signals named `member`; call the
    result to stop it and get the count."""
    path = os.path.join(run.dir, f"monitor-{member}-{time.monotonic_ns()}.log")
    with open(path, "wb") as log:
        monitor = subprocess.Popen(
            run.as_user + ["dbus-monitor", "--session", f"type='signal',member='{member}'"],
            env=run.env, stdout=log, stderr=subprocess.DEVNULL, start_new_session=True)

    def stop():
        os.killpg(monitor.pid, signal.SIGTERM)
        monitor.wait()
        with open(path, errors="replace") as f:
            return sum(1 for line in f if f"member={member}" in line)
    return stop


def dot_strengths(run, box, shots=10, seconds=3.0):
    """How strongly the Opus dot shows in `shots` screenshots over `seconds`: the mean redness
    (r - g) of the dot's pixels, 0 for none."""
    x0, y0, w, h = box
    dot = (x0 + int(w * 0.7), y0, w - int(w * 0.7), max(1, h // 2))
    strengths = []
    for _ in range(shots):
        began = time.monotonic()
        picture = run.screenshot("dot", dot)
        values = [max(0, r - g) for y in range(dot[1], dot[1] + dot[3])
                  for x in range(dot[0], dot[0] + dot[2]) for r, g, _ in [picture.rgb(x, y)]
                  if r - g > 20]
        strengths.append(round(sum(values) / len(values)) if values else 0)
        time.sleep(max(0.0, seconds / shots - (time.monotonic() - began)))
    return strengths


def cpu_while_pulsing(run, row, host, seconds=30):
    """Shares of one core over `seconds` of idle, then of pulsing dots: the program, the host,
    the session bus and the display server, with NewIcon signals a second; and while pulsing,
    the Opus dot's strength in ten screenshots over three seconds."""
    processes = {"app": row["app"], "host": host.pid, "dbus": run.bus_pid,
                 "display": getattr(run, "display_pid", None) or host.pid}
    figures = {}
    for state in ("idle", "pulsing"):
        if state == "pulsing":
            run.pulse()
            time.sleep(3)  # the activity window fills; the dots start
        icons = count_signals(run, "NewIcon")
        start = {who: cpu_seconds(pid) for who, pid in processes.items()}
        time.sleep(seconds)
        shares = {who: round(100 * (cpu_seconds(pid) - start[who]) / seconds, 2)
                  for who, pid in processes.items()}
        if processes["display"] == host.pid:
            shares["display"] = 0.0  # the host is its own display server (sway, gnome-shell)
        shares["total"] = round(sum(shares.values()), 2)
        shares["new_icon_per_s"] = round(icons() / seconds, 2)
        figures[state] = shares
    figures["dot_strengths"] = dot_strengths(run, row["box"])
    shot = run.screenshot("pulsing", host.strip)
    figures["pulsing_shot"] = shot.path
    return figures


def table(binary, out, names, measure_cpu, before=None):
    os.makedirs(out, exist_ok=True)
    # Hosts not run this time keep the rows of the last run.
    try:
        with open(os.path.join(out, "hosts.json")) as f:
            earlier = {row.get("name"): row for row in json.load(f)}
    except OSError:
        earlier = {}
    rows = []
    for name in names:
        with Run(name, keep=None) as run:
            host = HOSTS[name](run)
            try:
                row = check_host(run, host, binary)
                crop(os.path.join(run.dir, f"{name}-gauge.png"), row["box"],
                     os.path.join(out, f"{name}-gauge.png"))
                if measure_cpu:
                    row["cpu"] = cpu_while_pulsing(run, row, host)
                    crop(row["cpu"].pop("pulsing_shot"), row["box"],
                         os.path.join(out, f"{name}-pulsing.png"))
                row["live_menu"] = live_menu(run, host, row["box"])
                if row["live_menu"]:
                    crop(os.path.join(run.dir, f"{name}-menu-live.png"), row["live_menu"],
                         os.path.join(out, f"{name}-menu.png"), margin=4, scale=1)
                if isinstance(host, Gnome):
                    row["gnome_errors"] = host.item_errors()
            except HostFailed as failure:
                row = {"host": HOSTS[name].name, "failed": str(failure)}
        row["name"] = name
        print(json.dumps(row), flush=True)
        earlier[name] = row
    rows = [earlier[name] for name in HOSTS if name in earlier]
    with open(os.path.join(out, "hosts.json"), "w") as f:
        json.dump(rows, f, indent=1)
    write_table(rows, out, before)
    return rows


def cpu_lines(rows, before):
    """The CPU figures as a table: per host, idle and pulsing, each beside the earlier build's
    where `before` (a hosts.json) has them."""
    earlier = {}
    if before:
        with open(os.path.join(before, "hosts.json")) as f:
            earlier = {row["name"]: row.get("cpu") for row in json.load(f)}
    lines = ["", "## CPU while idle and while the dots pulse", "",
             "Share of one core over 30 s, idle and then with a 300-token Opus line every second "
             "(the dots at their fastest pulse); the program, the host's process (with its "
             "children), the session bus and the display server, and NewIcon signals a second. "
             + ("Each cell: before → after (the earlier build first). " if earlier else "")
             + "*Dot strength*: the Opus dot's mean redness in ten screenshots over three "
             "seconds while pulsing (it swings when the host shows the pulse).", "",
             "| host | state | Brimlet | host | dbus-daemon | display | total | NewIcon/s |",
             "|---|---|---|---|---|---|---|---|"]
    keys = ("app", "host", "dbus", "display", "total", "new_icon_per_s")
    for row in rows:
        cpu = row.get("cpu")
        if not cpu:
            continue
        old = earlier.get(row["name"])
        for state in ("idle", "pulsing"):
            cells = [f"{old[state][k]} → {cpu[state][k]}" if old else str(cpu[state][k])
                     for k in keys]
            lines.append(f"| {row['host']} | {state} | " + " | ".join(cells) + " |")
    for row in rows:
        if row.get("cpu"):
            old = earlier.get(row["name"])
            strengths = " ".join(map(str, row["cpu"]["dot_strengths"]))
            lines.append(f"\n{row['host']}: pulsing ![pulsing]({row['name']}-pulsing.png); dot "
                         f"strength {strengths}"
                         + (f" (before: {' '.join(map(str, old['dot_strengths']))})"
                            if old and "dot_strengths" in old else "") + ".")
    return lines


def write_table(rows, out, before=None):
    """README.md: one line per host, with the crops beside it."""
    lines = ["# Brimlet in real tray hosts", "",
             "Each host ran headless on Debian 12 (Xvfb, or sway's headless output for waybar), with "
             "its default settings, Brimlet's test build and a fake usage service (three quotas "
             "at 36.6 %, 72 % and 20 % used). Written by `tools/tray-hosts/trayhosts.py table`; "
             "the crops are four times enlarged. *Gauge on screen* is the box of the gauge's "
             "coloured pixels; bars, gaps and dots are measured down the picture's columns. "
             "*Menu after new activity*: the menu opened again after Claude Code started "
             "writing (a transcript line every half second), with a left click on the gauge.", "",
             "| host | gauge on screen | bars (px) | gaps (px) | dots (px) | left click | "
             "menu after new activity |", "|---|---|---|---|---|---|---|"]
    for row in rows:
        name = row["name"]
        if "failed" in row:
            lines.append(f"| {row['host']} | did not run: {row['failed']} | | | | | |")
            continue
        box = row["box"]
        click = "opens the menu" if row["menu"] else "**nothing opens**"
        live = f"![menu]({name}-menu.png)" if row.get("live_menu") else "**no menu**"
        lines.append(f"| {row['host']} | ![gauge]({name}-gauge.png) {box[2]}×{box[3]} | "
                     f"{' '.join(map(str, row['bars']))} | {' '.join(map(str, row['gaps']))} | "
                     f"{' '.join(map(str, row['dots']))} | {click} | {live} |")
    for row in rows:
        if "gnome_errors" in row:
            lines.append(f"\n{row['host']}: {row['gnome_errors']} JavaScript errors in "
                         "gnome-shell's log over the run, dots pulsing included.")
    lines += cpu_lines(rows, before)
    # The menus' sections come after the table's, written from menus.json.
    import menus
    lines += menus.readme_lines(out)
    with open(os.path.join(out, "README.md"), "w") as f:
        f.write("\n".join(lines) + "\n")


def main(argv):
    if argv[1:2] == ["serve-usage"]:
        serve_usage(argv[2])
    elif argv[1:2] == ["ci"]:
        try:
            problems = ci(argv[2])
        except HostFailed as failure:
            print(f"the host did not come up: {failure}")
            return 1 if os.environ.get("BRIMLET_REQUIRE_HOSTS") else 77
        for problem in problems:
            print(problem)
        return 1 if problems else 0
    elif argv[1:2] == ["table"] and len(argv) >= 4:
        cpu = "--cpu" in argv
        before = argv[argv.index("--before") + 1] if "--before" in argv else None
        names = [a for a in argv[4:] if a not in ("--cpu", "--before", before)] or list(HOSTS)
        table(argv[2], argv[3], names, cpu, before)
    elif argv[1:2] == ["menus"] and len(argv) >= 4:
        import menus
        menus.menus(argv[2], argv[3], argv[4:] or list(menus.MENU_HOSTS))
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    # menus.py imports this file by name: one module, one HostFailed.
    sys.modules.setdefault("trayhosts", sys.modules["__main__"])
    sys.exit(main(sys.argv))
