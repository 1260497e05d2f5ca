#!/usr/bin/env python3
"""The web page in a real browser: Debian's Chromium, headless, driven through its DevTools
protocol over a pipe (--remote-debugging-pipe), with nothing but the standard library.

Serves dist/web/ twice on free ports of 127.0.0.1: as a plain static host does, where the
page runs its single-threaded build, and with the two headers of cross-origin isolation
(Cross-Origin-Opener-Policy, Cross-Origin-Embedder-Policy), where it runs the threaded one.
Checks, each in a fresh browser profile (the -threads ones on the isolating server):
  notices   dist/web holds LICENSE.txt (MIT) and THIRD-PARTY-NOTICES.txt naming every
            library compiled in, with where libmpg123's source is (no browser);
  play      the page loads without a console error, warns of flashing lights and offers the
            play button; "Fewer flashes" switched on is remembered by the browser, and after
            the click the demo runs gently: the audio context runs, frames are shown and the
            music clock advances (--autoplay-policy=no-user-gesture-required stands in for a
            user's click);
  no-wasm   with WebAssembly taken away (before the page's scripts run) the page says it
            needs it;
  no-audio  with Web Audio taken away the page says the demo plays without sound, and it
            does, on the silent clock;
  frames    ?test=frames renders the fixed clock from the start and fingerprints the golden
            frames of tests/unit/golden_frames.txt; every fingerprint must equal the stored one
            (the native build's, checked by test_golden_frames);
  jumps     ?test=jumps makes the same golden frames by jumps (app/replay.h), back and forth
            across the timeline: every fingerprint must equal the stored one;
  controls  while playing: the control bar shows on a pointer move and a touch and hides
            after two seconds of play; its pause button stops the clock; the keys 4, Right,
            M and Space do what the demo's key table says and Ctrl+Right is left to the
            browser; dragging the seek bar jumps there; a hidden tab pauses and showing it
            plays on; at the end Play again starts from the beginning without a reload;
            screenshots at 1280x800 and 390x844 with the bar shown;
  bench     ?test=bench times every frame of the timeline at 60 frames a second and prints
            each scene's mean and worst like pixeldemo --bench (figures, no assertion but
            the drawing threads: one in the single-threaded build, one per core, at most 8,
            in the threaded one);
  keys      a table of key presses: F switches full screen in and out; Ctrl+F, Alt+F and
            Meta+F are the browser's and do nothing;
  dblclick  a double click on Play starts the demo and is no full-screen request; a double
            click on the picture later is;
  file      opened as a file:// page, it says it must be served over HTTP, and how;
  downloads a table of damaged downloads (the data or the program cut short on the host, the
            connection broken off, the program damaged): each ends with the page saying
            what happened and to reload, the progress bar gone and no uncaught error;
  scaling   ?test=pattern at a table of window sizes (a 640x540 window's 640x453 view, 800x600,
            1366x768, a 390x844 phone): the picture has the size and scaling of the native
            build's rule, and every lone demo pixel of the pattern shows (exactly, at a
            whole-number scale); screenshots of the loading picture at each size.
            (1280x1000, 2:1, is checked as well.)
  jumps-bench  ?test=jumps-bench prints the jump bench like pixeldemo --bench-jumps;
  play-threads, frames-threads, jumps-threads, controls-threads, bench-threads,
  jumps-bench-threads, downloads-threads   the same with the threaded build (the downloads
            table: its program cut short and damaged).
Every check that loads the program also makes sure the page chose the build its server
calls for.

Ends with the line "N passed, M failed"; the exit code is 1 when anything failed.
Screenshots and the console of each check go to --out.
"""
import argparse
import functools
import http.server
import json
import os
import queue
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib


def chromium_binary():
    for path in ("/usr/lib/chromium/chromium", "/usr/bin/chromium"):
        if os.access(path, os.X_OK):
            return path
    sys.exit("browser_test: Debian's chromium is not installed")


