"""The menus a new user meets in five tray hosts, the gauge on light and dark panels, and what
the hosts log because of Brimlet: `trayhosts.py menus BRIMLET OUT [HOST…]`.

One run per host, in this order:
  1. The host comes up; then ten quiet seconds without Brimlet (Plasma and LXQt first open and
     close their own panel menu; Plasma shows one of its own tool tips and waits out its
     start-up), whose log lines are the control.
  2. The usage service holds its first answer; Brimlet starts; the host's menu is opened while
     the program is still waiting, closed; the answer is let go and, once the program's menu
     has the quota rows, the menu is opened again.
  3. The service answers HTTP 500; a refresh is asked through the menu's Event call; once the
     "refresh failed" row is in the program's menu, the host's menu is opened. Then good
     answers again, another refresh (the program allows one every 10 s), the menu again.
  4. Plasma and LXQt: the program's own left-click popup, beside the right-click menu above.
  5. The host logs' new lines are taken, and the gauge is shot on the host's own panel.
  6. XFCE, Plasma and LXQt again, in a second run whose panel is switched to the other kind
     (light or dark) before Brimlet starts: the gauge there.

Menus are the host's own dbusmenu menus (left click in XFCE, GNOME and waybar, right click in
Plasma and LXQt). What the program offered at each stage is read with GetLayout, so a shot can
be checked against the rows it should show.
"""
import collections
import contextlib
import json
import os
import re
import subprocess
import time

import trayhosts as th
from trayhosts import HostFailed, wait_for

MENU_HOSTS = ("xfce", "lxqt", "plasma", "gnome", "waybar")
# Plasma and LXQt send Activate on a left click (the program answers with its own popup); their
# dbusmenu menu is on the right button.
MENU_BUTTON = {"plasma": 3, "lxqt": 3}
CONTROL_SECONDS = 10
# plasmashell asks the bus for its splash screen at start; with none installed the bus gives up
# after 60 s and logs it (and a notification's WaitForName timeout): the control waits that out.
LONGER_CONTROL = {"plasma": 70}
README_MARK = "## Menus as a new user meets them"

ROW_NAMES = {1: "loading / failure", 2: "quota 1", 3: "reset 1", 4: "quota 2", 5: "reset 2",
             6: "quota 3", 7: "reset 3", 8: "refresh failed", 9: "separator", 10: "activity",
             11: "last refresh", 12: "separator", 13: "refresh now", 14: "launch at login",
             15: "version", 16: "quit"}


# ----- the program over the bus --------------------------------------------------------------

def bus(run, *args):
    return subprocess.run(run.as_user + ["dbus-send", "--session", "--print-reply", *args],
                          env=run.env, capture_output=True, text=True, timeout=10).stdout


def program_name(run, app_pid):
    """Brimlet's unique bus name: the watcher's item, or the connection of the program's pid."""
    for item in th.registered_items(run):
        # "NAME/PATH", or "NAME@/PATH" in GNOME's extension.
        found = re.match(r":[0-9]+\.[0-9]+", item)
        if found:
            return found.group(0)
    for name in re.findall(r'string "(:[0-9.]+)"', th.bus_names(run)):
        pid = bus(run, "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                  "org.freedesktop.DBus.GetConnectionUnixProcessID", f"string:{name}")
        if f"uint32 {app_pid}" in pid:
            return name
    return None


def layout(run, name):
    """The program's menu rows as [(id, {property: value})], in order, from GetLayout."""
    reply = bus(run, f"--dest={name}", "/MenuBar", "com.canonical.dbusmenu.GetLayout",
                "int32:0", "int32:-1",
                "array:string:label,type,enabled,visible,toggle-type,toggle-state,shortcut")
    rows = []
    # Each child is "variant struct { int32 ID array [ dict entry( string KEY variant TYPE
    # VALUE ) … ] array [ ] }".
    for child in re.split(r"variant\s+struct \{", reply)[1:]:
        row_id = int(re.match(r"\s*int32 (-?\d+)", child).group(1))
        props = {}
        for key, value in re.findall(r'dict entry\(\s*string "([^"]*)"\s*variant\s+'
                                     r'(string "(?:[^"\\]|\\.)*"|\w+ \S+)', child):
            kind, _, text = value.partition(" ")
            props[key] = text[1:-1] if kind == "string" else text
        rows.append((row_id, props))
    return rows


def describe(rows):
    """One line per row: id, what the program meant it to be, and the properties a host reads."""
    out = []
    for row_id, props in rows:
        kind = "separator" if props.get("type") == "separator" else props.get("label", "")
        extra = []
        if props.get("enabled") == "false":
            extra.append("disabled")
        if props.get("toggle-type"):
            extra.append(f"toggle {props['toggle-type']}={props.get('toggle-state', '?')}")
        if props.get("visible") == "false":
            extra.append("hidden")
        if "shortcut" in props:
            extra.append("shortcut")
        out.append(f"{row_id} {kind}" + (f" ({', '.join(extra)})" if extra else ""))
    return out


def tooltip(run, name):
    """The item's ToolTip: (title, text), without the icon's bytes."""
    reply = subprocess.run(
        run.as_user + ["gdbus", "call", "--session", "--dest", name, "--object-path",
                       "/StatusNotifierItem", "--method", "org.freedesktop.DBus.Properties.Get",
                       "org.kde.StatusNotifierItem", "ToolTip"],
        env=run.env, capture_output=True, text=True, timeout=10).stdout
    texts = re.findall(r"'((?:[^'\\]|\\.)*)'", re.sub(r"\[byte [^\]]*\]", "", reply))
    texts = [t.replace("\\n", "\n") for t in texts]
    return tuple(texts[1:3]) if len(texts) >= 3 else ("", reply.strip())


def shown_tooltip(run, name):
    title, text = tooltip(run, name)
    return f"{title} / " + text.replace("\n", " ⏎ ")


def rows_summary(rows):
    """What the tool tip repeats of the menu: the rows before the first separator and the one
    after it."""
    labels, after = [], None
    rows = [row for row in rows if row[1].get("visible") != "false"]  # hidden rows are not shown
    for i, (_, props) in enumerate(rows):
        if props.get("type") == "separator":
            after = rows[i + 1][1].get("label") if i + 1 < len(rows) else None
            break
        labels.append(props.get("label", ""))
    return "\n".join(labels + ([after] if after is not None else []))


def tooltip_catches_up(run, name, limit=75):
    """Seconds until the tool tip repeats the menu's rows (it is told at most every 10 s and
    held while a menu is open, a minute at most), or None after `limit`."""
    began = time.monotonic()
    with contextlib.suppress(HostFailed):
        wait_for(lambda: tooltip(run, name)[1] == rows_summary(layout(run, name)), limit,
                 "the tool tip", step=0.5)
        return round(time.monotonic() - began, 1)
    return None


def ids(rows):
    return {row_id for row_id, props in rows if props.get("visible") != "false"}


def refresh(run, name):
    """What a click on "refresh now" does, without moving the pointer."""
    bus(run, f"--dest={name}", "/MenuBar", "com.canonical.dbusmenu.Event", "int32:13",
        "string:clicked", "variant:string:", "uint32:0")


def refreshed(run, name, mode, rows_shown, what):
    """The service set to answer `mode`, a refresh asked through the menu, until the program's
    rows pass `rows_shown` (given the shown ids)."""
    set_mode(run, mode)
    asked = len(answers(run))
    refresh(run, name)
    # A refresh asked within 10 s of the last one waits for the 10 s to pass.
    wait_for(lambda: len(answers(run)) > asked, 20, "the refresh's request")
    wait_for(lambda: rows_shown(ids(layout(run, name))), 10, what)


def set_mode(run, mode):
    with open(os.path.join(run.dir, "usage-mode.new"), "w") as f:
        f.write(mode)
    os.replace(os.path.join(run.dir, "usage-mode.new"), os.path.join(run.dir, "usage-mode"))


def answers(run):
    """The service's answers so far: [(began, ended, how)]."""
    try:
        with open(os.path.join(run.dir, "usage-requests")) as f:
            return [(float(a), float(b), how) for a, b, how in (l.split() for l in f)]
    except OSError:
        return []


def host_ready(run):
    """The host's tray is up: a StatusNotifierHost has told the watcher."""
    reply = bus(run, "--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher",
                "string:IsStatusNotifierHostRegistered")
    return "boolean true" in reply


# ----- pictures ------------------------------------------------------------------------------

def green_things(run, host):
    """What on the panel looks like a gauge with no data before Brimlet starts (Plasma's
    panel has a green launcher): not to be taken for ours."""
    return set(th.find_gauges(run.screenshot("panel", host.strip), frozenset("g")))


def gauge(run, host, label, kinds=frozenset("og"), timeout=30, others=()):
    """Waits for exactly one gauge in the host's strip, not one of `others`; (picture, box)."""
    def seen():
        picture = run.screenshot(label, host.strip)
        boxes = [b for b in th.find_gauges(picture, kinds) if b not in others]
        return (picture, boxes[0]) if len(boxes) == 1 else None
    return wait_for(seen, timeout, "the gauge on screen" +
                    (" (tracks only)" if kinds == frozenset("g") else ""), step=0.5)


def still_gauge(run, host, label):
    """The gauge with the pointer away from it (hosts light up a hovered item) once two shots
    in a row agree (Plasma fades an item back after its menu closes); (picture, box)."""
    if "WAYLAND_DISPLAY" not in run.env:  # waybar's menus are closed by a click far away
        subprocess.run(["xdotool", "mousemove", "500", "300"], env=run.env, check=False)
    last = [None]

    def settled():
        picture, box = gauge(run, host, label)
        pixels = [picture.rgb(x, y) for y in range(box[1], box[1] + box[3])
                  for x in range(box[0], box[0] + box[2])]
        same, last[0] = last[0] == (box, pixels), (box, pixels)
        return (picture, box) if same else None
    return wait_for(settled, 20, "the gauge to stand still", step=0.5)


def open_menu(run, host, box, label, out, button=1):
    """Opens a menu on the gauge; its crop at scale 1 goes to OUT/<host>-<label>.png. The box
    of the menu on screen, or None. First the pointer leaves the gauge and the screen comes to
    rest, so that a tooltip of the gauge does not count as part of the menu."""
    if "WAYLAND_DISPLAY" not in run.env:
        subprocess.run(["xdotool", "mousemove", "500", "300"], env=run.env, check=False)
    last = [run.screenshot("rest")]

    def at_rest():
        now = run.screenshot("rest")
        changed, last[0] = now.changes_from(last[0], box)[0], now
        return changed < 50
    with contextlib.suppress(HostFailed):
        wait_for(at_rest, 8, "the screen to come to rest", step=0.3)
    where = th.left_click_opens_menu(run, host, box, label=label, button=button)
    if where:
        th.crop(os.path.join(run.dir, f"{run.name}-{label}.png"), where,
                os.path.join(out, f"{run.name}-{label}.png"), margin=4, scale=1)
    return where


def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = map(linear, rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast_ratio(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def lab(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = map(linear, rgb)
    xyz = (0.4124 * r + 0.3576 * g + 0.1805 * b, 0.2126 * r + 0.7152 * g + 0.0722 * b,
           0.0193 * r + 0.1192 * g + 0.9505 * b)
    white = (0.95047, 1.0, 1.08883)

    def f(t):
        return t ** (1 / 3) if t > 0.008856 else 7.787 * t + 16 / 116
    fx, fy, fz = (f(v / w) for v, w in zip(xyz, white))
    return 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)


def delta_e(a, b):
    """CIE76 colour distance: about 2 is barely seen, 10 plain, 50 and more strong."""
    return sum((p - q) ** 2 for p, q in zip(lab(a), lab(b))) ** 0.5


def gauge_contrast(picture, box):
    """The panel's colour next to the gauge and, for the idle dot, the bar track and the fill
    (each the commonest colour of its kind there, the solid middle rather than the soft
    edges), the luminance contrast ratio and the colour distance to the panel."""
    x0, y0, w, h = box
    ring = collections.Counter()
    for y in range(y0 - 6, y0 + h + 6):
        for x in range(x0 - 6, x0 + w + 6):
            inside = x0 - 3 <= x < x0 + w + 3 and y0 - 3 <= y < y0 + h + 3
            if not inside and picture.left <= x < picture.left + picture.width and \
                    picture.top <= y < picture.top + picture.height:
                ring[picture.rgb(x, y)] += 1
    panel = ring.most_common(1)[0][0]
    parts = {"idle dot": collections.Counter(), "track": collections.Counter(),
             "fill": collections.Counter()}
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            colour = picture.rgb(x, y)
            kind = th.gauge_kind(*colour)
            if x >= x0 + int(w * 0.75):
                if kind == "g":
                    parts["idle dot"][colour] += 1
            elif x < x0 + int(w * 0.6) and kind:
                parts["fill" if kind == "o" else "track"][colour] += 1
    figures = {"panel": panel}
    for part, colours in parts.items():
        if colours:
            colour = colours.most_common(1)[0][0]
            figures[part] = {"rgb": colour, "ratio": round(contrast_ratio(colour, panel), 2),
                             "delta_e": round(delta_e(colour, panel), 1)}
    found = [figures[p] for p in parts if p in figures]
    figures["min_ratio"] = min(f["ratio"] for f in found) if found else None
    figures["min_delta_e"] = min(f["delta_e"] for f in found) if found else None
    return figures


def is_light(rgb):
    return luminance(rgb) > 0.4


# ----- panels of the other kind ---------------------------------------------------------------

def xfce_light(run):
    """XFCE's panel is dark by default (the panel's dark-mode); a solid light background."""
    for prop, args in (("/panels/dark-mode", ["-t", "bool", "-s", "false"]),
                       ("/panels/panel-1/background-style", ["-t", "uint", "-s", "1"]),
                       ("/panels/panel-1/background-rgba",
                        ["-t", "double", "-s", "0.94", "-t", "double", "-s", "0.94",
                         "-t", "double", "-s", "0.93", "-t", "double", "-s", "1.0"])):
        subprocess.run(["xfconf-query", "-c", "xfce4-panel", "-p", prop, "-n", *args],
                       env=run.env, capture_output=True, timeout=10)
    return "light"


def plasma_dark(run):
    """Plasma's default Breeze panel is light; Breeze Dark, applied while the shell runs."""
    subprocess.run(["plasma-apply-desktoptheme", "breeze-dark"], env=run.env,
                   capture_output=True, timeout=30)
    return "dark"


def lxqt_dark(run):
    """LXQt's panel follows the desktop's theme (Clearlooks, light, by default); its own "dark"
    theme, set in lxqt.conf, which LXQt's programs watch."""
    folder = os.path.join(run.env["XDG_CONFIG_HOME"], "lxqt")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "lxqt.conf")
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        text = ""
    if re.search(r"(?m)^theme=", text):
        text = re.sub(r"(?m)^theme=.*$", "theme=dark", text)
    elif "[General]" in text:
        text = text.replace("[General]\n", "[General]\ntheme=dark\n", 1)
    else:
        text = "[General]\ntheme=dark\n" + text
    with open(path, "w") as f:  # in place: a watcher follows the file, not a new one
        f.write(text)
    return "dark"


OTHER_PANEL = {"xfce": xfce_light, "plasma": plasma_dark, "lxqt": lxqt_dark}

# Where a right click opens a Qt host's own panel menu: an empty stretch of its panel.
OWN_POPUP = {"plasma": (500, 570), "lxqt": (500, 570)}
# Where the pointer rests to bring up one of the host's own tool tips: Plasma's launcher. Plasma's
# first tool tip, whoever's, logs an empty dialog and 24 X errors (its shadow's eight tiles).
OWN_TOOLTIP = {"plasma": (20, 570)}


# ----- host logs -----------------------------------------------------------------------------

# Lines naming the item or its menu are Brimlet's whatever the control period had.
OURS = re.compile(r"dbusmenu|DBusMenu|StatusNotifier|/MenuBar|QDBusArgument|Unhandled property|"
                  r"brimlet|Brimlet|JS ERROR")


def host_logs(run, app):
    """The logs of every process of the run but the program and its service, and the
    clicker: {label: path}."""
    logs = {}
    for process in run.processes:
        path = process.log_path
        if process is app or "click" in os.path.basename(path):
            continue
        label = os.path.basename(path)[:-4].split("-", 1)[1]
        if label == "unshare":
            label = "gnome-shell"
        logs[f"{label} ({os.path.basename(path)})"] = path
    return logs


def sizes(logs):
    return {label: os.path.getsize(path) for label, path in logs.items()
            if os.path.exists(path)}


def read_lines(path, start, end=None):
    with open(path, "rb") as f:
        f.seek(start)
        data = f.read() if end is None else f.read(max(0, end - start))
    return [line for line in data.decode(errors="replace").splitlines() if line.strip()]


def normal(line, name):
    """A line without what differs between two runs of it: times, numbers, addresses."""
    line = line.replace(name, ":NAME") if name else line
    line = re.sub(r"0x[0-9a-fA-F]+", "0x#", line)
    return re.sub(r"\d+", "#", line)


def scan_logs(logs, control_end, stages, name):
    """The lines each log gained in each stage after Brimlet started (`stages`: [(what was
    done, the logs' sizes at its end)]) that are Brimlet's: those the control period (the
    host's start-up and CONTROL_SECONDS or more alone) did not have, numbers aside, and those
    naming the item, its menu or its bus name. Lines differing only in numbers are merged, with a
    count and the stages they came in; the rest is only counted."""
    found = {}
    for label, path in logs.items():
        control = {normal(l, name) for l in read_lines(path, 0, control_end.get(label, 0))}
        ours = collections.OrderedDict()
        new = other = 0
        start = control_end.get(label, 0)
        for stage, ends in stages:
            end = ends.get(label, start)
            for line in read_lines(path, start, end):
                new += 1
                key = normal(line, name)
                if key in control and not OURS.search(line) and not (name and name in line):
                    other += 1
                    continue
                entry = ours.setdefault(key, {"line": line, "count": 0, "stages": []})
                entry["count"] += 1
                if stage not in entry["stages"]:
                    entry["stages"].append(stage)
            start = max(start, end)
        found[label] = {"ours": list(ours.values()), "other_lines": other, "new_lines": new}
    return found


# ----- one host ------------------------------------------------------------------------------

def one_host(binary, out, key):
    """The scenarios in one run of the host; what was seen, step by step. A failing step ends
    the run with the steps before it kept."""
    result = {"name": key, "host": th.HOSTS[key].name, "shots": {}, "layouts": {}}
    button = MENU_BUTTON.get(key, 1)
    app, stages = None, []
    with th.Run(key) as run:
        host = th.HOSTS[key](run)
        step = "bringing the host up"
        try:
            host.prepare()
            host.start()
            wait_for(lambda: host_ready(run), 90, "the host's tray on the bus", step=0.5)
            step = "the control period"
            if key in OWN_POPUP:
                # What a Qt host logs at the first popup it shows, whatever shows it, belongs to
                # the control: its own panel menu, opened and closed.
                host.click(*OWN_POPUP[key], button=3)
                time.sleep(2)
                host.dismiss()
            if key in OWN_TOOLTIP:
                subprocess.run(["xdotool", "mousemove", *map(str, OWN_TOOLTIP[key])],
                               env=run.env, check=True)
                time.sleep(4)
                subprocess.run(["xdotool", "mousemove", "500", "300"], env=run.env, check=True)
            # the control: the host alone, by design this long
            time.sleep(LONGER_CONTROL.get(key, CONTROL_SECONDS))
            control_end = sizes(host_logs(run, app))
            others = green_things(run, host)

            def look_at_menu(stage, box):
                """The program's rows, whether the tool tip repeats them, the host's menu."""
                rows = layout(run, name)
                result["layouts"][stage] = describe(rows)
                result.setdefault("tooltip_current", {})[stage] = \
                    tooltip(run, name)[1] == rows_summary(rows)
                result["shots"][stage] = open_menu(run, host, box, f"menu-{stage}", out, button)

            def done(stage):
                stages.append((stage, sizes(host_logs(run, app))))

            step = "the first answer held"
            set_mode(run, "hold")
            started = time.monotonic()
            app = run.brimlet(binary)
            picture, box = gauge(run, host, "gauge-empty", kinds=frozenset("g"), others=others)
            name = wait_for(lambda: program_name(run, app.pid), 10, "the program's bus name")
            result["bus_name"] = name
            look_at_menu("loading", box)
            held = answers(run)
            result["loading_shot_while_held"] = not held  # no answer had gone out yet
            result["loading_shot_after_s"] = round(time.monotonic() - started, 1)
            done("start, menu while waiting")

            step = "the first answer let go"
            set_mode(run, "ok")
            wait_for(lambda: answers(run), th.HOLD_LIMIT + 5, "the held answer")
            result["first_answer"] = answers(run)[0][2]
            wait_for(lambda: 2 in ids(layout(run, name)), 15, "the quota rows in the menu")
            picture, box = gauge(run, host, "gauge")
            look_at_menu("loaded", box)
            done("answer, menu")

            step = "a failed refresh"
            refreshed(run, name, "error", lambda shown: 8 in shown, "the refresh-failed row")
            look_at_menu("failed", box)
            done("failed refresh, menu")

            step = "a good refresh after the failure"
            refreshed(run, name, "ok", lambda shown: 8 not in shown, "the refresh-failed row gone")
            picture, box = gauge(run, host, "gauge")
            look_at_menu("recovered", box)
            done("good refresh, menu")
            if button != 1:
                step = "the left-click popup"
                result["shots"]["popup"] = open_menu(run, host, box, "popup", out)
                done("left-click popup")
            step = "the tool tip catching up"
            result["tooltip_catch_up_s"] = tooltip_catches_up(run, name)
            result["tooltip_final"] = shown_tooltip(run, name)

            step = "the gauge on the host's own panel"
            picture, box = still_gauge(run, host, "gauge-own")
            panels = [panel_figures(run, key, picture, box, "own", out)]
            result["panels"] = panels
        except (HostFailed, subprocess.SubprocessError, OSError) as failure:
            result["failed"] = f"{step}: {failure}"
            if app:
                done(f"{step} (failed)")
        if app:
            # Also what a run cut short logged, up to where it stopped.
            result["logs"] = scan_logs(host_logs(run, app), control_end, stages,
                                       result.get("bus_name"))
        result["answers"] = [how for _, _, how in answers(run)]
    return result


def panel_figures(run, key, picture, box, which, out):
    figures = gauge_contrast(picture, box)
    figures["kind"] = "light" if is_light(figures["panel"]) else "dark"
    figures["which"] = which
    figures["box"] = box
    figures["image"] = f"{key}-gauge-{figures['kind']}.png"
    th.crop(picture.path, box, os.path.join(out, figures["image"]))
    return figures


def panel_colour(run, host):
    """The commonest colour along the panel's outer edge (the strip holds desktop too)."""
    x, y, w, h = host.strip
    edge = y + 3 if y == 0 else y + h - 4
    picture = run.screenshot("edge", (x, edge, w, 1))
    counts = collections.Counter(picture.rgb(i, edge) for i in range(x, x + w))
    return counts.most_common(1)[0][0]


def other_panel(binary, out, key, own_kind):
    """The gauge on the other kind of panel than the host's own, as a user who keeps such a
    panel sees it: the panel is switched, and has been redrawn, before Brimlet starts."""
    with th.Run(key) as run:
        host = th.HOSTS[key](run)
        step = "bringing the host up"
        try:
            host.prepare()
            host.start()
            wait_for(lambda: host_ready(run), 90, "the host's tray on the bus", step=0.5)
            step = "switching the panel"
            OTHER_PANEL[key](run)
            wait_for(lambda: ("light" if is_light(panel_colour(run, host)) else "dark") !=
                     own_kind, 40, "the panel to change colour", step=1)
            step = "the gauge"
            app = run.brimlet(binary)
            wait_for(lambda: 2 in ids(layout(run, program_name(run, app.pid) or ":none")), 30,
                     "the quota rows in the menu")
            picture, box = still_gauge(run, host, "gauge-other")
            return panel_figures(run, key, picture, box, "other", out)
        except (HostFailed, subprocess.SubprocessError, OSError) as failure:
            return {"failed": f"{step}: {failure}"}


# ----- all of them ---------------------------------------------------------------------------

def menus(binary, out, names):
    os.makedirs(out, exist_ok=True)
    path = os.path.join(out, "menus.json")
    try:
        with open(path) as f:
            earlier = {row["name"]: row for row in json.load(f)}
    except OSError:
        earlier = {}
    began = time.monotonic()
    for key in names:
        if key not in MENU_HOSTS:
            raise SystemExit(f"{key}: not one of {' '.join(MENU_HOSTS)}")
        host_began = time.monotonic()
        row = one_host(binary, out, key)
        if key in OTHER_PANEL and row.get("panels"):
            row["panels"].append(other_panel(binary, out, key, row["panels"][0]["kind"]))
        row["seconds"] = round(time.monotonic() - host_began)
        print(json.dumps(row, ensure_ascii=False), flush=True)
        earlier[key] = row
    rows = [earlier[key] for key in MENU_HOSTS if key in earlier]
    with open(path, "w") as f:
        json.dump(rows, f, indent=1, ensure_ascii=False)
    print(f"{len(names)} hosts in {round(time.monotonic() - began)} s", flush=True)
    rewrite_readme(out)


def rewrite_readme(out):
    """The README keeps what the table wrote above the menus' sections; these are rewritten."""
    path = os.path.join(out, "README.md")
    try:
        with open(path) as f:
            text = f.read()
    except OSError:
        text = "# Brimlet in real tray hosts\n"
    if README_MARK in text:
        text = text[:text.index(README_MARK)].rstrip("\n") + "\n"
    with open(path, "w") as f:
        f.write(text + "\n".join(readme_lines(out)) + "\n")


def shot(row, which):
    if which not in row.get("shots", {}):
        return "—"
    return f"![{which}]({row['name']}-menu-{which}.png)" if which != "popup" else \
        f"![popup]({row['name']}-popup.png)" if row["shots"]["popup"] else "**nothing opened**"


def readme_lines(out):
    try:
        with open(os.path.join(out, "menus.json")) as f:
            rows = json.load(f)
    except OSError:
        return []
    lines = ["", README_MARK, "",
             "Written by `tools/tray-hosts/trayhosts.py menus`. Each host's own menu "
             "(left click in XFCE, GNOME and waybar, right click in Plasma and LXQt), opened "
             "at scale 1: *waiting* while the fake usage service holds its first answer, "
             "*answered* once the program has the quotas, *refresh failed* after a refresh "
             "answered with HTTP 500 (the quota rows stay, dimmed bars and a failure line), "
             "*recovered* after the next good refresh. Every opening follows a change of the "
             "rows the program offers, which is where hosts that keep what they learnt of an "
             "id used to draw rows of a new kind with the old one. Plasma's and LXQt's left "
             "click sends Activate and the program shows its own popup.", ""]
    lines += ["| host | waiting | answered | refresh failed | recovered | left-click popup |",
              "|---|---|---|---|---|---|"]
    for row in rows:
        cells = [shot(row, w) for w in ("loading", "loaded", "failed", "recovered")]
        cells.append(shot(row, "popup") if row["name"] in MENU_BUTTON else "(the menu)")
        for i, which in enumerate(("loading", "loaded", "failed", "recovered")):
            if which in row.get("shots", {}) and not row["shots"][which]:
                cells[i] = "**no menu opened**"
        lines.append(f"| {row['host']} | " + " | ".join(cells) + " |")
    for row in rows:
        notes = []
        if "failed" in row:
            notes.append(f"did not finish: {row['failed']}")
        if "loading_shot_while_held" in row and not row["loading_shot_while_held"]:
            notes.append("the *waiting* menu was shot only after the first answer had gone out "
                         f"({row['loading_shot_after_s']} s after the start)")
        if row.get("first_answer") == "held-too-long":
            notes.append(f"the held answer ran out its {th.HOLD_LIMIT} s before it was let go")
        if notes:
            lines.append(f"\n{row['host']}: " + "; ".join(notes) + ".")
    lines += ["", "The rows the program offered at each stage (GetLayout on `/MenuBar`: id, "
              "label, and the properties that change how a host draws a row), the same in "
              "every host but where a host is named:", ""]
    shown = {}
    for row in rows:
        for stage, rows_text in row.get("layouts", {}).items():
            # Clock times differ from run to run.
            key = re.sub(r"\d\d:\d\d:\d\d", "hh:mm:ss", " · ".join(f"`{r}`" for r in rows_text))
            if stage not in shown:
                shown[stage] = key
                lines.append(f"- {stage}: {key}")
            elif shown[stage] != key:
                lines.append(f"- {stage} ({row['host']}): {key}")
    lines += ["", "The item's tool tip: whether it repeated the menu's rows when each menu "
              "above was opened (the program tells hosts of a new tool tip at most every 10 s "
              "and not while its menu is open, so it may lag), and how long after the last "
              "stage it took to catch up:", ""]
    names = {"loading": "waiting", "loaded": "answered", "failed": "refresh failed",
             "recovered": "recovered"}
    for row in rows:
        current = row.get("tooltip_current", {})
        if not current:
            continue
        wait = row.get("tooltip_catch_up_s")
        lines.append(f"- {row['host']}: " + ", ".join(
            f"{names[stage]} {'yes' if ok else 'lagging'}" for stage, ok in current.items())
            + ("; caught up after " + (f"{wait} s" if wait is not None
                                       else "**more than 75 s**") if "tooltip_catch_up_s" in row
               else "") + ".")
    final = next((row["tooltip_final"] for row in rows if row.get("tooltip_final")), None)
    if final:
        lines += ["", f"The tool tip at the end: `{final}`."]
    lines += ["", "## The gauge on light and dark panels", "",
              "The gauge, four times enlarged, on the host's own panel and, for three hosts, on "
              "the other kind, switched in a run of its own before Brimlet starts (XFCE made "
              "light: dark mode off and a solid light background; Plasma made dark: Breeze "
              "Dark; LXQt made dark: its \"dark\" theme). For the idle dot, the bar track and the fill (each the "
              "commonest colour of its kind in the gauge) against the panel's colour beside "
              "it: the luminance contrast ratio (1 none, 21 black on white; 3 is the usual floor "
              "for graphics) and the colour distance ΔE (CIE76; about 2 is barely seen). "
              "*Least* is the weakest of the three, the number to keep alike on light and dark.",
              "", "| host | panel | gauge | panel colour | idle dot | track | fill | least |",
              "|---|---|---|---|---|---|---|---|"]
    for row in rows:
        for panel in row.get("panels", []):
            if "failed" in panel:
                lines.append(f"| {row['host']} | other | could not switch: {panel['failed']} "
                             "| | | | | |")
                continue
            cells = []
            for part in ("idle dot", "track", "fill"):
                p = panel.get(part)
                cells.append(f"{p['ratio']} : 1, ΔE {p['delta_e']}" if p else "not found")
            lines.append(
                f"| {row['host']} | {panel['kind']} ({'default' if panel['which'] == 'own' else 'switched'}) "
                f"| ![gauge]({panel['image']}) | #{'%02x%02x%02x' % tuple(panel['panel'])} | "
                + " | ".join(cells) + f" | {panel['min_ratio']} : 1, ΔE {panel['min_delta_e']} |")

    lines += ["", "## What the hosts logged because of Brimlet", "",
              "Every process's log but Brimlet's own (XFCE's systray plugin wrapper writes to the "
              "panel's, GNOME's extension to gnome-shell's; waybar's sway has a log of its own; "
              "the session bus logs the services it starts) was measured just before Brimlet "
              "started and at the end of each stage above. The control: each log's lines from "
              f"the host's start through {CONTROL_SECONDS} quiet seconds without Brimlet (in "
              "Plasma and LXQt with their own panel menu opened and closed first; Plasma also "
              "with one of its own tool tips shown, and for "
              f"{LONGER_CONTROL['plasma']} s, as its start-up waits 60 s for a splash screen "
              "that is not installed here). A "
              "line written after Brimlet started is counted as Brimlet's when the control did "
              "not have it (numbers and addresses aside), or whenever it names the item, its "
              "menu or its bus name, dbusmenu, StatusNotifier…, QDBusArgument, \"Unhandled "
              "property\" or a JS ERROR. Lines differing only in numbers are merged; each shows "
              "how often it came and in which stages. The goal is none.", ""]
    for row in rows:
        logs = row.get("logs")
        if logs is None:
            lines.append(f"- {row['host']}: not read ({row.get('failed', 'no run')}).")
            continue
        total = sum(e["count"] for log in logs.values() for e in log["ours"])
        lines.append(f"- {row['host']}: **{total}** line{'s' if total != 1 else ''} "
                     f"(Brimlet's bus name {row.get('bus_name')}).")
        for label, log in logs.items():
            if not log["new_lines"]:
                continue
            lines.append(f"  - {label}: {log['new_lines']} new lines, "
                         f"{log['new_lines'] - log['other_lines']} Brimlet's"
                         + (":" if log["ours"] else "."))
            if log["ours"]:
                lines += ["", "    ```"]
                for entry in log["ours"]:
                    lines.append(f"    {entry['count']}× {entry['line']}")
                    lines.append(f"       ({'; '.join(entry['stages'])})")
                lines += ["    ```", ""]
    return lines