class Browser:
    """One headless Chromium with a fresh profile; CDP messages are JSON texts ended by a
    NUL byte, written to its fd 3 and read from its fd 4."""

    def __init__(self, out_dir, name, extra_args=(), script=None):
        self.profile = tempfile.mkdtemp(prefix="pixeldemo-chromium-")
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()

        def wire_pipes():
            # Out of the way first, so neither end is overwritten by the other's dup2.
            read_end = os.dup(to_child_r)
            write_end = os.dup(from_child_w)
            read_end, write_end = os.dup2(read_end, 100), os.dup2(write_end, 101)
            os.dup2(read_end, 3)
            os.dup2(write_end, 4)

        args = [chromium_binary(), "--headless", "--no-sandbox", "--disable-gpu",
                "--disable-quic", "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--disable-extensions",
                "--mute-audio", "--autoplay-policy=no-user-gesture-required",
                "--remote-debugging-pipe", "--user-data-dir=" + self.profile,
                "--window-size=960,720"] + list(extra_args) + ["about:blank"]
        self.log = open(os.path.join(out_dir, name + "-chromium.log"), "w")
        # Descriptors 3 and 4 are made in the child; close_fds would close them again.
        self.process = subprocess.Popen(args, close_fds=False, preexec_fn=wire_pipes,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        os.close(to_child_r)
        os.close(from_child_w)
        self.next_id = 0
        self.replies = {}
        self.events = queue.Queue()
        self.lock = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable", session=True)
        if script:
            self.call("Page.addScriptToEvaluateOnNewDocument", {"source": script}, session=True)

    def _read(self):
        buffer = b""
        while True:
            chunk = os.read(self.from_child, 1 << 16)
            if not chunk:
                break
            buffer += chunk
            while b"\0" in buffer:
                raw, buffer = buffer.split(b"\0", 1)
                message = json.loads(raw)
                if "id" in message:
                    with self.lock:
                        self.replies[message["id"]] = message
                        self.lock.notify_all()
                else:
                    self.events.put(message)
        with self.lock:
            self.lock.notify_all()

    def call(self, method, params=None, session=False, timeout=60):
        with self.lock:
            self.next_id += 1
            ident = self.next_id
        message = {"id": ident, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.to_child, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        with self.lock:
            while ident not in self.replies:
                left = deadline - time.monotonic()
                if left <= 0 or self.process.poll() is not None:
                    raise RuntimeError(method + ": no answer from Chromium")
                self.lock.wait(left)
            reply = self.replies.pop(ident)
        if "error" in reply:
            raise RuntimeError(method + ": " + reply["error"].get("message", "error"))
        return reply.get("result", {})

    def evaluate(self, expression, timeout=60):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True}, session=True,
                           timeout=timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("page: " + json.dumps(result["exceptionDetails"])[:400])
        return result["result"].get("value")

    def drain_events(self):
        """Console lines and errors since the last call: (lines, errors)."""
        lines, errors = [], []
        while True:
            try:
                event = self.events.get_nowait()
            except queue.Empty:
                return lines, errors
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.consoleAPICalled":
                text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
                lines.append(params["type"] + ": " + text)
                if params["type"] in ("error", "assert"):
                    errors.append(text)
            elif method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                text = details.get("exception", {}).get("description") or details.get("text")
                lines.append("exception: " + str(text))
                errors.append(str(text))
            elif method == "Log.entryAdded":
                entry = params["entry"]
                lines.append("log " + entry["level"] + ": " + entry["text"])
                if entry["level"] == "error":
                    errors.append(entry["text"] + " " + entry.get("url", ""))

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        import base64
        png = base64.b64decode(data)
        with open(path, "wb") as f:
            f.write(png)
        return png

    def key(self, key, code, modifiers=0):
        """A key pressed and released, as the user's keyboard sends it."""
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent",
                      {"type": kind, "key": key, "code": code, "modifiers": modifiers,
                       "windowsVirtualKeyCode": ord(key.upper()) if len(key) == 1 else 0},
                      session=True)

    def click(self, x, y, count=1, at=None):
        """The count-th click of a series at (x, y), pressed and released; `at` (seconds
        since the epoch) is when the user made it, however long the page takes to answer."""
        for kind in ("mousePressed", "mouseReleased"):
            event = {"type": kind, "x": x, "y": y, "button": "left", "clickCount": count}
            if at is not None:
                event["timestamp"] = at
            self.call("Input.dispatchMouseEvent", event, session=True)

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except RuntimeError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_child)
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    # Paths whose answer breaks off half-way: the full length is announced, half is sent.
    broken = set()

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path not in self.broken:
            return super().do_GET()
        with open(self.translate_path(self.path), "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:len(body) // 2])
        self.wfile.flush()
        self.close_connection = True


class IsolatingHandler(QuietHandler):
    """The two headers that make the page cross-origin isolated, on every file."""
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()


def serve(directory, isolating=False):
    handler = functools.partial(IsolatingHandler if isolating else QuietHandler,
                                directory=directory)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def site_copy(dist, root, name, change=None):
    """root/name/: the files of dist as links, the one `change` names (file, bytes -> bytes)
    written changed. Returns the folder's name as a URL path."""
    folder = os.path.join(root, name)
    os.makedirs(folder)
    for f in os.listdir(dist):
        if change and f == change[0]:
            with open(os.path.join(dist, f), "rb") as src:
                data = change[1](src.read())
            with open(os.path.join(folder, f), "wb") as dst:
                dst.write(data)
        else:
            os.symlink(os.path.join(os.path.abspath(dist), f), os.path.join(folder, f))
    return name + "/"


def read_png(png):
    """A PNG screenshot (8-bit RGB or RGBA, not interlaced) as (width, height, channels,
    rows of bytes)."""
    at, idat = 8, b""
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        body = png[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise RuntimeError("unexpected PNG format")
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind == 1:
            for i in range(channels, stride):
                row[i] = (row[i] + row[i - channels]) & 255
        elif kind == 2:
            row = bytearray((a + b) & 255 for a, b in zip(row, previous))
        elif kind == 3:
            for i in range(stride):
                left = row[i - channels] if i >= channels else 0
                row[i] = (row[i] + ((left + previous[i]) >> 1)) & 255
        elif kind == 4:
            for i in range(stride):
                a = row[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(row)
        previous = row
    return width, height, channels, rows


def wait_for_state(browser, wanted, timeout):
    deadline = time.monotonic() + timeout
    state = None
    while time.monotonic() < deadline:
        state = browser.evaluate("window.pixeldemoState")
        if state in wanted or state == "failed":
            return state
        time.sleep(0.25)
    return state


def read_golden(path):
    """Frame numbers, fingerprints and the fps of tests/unit/golden_frames.txt."""
    frames = []
    fps = None
    with open(path) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            n, t, fingerprint = line.split()[:3]
            frames.append((int(n), fingerprint))
            if float(t) > 0:
                fps = round(int(n) / float(t))
    return fps, frames


class Checks:
    def __init__(self, out_dir):
        self.out_dir = out_dir
        self.passed = 0
        self.failed = 0

    def record(self, name, problems, console):
        with open(os.path.join(self.out_dir, name + "-console.txt"), "w") as f:
            f.write("\n".join(console) + "\n")
        if problems:
            self.failed += 1
            print("FAIL %s" % name)
            for p in problems:
                print("  " + p)
        else:
            self.passed += 1
            print("ok   %s" % name)
        sys.stdout.flush()


def check_notices(dist, checks):
    """dist/web carries the licence and the notices of every library compiled in."""
    problems = []
    try:
        with open(os.path.join(dist, "LICENSE.txt")) as f:
            if "MIT License" not in f.read():
                problems.append("LICENSE.txt is not the MIT licence")
        with open(os.path.join(dist, "THIRD-PARTY-NOTICES.txt")) as f:
            notices = f.read()
        for lib in ("SDL2", "libpng", "zlib", "libmpg123", "kissfft", "emscripten runtime"):
            if "\n  " + lib not in notices:
                problems.append("THIRD-PARTY-NOTICES.txt does not list " + lib)
        if "apt-get source mpg123=" not in notices or "GNU LESSER GENERAL PUBLIC LICENSE" not in notices:
            problems.append("THIRD-PARTY-NOTICES.txt does not say where libmpg123's source is, "
                            "or lacks the LGPL's text")
    except OSError as e:
        problems.append(str(e))
    checks.record("notices", problems, [])


def build_problems(browser, build):
    """Whether the page runs the build its server calls for ("single" or "threads")."""
    have = browser.evaluate("window.pixeldemoBuild")
    return [] if have == build else ["the page chose the %s build, not the %s one" % (have, build)]


def suffix(build):
    return "-threads" if build == "threads" else ""


def check_play(url, checks, build="single"):
    name = "play" + suffix(build)
    browser = Browser(checks.out_dir, name)
    console, problems = [], []
    try:
        browser.call("Page.navigate", {"url": url + "index.html"}, session=True)
        state = wait_for_state(browser, ("ready",), 120)
        problems += build_problems(browser, build)
        if state != "ready":
            problems.append("the page did not offer the play button (state %s)" % state)
        elif not browser.evaluate("!document.getElementById('play').hidden"):
            problems.append("the play button is not shown")
        panel = browser.evaluate("document.getElementById('panel').textContent")
        if "This demo contains flashing lights" not in panel:
            problems.append("the panel does not warn of flashing lights: %r" % panel)
        browser.evaluate("document.getElementById('gentle').click()")
        stored = browser.evaluate("localStorage.getItem('pixeldemo.fewerFlashes')")
        if stored != "1":
            problems.append("the browser does not remember 'Fewer flashes': %r" % stored)
        browser.screenshot(os.path.join(checks.out_dir, name + "-ready.png"))
        if state == "ready":
            state, audio, first, second = play_and_measure(browser, checks.out_dir, name)
            if state != "playing":
                problems.append("state after the click: %s" % state)
            if audio != "running":
                problems.append("the audio context is %s, not running" % audio)
            if not (second > first + 0.5):
                problems.append("the clock did not advance: t = %s, then %s" % (first, second))
            print("     %s: audio context %s, music time %.2f s -> %.2f s" % (name, audio, first, second))
        lines, errors = browser.drain_events()
        console += lines
        if not any("FPS:" in line for line in lines):
            problems.append("no FPS line in the console")
        if not any("fewer flashes" in line for line in lines):
            problems.append("the demo did not play with fewer flashes")
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record(name, problems, console)


def play_and_measure(browser, out_dir, name):
    """Clicks play; returns (state, audio context state, music time before, after)."""
    browser.evaluate("document.getElementById('play').click()")
    time.sleep(2.0)
    first = browser.evaluate("Module._webPlayTime()")
    time.sleep(1.5)
    second = browser.evaluate("Module._webPlayTime()")
    audio = browser.evaluate(
        "Module.SDL2 && Module.SDL2.audioContext ? Module.SDL2.audioContext.state : 'none'")
    browser.screenshot(os.path.join(out_dir, name + "-running.png"))
    return browser.evaluate("window.pixeldemoState"), audio, first, second


def check_without(url, checks, name, extra_args, script, what):
    """A browser without WebAssembly or without Web Audio: the page says so plainly; without
    audio the demo still plays, on the silent clock."""
    browser = Browser(checks.out_dir, name, extra_args, script)
    console, problems = [], []
    try:
        browser.call("Page.navigate", {"url": url + "index.html"}, session=True)
        wanted = ("failed",) if what == "WebAssembly" else ("ready",)
        state = wait_for_state(browser, wanted, 120)
        text = browser.evaluate("document.getElementById('message').textContent")
        browser.screenshot(os.path.join(checks.out_dir, name + ".png"))
        if state not in wanted:
            problems.append("state %s, expected %s" % (state, wanted[0]))
        if what not in text:
            problems.append("the page does not say that %s is missing: %r" % (what, text))
        print("     %s: %s" % (name, text))
        if what == "Web Audio" and state == "ready":
            state, audio, first, second = play_and_measure(browser, checks.out_dir, name)
            if state != "playing" or not (second > first + 0.5):
                problems.append("no silent play: state %s, t = %s, then %s" % (state, first, second))
        lines, errors = browser.drain_events()
        console += lines
        # The page reports its own failure on the console as an error; nothing else may.
        problems += ["console error: " + e for e in errors
                     if not (what == "WebAssembly" and e.startswith("pixeldemo: "))]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record(name, problems, console)


def check_frames(url, golden_path, checks, mode="frames", build="single"):
    fps, golden = read_golden(golden_path)
    numbers = ",".join(str(n) for n, _ in golden)
    name = mode + suffix(build)
    browser = Browser(checks.out_dir, name)
    console, problems = [], []
    try:
        browser.call("Page.navigate",
                     {"url": url + "index.html?test=%s&fps=%d&frames=%s" % (mode, fps, numbers)},
                     session=True)
        state = wait_for_state(browser, ("done",), 600)
        problems += build_problems(browser, build)
        browser.screenshot(os.path.join(checks.out_dir, name + "-last.png"))
        if state != "done":
            problems.append("the %s test did not finish (state %s)" % (mode, state))
        else:
            got = browser.evaluate("window.pixeldemoResult.hashes")
            same = 0
            for n, want in golden:
                have = got.get(str(n))
                if have == want:
                    same += 1
                else:
                    problems.append("frame %d (t = %.1f s): %s, the native build's %s"
                                    % (n, n / fps, have, want))
            print("     %s: %d of %d identical to the native build's" % (name, same, len(golden)))
        lines, errors = browser.drain_events()
        console += lines
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record(name, problems, console)


class Page:
    """Input as a user makes it, through the DevTools protocol, and the demo's status."""

    KEYS = {"4": ("Digit4", 52, "4"), "ArrowRight": ("ArrowRight", 39, ""), "m": ("KeyM", 77, "m"),
            " ": ("Space", 32, " ")}

    def __init__(self, browser):
        self.browser = browser

    def status(self):
        return self.browser.evaluate("JSON.parse(Module.UTF8ToString(Module._webStatus()))")

    def center(self, element_id):
        box = self.browser.evaluate(
            "(() => { const b = document.getElementById('%s').getBoundingClientRect();"
            " return [b.left, b.top, b.width, b.height]; })()" % element_id)
        return box[0] + box[2] / 2, box[1] + box[3] / 2, box

    def mouse(self, kind, x, y, buttons=0):
        params = {"type": kind, "x": x, "y": y, "buttons": buttons}
        if kind in ("mousePressed", "mouseReleased"):
            params.update(button="left", clickCount=1)
        self.browser.call("Input.dispatchMouseEvent", params, session=True)

    def click(self, element_id):
        x, y, _ = self.center(element_id)
        self.mouse("mouseMoved", x, y)
        self.mouse("mousePressed", x, y, 1)
        self.mouse("mouseReleased", x, y)

    def drag(self, element_id, start, end, steps=8):
        """Presses at `start` of the element's width (0..1), moves to `end`, lets go."""
        _, y, box = self.center(element_id)
        xs = [box[0] + box[2] * (start + (end - start) * i / steps) for i in range(steps + 1)]
        self.mouse("mouseMoved", xs[0], y)
        self.mouse("mousePressed", xs[0], y, 1)
        for x in xs[1:]:
            self.mouse("mouseMoved", x, y, 1)
            time.sleep(0.03)
        self.mouse("mouseReleased", xs[-1], y)

    def key(self, key, modifiers=0):
        code, vk, text = self.KEYS[key]
        down = {"type": "keyDown" if text and not modifiers else "rawKeyDown", "key": key,
                "code": code, "windowsVirtualKeyCode": vk, "modifiers": modifiers}
        if text and not modifiers:
            down["text"] = text
        self.browser.call("Input.dispatchKeyEvent", down, session=True)
        self.browser.call("Input.dispatchKeyEvent", {"type": "keyUp", "key": key, "code": code,
                                                     "windowsVirtualKeyCode": vk,
                                                     "modifiers": modifiers}, session=True)

    def tap(self, x, y):
        point = [{"x": x, "y": y}]
        self.browser.call("Input.dispatchTouchEvent", {"type": "touchStart", "touchPoints": point},
                          session=True)
        self.browser.call("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []},
                          session=True)

    def controls_shown(self):
        return self.browser.evaluate("window.pixeldemoControlsShown()")


def check_controls(url, checks, build="single"):
    name = "controls" + suffix(build)
    browser = Browser(checks.out_dir, name, ["--touch-events=enabled"])
    page = Page(browser)
    console, problems = [], []

    def expect(condition, what):
        if not condition:
            problems.append(what)
        return condition

    try:
        browser.call("Page.navigate", {"url": url + "index.html"}, session=True)
        if wait_for_state(browser, ("ready",), 120) != "ready":
            raise RuntimeError("the page did not offer the play button")
        problems += build_problems(browser, build)
        page.click("play")
        time.sleep(1.0)
        expect(browser.evaluate("window.pixeldemoState") == "playing", "not playing after the click")

        # Shown on a move, away after two seconds of play, back on a tap.
        page.mouse("mouseMoved", 300, 200)
        expect(page.controls_shown(), "no control bar after a pointer move")
        time.sleep(2.6)
        expect(not page.controls_shown(), "the control bar stays while playing untouched")
        page.tap(300, 200)
        time.sleep(0.2)
        expect(page.controls_shown(), "no control bar after a tap")

        # The pause button stops the clock; the bar stays while paused.
        page.click("playpause")
        time.sleep(0.3)
        first = page.status()
        time.sleep(1.2)
        second = page.status()
        expect(first["paused"], "the pause button did not pause")
        expect(first["t"] == second["t"], "paused, the time went on: %s -> %s" % (first["t"], second["t"]))
        expect(page.controls_shown(), "the control bar went away while paused")

        # Keys, paused: 4 jumps to scene 4's first frame, Right 5 s on, M mutes; Ctrl+Right is
        # the browser's.
        page.key("4")
        s = page.status()
        expect(s["scene"] == 4 and abs(s["t"] - 2881 / 60) < 1e-3, "4: %s" % s)
        page.key("ArrowRight")
        s = page.status()
        expect(abs(s["t"] - (2881 / 60 + 5)) < 0.02, "Right from 48.02 s: %s" % s)
        page.key("ArrowRight", modifiers=2)
        expect(abs(page.status()["t"] - s["t"]) < 1e-6, "Ctrl+Right moved the demo")
        page.key("m")
        expect(page.status()["muted"], "M did not mute")
        page.key("m")

        # Dragging the seek bar from a tenth to six tenths of it: the picture jumps there.
        page.drag("seek", 0.1, 0.6)
        time.sleep(0.3)
        s = page.status()
        end = browser.evaluate("JSON.parse(Module.UTF8ToString(Module._webScenes())).end")
        expect(abs(s["t"] - 0.6 * end) < 1.0, "the seek bar dragged to 60%%: t = %s" % s["t"])
        expect(s["paused"], "dragging the seek bar started play")

        for width, height, mobile in ((1280, 800, False), (390, 844, True)):
            browser.call("Emulation.setDeviceMetricsOverride",
                         {"width": width, "height": height, "deviceScaleFactor": 1,
                          "mobile": mobile}, session=True)
            time.sleep(0.3)
            page.mouse("mouseMoved", width / 2, height / 2)
            time.sleep(0.2)
            _, _, seek_box = page.center("seek")
            expect(seek_box[2] > width * 0.5, "%dx%d: the seek bar is %d px wide" % (width, height, seek_box[2]))
            browser.screenshot(os.path.join(checks.out_dir, "%s-%dx%d.png" % (name, width, height)))
        browser.call("Emulation.clearDeviceMetricsOverride", {}, session=True)

        # Space plays on; a hidden tab (another one brought to the front) pauses, shown
        # again it plays on.
        page.key(" ")
        time.sleep(0.5)
        expect(not page.status()["paused"], "Space did not play on")
        other = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        time.sleep(0.5)
        hidden = browser.evaluate("document.visibilityState")
        paused = page.status()["paused"]
        browser.call("Target.closeTarget", {"targetId": other})
        browser.call("Page.bringToFront", {}, session=True)
        time.sleep(0.8)
        expect(hidden == "hidden", "the tab did not become hidden (%s)" % hidden)
        expect(paused, "the hidden tab did not pause the demo")
        s = page.status()
        expect(browser.evaluate("document.visibilityState") == "visible" and not s["paused"],
               "shown again, the demo did not play on: %s" % s)

        # The end, then Play again without a reload.
        browser.evaluate("Module._webSeek(148.5), 0")
        state = wait_for_state(browser, ("ended",), 20)
        expect(state == "ended", "the end did not come (state %s)" % state)
        browser.evaluate("window.pixeldemoMarker = 1")
        page.click("again")
        time.sleep(1.0)
        s = page.status()
        expect(browser.evaluate("window.pixeldemoState") == "playing" and s["t"] < 3 and not s["ended"],
               "Play again: %s" % s)
        expect(browser.evaluate("window.pixeldemoMarker") == 1, "Play again loaded the page anew")
        lines, errors = browser.drain_events()
        console += lines
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record(name, problems, console)


def check_bench(url, checks, fps, mode="bench", build="single"):
    name = mode + suffix(build)
    browser = Browser(checks.out_dir, name)
    console, problems = [], []
    try:
        browser.call("Page.navigate", {"url": url + "index.html?test=%s&fps=%d" % (mode, fps)},
                     session=True)
        state = wait_for_state(browser, ("done",), 1200)
        if state != "done":
            problems.append("the bench did not finish (state %s)" % state)
        problems += build_problems(browser, build)
        cores = browser.evaluate("navigator.hardwareConcurrency || 1")
        want = 1 if build == "single" else min(cores, 8)
        lines, errors = browser.drain_events()
        console += lines
        threads = None
        for line in lines:
            text = line.split(": ", 1)[-1]
            if text.startswith(("threads:", "scene ", "total:", "bench wall", "walk ahead",
                                "first jump", "no scene", "to every", "18 frames", "forks in")):
                print("     %s: %s" % (name, text))
            if text.startswith("threads: "):
                threads = int(text.split()[1])
        # The drawing threads, named by the bench's first line.
        if mode == "bench" and state == "done" and threads != want:
            problems.append("the bench drew with %s threads, not %d" % (threads, want))
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record(name, problems, console)


def fullscreen(browser):
    return browser.evaluate("!!document.fullscreenElement")


def wait_for(browser, expression, timeout=5.0):
    """Polls a page expression until it is true; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = browser.evaluate(expression)
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


def check_keys(url, checks):
    """Each key press in turn, from a page that is ready: whether full screen is on after."""
    cases = [
        ("Ctrl+F", "f", "KeyF", 2, False),
        ("Alt+F", "f", "KeyF", 1, False),
        ("Meta+F", "f", "KeyF", 4, False),
        ("Ctrl+Shift+F", "F", "KeyF", 10, False),
        ("F", "f", "KeyF", 0, True),
        ("Ctrl+F in full screen", "f", "KeyF", 2, True),
        ("F again", "f", "KeyF", 0, False),
        ("Shift+F", "F", "KeyF", 8, True),
    ]
    browser = Browser(checks.out_dir, "keys")
    console, problems = [], []
    try:
        browser.call("Page.navigate", {"url": url + "index.html"}, session=True)
        state = wait_for_state(browser, ("ready",), 120)
        if state != "ready":
            problems.append("the page did not become ready (state %s)" % state)
        else:
            for name, key, code, modifiers, want in cases:
                browser.key(key, code, modifiers)
                have = wait_for(browser, "!!document.fullscreenElement === %s" % str(want).lower(), 2.0)
                if not have:
                    problems.append("%s: full screen is %s, expected %s"
                                    % (name, "on" if fullscreen(browser) else "off",
                                       "on" if want else "off"))
            print("     keys: %d presses checked" % len(cases))
        lines, errors = browser.drain_events()
        console += lines
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record("keys", problems, console)


def check_dblclick(url, checks):
    browser = Browser(checks.out_dir, "dblclick")
    console, problems = [], []
    try:
        browser.call("Page.navigate", {"url": url + "index.html"}, session=True)
        state = wait_for_state(browser, ("ready",), 120)
        if state != "ready":
            problems.append("the page did not become ready (state %s)" % state)
        else:
            box = browser.evaluate("(() => { const r = document.getElementById('play')"
                                   ".getBoundingClientRect(); return [r.x + r.width / 2, "
                                   "r.y + r.height / 2]; })()")
            # The double click on Play, its clicks 0.15 s apart as the user made them (the
            # page may take longer than that to start the demo): the first click starts the
            # demo, the second lands on the picture.
            now = time.time()
            browser.click(box[0], box[1], 1, at=now)
            browser.click(box[0], box[1], 2, at=now + 0.15)
            time.sleep(0.5)
            if browser.evaluate("window.pixeldemoState") != "playing":
                problems.append("a double click on Play did not start the demo")
            if fullscreen(browser):
                problems.append("a double click on Play also switched to full screen")
            # Later, a double click on the picture is a request for full screen.
            time.sleep(1.0)
            now = time.time()
            browser.click(box[0], box[1] - 100, 1, at=now)
            browser.click(box[0], box[1] - 100, 2, at=now + 0.15)
            if not wait_for(browser, "!!document.fullscreenElement", 2.0):
                problems.append("a double click on the picture did not switch to full screen")
        lines, errors = browser.drain_events()
        console += lines
        problems += ["console error: " + e for e in errors]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record("dblclick", problems, console)


def check_file_page(dist, checks):
    browser = Browser(checks.out_dir, "file")
    console, problems = [], []
    try:
        page = "file://" + os.path.join(os.path.abspath(dist), "index.html")
        browser.call("Page.navigate", {"url": page}, session=True)
        state = wait_for_state(browser, ("failed",), 30)
        text = browser.evaluate("document.getElementById('message').textContent")
        browser.screenshot(os.path.join(checks.out_dir, "file.png"))
        print("     file: %s" % text)
        if state != "failed":
            problems.append("state %s, expected failed" % state)
        for part in ("served over HTTP", "scripts/web.sh serve", "static web server"):
            if part not in text:
                problems.append("the message does not say %r: %r" % (part, text))
        lines, errors = browser.drain_events()
        console += lines
        problems += ["console error: " + e for e in errors if not e.startswith("pixeldemo: ")]
    except RuntimeError as e:
        problems.append(str(e))
    finally:
        browser.close()
    checks.record("file", problems, console)


def check_downloads(dist, root, url, checks, build="single"):
    """Copies of the page whose downloads go wrong, each in a folder of its own under root;
    for the threaded build, its own program's."""
    def half(data):
        return data[:len(data) // 2]

    def damaged(data):
        # The same size; past the header, every byte of the code inverted.
        return data[:8] + bytes(b ^ 0xFF for b in data[8:])

    incomplete = r"^The download was incomplete \(got \d+\.\d of \d+\.\d MB of %s\); reload to try again\.$"
    wasm = "pixeldemo-threads.wasm" if build == "threads" else "pixeldemo.wasm"
    cases = [
        ("data-cut", ("pixeldemo.data", half), None, incomplete % r"pixeldemo\.data"),
        ("wasm-cut", (wasm, half), None, incomplete % re.escape(wasm)),
        ("data-broken-off", None, "pixeldemo.data", incomplete % r"pixeldemo\.data"),
        ("wasm-damaged", (wasm, damaged), None,
         r"^The download was damaged \(%s could not be compiled: .*\); reload to try again\.$"
         % re.escape(wasm)),
    ]
    if build == "threads":
        # The data arrives the same way for both builds.
        cases = [case for case in cases if case[1] and case[1][0] == wasm]
    for name, change, broken, expect in cases:
        name += suffix(build)
        path = site_copy(dist, root, name, change)
        if broken:
            QuietHandler.broken.add("/" + path + broken)
        browser = Browser(checks.out_dir, "download-" + name)
        console, problems = [], []
        try:
            browser.call("Page.navigate", {"url": url + path + "index.html"}, session=True)
            state = wait_for_state(browser, ("ready",), 120)
            problems += build_problems(browser, build)
            text = browser.evaluate("document.getElementById('message').textContent")
            browser.screenshot(os.path.join(checks.out_dir, "download-" + name + ".png"))
            print("     download %s: %s" % (name, text))
            if state != "failed":
                problems.append("state %s, expected failed" % state)
            if not re.match(expect, text):
                problems.append("message %r does not match %r" % (text, expect))
            if not browser.evaluate("document.getElementById('progress').hidden"):
                problems.append("the progress bar is still shown")
            lines, errors = browser.drain_events()
            console += lines
            # The page's own report, and the browser's note on the broken connection.
            problems += ["console error: " + e for e in errors
                         if not e.startswith("pixeldemo: ") and "ERR_CONTENT_LENGTH_MISMATCH" not in e]
        except RuntimeError as e:
            problems.append(str(e))
        finally:
            browser.close()
        checks.record("download-" + name, problems, console)


def check_scaling(url, checks):
    """The pattern of lone pixels at each window size: the picture's size and scaling follow
    the native build's rule, and no demo pixel is lost."""
    # window (view) size -> picture size, whole factor of the enlargement, smoothed after it
    cases = [
        ((640, 540), (640, 480), 1, False),     # 1:1
        ((640, 453), (604, 453), 1, True),      # a 640x540 window's view: just below 1:1
        ((800, 600), (800, 600), 2, True),
        ((1366, 768), (1024, 768), 2, True),
        ((1280, 1000), (1280, 960), 2, False),  # 2:1
        ((390, 844), (390, 293), 1, True),      # a phone held upright
    ]
    problems, console = [], []
    for view, picture, factor, smooth in cases:
        name = "scaling-%dx%d" % view
        for mode in ("", "?test=pattern"):
            browser = Browser(checks.out_dir, name)
            try:
                browser.call("Emulation.setDeviceMetricsOverride",
                             {"width": view[0], "height": view[1], "deviceScaleFactor": 1,
                              "mobile": False}, session=True)
                browser.call("Page.navigate", {"url": url + "index.html" + mode}, session=True)
                state = wait_for_state(browser, ("ready", "done"), 120)
                if mode == "":
                    # The loading picture with its badge, for the eye.
                    browser.screenshot(os.path.join(checks.out_dir, name + "-loading.png"))
                    continue
                if state != "done":
                    problems.append("%s: the pattern page did not finish (state %s)" % (name, state))
                    continue
                plan = browser.evaluate("window.pixeldemoScaling")
                box = browser.evaluate("(() => { const c = document.getElementById('canvas'); "
                                       "const r = c.getBoundingClientRect(); return [r.x, r.y, "
                                       "r.width, r.height, c.width, c.height, c.hidden, "
                                       "getComputedStyle(c).imageRendering]; })()")
                want = {"width": picture[0], "height": picture[1], "factor": factor, "smooth": smooth}
                if plan != want:
                    problems.append("%s: plan %s, expected %s" % (name, plan, want))
                x0, y0, w, h, cw, ch, hidden, rendering = box
                # Smoothed: the canvas holds the frame enlarged by the whole factor, which the
                # browser smooths to the picture's size. Whole: the frame, which the browser
                # enlarges by nearest neighbour.
                pixels = (640 * factor, 480 * factor) if smooth else (640, 480)
                if (w, h) != picture or (cw, ch) != pixels or hidden:
                    problems.append("%s: canvas shown %sx%s from %sx%s pixels%s, expected %dx%d from %dx%d"
                                    % (name, w, h, cw, ch, " (hidden)" if hidden else "",
                                       picture[0], picture[1], pixels[0], pixels[1]))
                    continue
                if rendering != ("auto" if smooth else "pixelated"):
                    problems.append("%s: image-rendering %s" % (name, rendering))
                width, height, channels, rows = read_png(
                    browser.screenshot(os.path.join(checks.out_dir, name + ".png")))
                sx, sy = w / 640.0, h / 480.0
                lost, blurred = [], 0
                for x in range(640):
                    y = (x * 37) % 480
                    if not smooth:
                        # Whole-number scale: the pixel is an exact white block.
                        px, py = int(x0 + x * sx), int(y0 + y * sy)
                        if any(rows[py + j][(px + i) * channels] != 255
                               for j in range(int(sy)) for i in range(int(sx))):
                            blurred += 1
                        continue
                    left, right = int(x0 + x * sx) - 1, int(x0 + (x + 1) * sx) + 1
                    top, bottom = int(y0 + y * sy) - 1, int(y0 + (y + 1) * sy) + 1
                    peak = max(rows[j][i * channels]
                               for j in range(max(top, 0), min(bottom + 1, height))
                               for i in range(max(left, 0), min(right + 1, width)))
                    # Seen at all: smoothing to 390x293 leaves a lone pixel falling between
                    # the filter's samples a small share (10 of 255 measured); nearest
                    # neighbour leaves a dropped one black.
                    if peak < 8:
                        lost.append(x)
                if lost:
                    problems.append("%s: %d demo pixels lost (columns %s)"
                                    % (name, len(lost), ", ".join(map(str, lost[:8]))))
                if blurred:
                    problems.append("%s: %d pixels not shown as exact blocks" % (name, blurred))
                print("     %s: picture %dx%d, %s" % (name, w, h,
                      "x%d then smoothed" % factor if smooth and factor > 1 else
                      "smoothed" if smooth else "x%d nearest" % factor))
                lines, errors = browser.drain_events()
                console += lines
                problems += ["%s: console error: %s" % (name, e) for e in errors]
            except RuntimeError as e:
                problems.append("%s: %s" % (name, e))
            finally:
                browser.close()
    checks.record("scaling", problems, console)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dist", required=True, help="the built page (dist/web)")
    parser.add_argument("--golden", required=True, help="tests/unit/golden_frames.txt")
    parser.add_argument("--out", required=True, help="folder for screenshots and consoles")
    threaded = ("play", "downloads", "frames", "jumps", "controls", "bench", "jumps-bench")
    names = ("notices", "play", "no-wasm", "no-audio", "keys", "dblclick", "file", "downloads", "scaling",
             "frames", "jumps", "controls", "bench", "jumps-bench") + tuple(n + "-threads" for n in threaded)
    parser.add_argument("--only", choices=names, action="append", help="run only these checks")
    parser.add_argument("--bench-fps", type=int, default=60)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    # The page as built under page/, and the damaged copies of the downloads check beside it;
    # served as a plain host does, and with the headers of cross-origin isolation.
    root = tempfile.mkdtemp(prefix="pixeldemo-site-")
    server, base = serve(root)
    isolating_server, isolated_base = serve(root, isolating=True)
    page = site_copy(args.dist, root, "page")
    url, isolated_url = base + page, isolated_base + page
    checks = Checks(args.out)
    only = args.only or names
    try:
        if "notices" in only:
            check_notices(args.dist, checks)
        if "play" in only:
            check_play(url, checks)
        if "no-wasm" in only:
            check_without(url, checks, "no-wasm", [], "delete window.WebAssembly;",
                          "WebAssembly")
        if "no-audio" in only:
            check_without(url, checks, "no-audio", [],
                          "delete window.AudioContext; delete window.webkitAudioContext;",
                          "Web Audio")
        if "keys" in only:
            check_keys(url, checks)
        if "dblclick" in only:
            check_dblclick(url, checks)
        if "file" in only:
            check_file_page(args.dist, checks)
        if "downloads" in only:
            check_downloads(args.dist, root, base, checks)
        if "scaling" in only:
            check_scaling(url, checks)
        if "frames" in only:
            check_frames(url, args.golden, checks)
        if "jumps" in only:
            check_frames(url, args.golden, checks, "jumps")
        if "controls" in only:
            check_controls(url, checks)
        if "bench" in only:
            check_bench(url, checks, args.bench_fps)
        if "jumps-bench" in only:
            check_bench(url, checks, 60, "jumps-bench")
        # The threaded build.
        if "play-threads" in only:
            check_play(isolated_url, checks, "threads")
        if "downloads-threads" in only:
            check_downloads(args.dist, root, isolated_base, checks, "threads")
        if "frames-threads" in only:
            check_frames(isolated_url, args.golden, checks, "frames", "threads")
        if "jumps-threads" in only:
            check_frames(isolated_url, args.golden, checks, "jumps", "threads")
        if "controls-threads" in only:
            check_controls(isolated_url, checks, "threads")
        if "bench-threads" in only:
            check_bench(isolated_url, checks, args.bench_fps, "bench", "threads")
        if "jumps-bench-threads" in only:
            check_bench(isolated_url, checks, 60, "jumps-bench", "threads")
    finally:
        server.shutdown()
        isolating_server.shutdown()
        shutil.rmtree(root, ignore_errors=True)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
