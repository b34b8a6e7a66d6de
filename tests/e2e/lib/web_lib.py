"""Helpers for the browser tests: the web build served over http on 127.0.0.1, the three
engines (headless Chromium with SwiftShader WebGL 2 and WebKitGTK's MiniBrowser through
selenium, Firefox ESR through puppeteer-core's WebDriver BiDi), the page's test hooks, and
picture comparison. Imported by tests/e2e/web/*.py; runs under Debian's python3
(python3-selenium)."""
import base64
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

WIDTH, HEIGHT = 640, 480
CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--no-first-run", "--disable-default-apps",
    "--autoplay-policy=no-user-gesture-required",
    # A page in the background still gets its frames and timers: the tests never look at it.
    "--disable-renderer-backgrounding", "--disable-background-timer-throttling",
]


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def artifacts():
    folder = os.environ.get("DEMO_TEST_ARTIFACTS", "/tmp/demo-artifacts")
    os.makedirs(folder, exist_ok=True)
    return folder


def web_build(native_build):
    """The web build beside the native one (scripts/test.sh builds both)."""
    folder = os.environ.get("DEMO_WEB_BUILD") or os.path.join(os.path.dirname(os.path.abspath(native_build)), "build-web")
    for name in ("index.html", "page.js", "test_hooks.js", "demo.js", "demo.wasm", "sound.wasm", "sound_engine.js"):
        if not os.path.exists(os.path.join(folder, name)):
            fail(f"no {name} in {folder}: build it with scripts/web.sh --no-serve")
    return folder


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# http.server with one file answered late: FOLDER PORT NAME SECONDS.
SLOW_SERVER = """
import functools, http.server, sys, time
folder, port, name, delay = sys.argv[1], int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.split('?')[0] == '/' + name:
            time.sleep(delay)
        super().do_GET()
http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(Handler, directory=folder)).serve_forever()
"""


class Server:
    """python3 -m http.server on a free port of 127.0.0.1, serving one folder; with `slow`
    (name, seconds), that one file comes that much later, as over a slow network."""

    def __init__(self, folder, slow=None):
        self.port = free_port()
        self.log = open(os.path.join(artifacts(), "web_http.log"), "a")
        command = [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder, str(self.port)]
        if slow:
            command = [sys.executable, "-c", SLOW_SERVER, folder, str(self.port), slow[0], str(slow[1])]
        self.process = subprocess.Popen(command, stdout=self.log, stderr=self.log)
        deadline = time.time() + 10
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.2).close()
                return
            except OSError:
                time.sleep(0.05)
        self.close()
        fail("the http server did not start")

    def url(self, query=""):
        return f"http://127.0.0.1:{self.port}/index.html{query}"

    def close(self):
        self.process.terminate()
        self.process.wait()
        self.log.close()


class Page:
    """What each engine's driver offers the tests: open, js (a function body, as selenium's
    execute_script takes it), title, click and key as a user's input events, the console."""
    name = ""
    version = ""

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def wait_title(self, wanted, timeout):
        """Waits until document.title is one of `wanted`; returns it, or fails with the console."""
        deadline = time.time() + timeout
        title = None
        while time.time() < deadline:
            title = self.title()
            if title in wanted:
                return title
            if title == "failed":
                break
            time.sleep(0.1)
        self.dump_console()
        fail(f"{self.name}: page title {title!r} after {timeout} s, expected one of {wanted}")

    def wait_for(self, condition, what, timeout=10):
        """Waits until the JavaScript expression `condition` holds; fails saying `what` if not."""
        deadline = time.time() + timeout
        while not self.js("return " + condition + ";"):
            if time.time() > deadline:
                self.dump_console()
                fail(f"{self.name}: {what}")
            time.sleep(0.05)

    def console(self):
        """The console lines seen, as 'level: text'."""
        return []

    def dump_console(self):
        for line in self.console():
            print(f"{self.name} console:", line)


class SeleniumPage(Page):
    """An engine driven by selenium: its clicks and keys are the driver's input actions."""
    driver = None

    def open(self, url):
        self.driver.get(url)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def title(self):
        return self.driver.title

    def click(self, element_id):
        element = self.driver.find_element(By.ID, element_id)
        webdriver.ActionChains(self.driver).move_to_element(element).click().perform()

    def key(self, key):
        webdriver.ActionChains(self.driver).send_keys({"Escape": Keys.ESCAPE}.get(key, key)).perform()

    def screenshot(self, name):
        path = os.path.join(artifacts(), name)
        self.driver.save_screenshot(path)
        return path


class Browser(SeleniumPage):
    """Headless Chromium with a fresh profile, its viewport exactly 640 x 480."""
    name = "chromium"

    def __init__(self, extra_flags=(), before_load=None, autoplay=True):
        self.profile = tempfile.mkdtemp(prefix="demo-chromium.")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in CHROMIUM_FLAGS + list(extra_flags):
            if autoplay or not flag.startswith("--autoplay-policy"):
                options.add_argument(flag)
        options.add_argument(f"--user-data-dir={self.profile}")
        options.add_argument(f"--window-size={WIDTH},{HEIGHT}")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.version = self.driver.capabilities.get("browserVersion", "")
        self.driver.set_script_timeout(120)
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                    {"width": WIDTH, "height": HEIGHT, "deviceScaleFactor": 1, "mobile": False})
        self.wait_for_webgl2()
        if before_load:
            self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": before_load})

    def wait_for_webgl2(self, timeout=30):
        """On a loaded machine SwiftShader's GPU process can come up too late for the first
        context; the pages under test should meet a browser whose WebGL 2 is running."""
        deadline = time.time() + timeout
        while True:
            ok = self.driver.execute_script(
                "return !!document.createElement('canvas').getContext('webgl2');")
            if ok or time.time() > deadline:
                return ok
            time.sleep(0.5)

    def console(self):
        try:
            return [f"{e.get('level', '').lower()}: {e.get('message')}" for e in self.driver.get_log("browser")]
        except Exception as e:  # the log is a help, never the failure itself
            return [f"unavailable: {e}"]

    def close(self):
        try:
            self.driver.quit()
        finally:
            subprocess.run(["rm", "-rf", self.profile], check=False)


class WebKit(SeleniumPage):
    """WebKitGTK's MiniBrowser in automation mode on the test command's X display. Its
    automation prints no console: the page's own record (test_hooks.js) stands in."""
    name = "webkit"

    def __init__(self):
        from selenium.webdriver.webkitgtk.options import Options
        options = Options()
        options.binary_location = MINIBROWSER
        options.add_argument("--automation")
        self.driver = webdriver.WebKitGTK(options=options)
        self.version = self.driver.capabilities.get("browserVersion", "")
        self.driver.set_script_timeout(120)
        self.driver.set_window_size(WIDTH + 40, HEIGHT + 160)

    def console(self):
        try:
            return self.js("return window.demoConsole ? window.demoConsole() : ['(no test hooks on this page)'];")
        except Exception as e:
            return [f"unavailable: {e}"]

    def close(self):
        self.driver.quit()


MINIBROWSER = next((p for p in ("/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
                                "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.0/MiniBrowser") if os.path.exists(p)),
                   "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser")


def puppeteer_modules(native_build):
    """puppeteer-core (no browser of its own) under the build folder: installed from npm once,
    found there offline from then on."""
    folder = os.path.join(os.path.abspath(native_build), "npm")
    if not os.path.exists(os.path.join(folder, "node_modules", "puppeteer-core", "package.json")):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", folder, "--no-audit", "--no-fund", "--loglevel=error",
                        "puppeteer-core@24"], check=True, stdout=sys.stderr)
    return os.path.join(folder, "node_modules")


class Firefox(Page):
    """Firefox ESR through tests/e2e/lib/web_firefox.mjs, headful on the test command's X display.
    The driver answers on a pipe of its own; Firefox's output (the page's console and WebGL
    warnings among it) comes on the driver's stdout and is kept as console lines. Clicks and
    keys are X input (xdotool): Firefox grants fullscreen only to events it sees as the user's
    own, which the protocol's input actions are not."""
    name = "firefox"

    def __init__(self, native_build):
        self.output = []
        answers, answer_fd = os.pipe()
        self.process = subprocess.Popen(
            ["node", os.path.join(os.path.dirname(os.path.abspath(__file__)), "web_firefox.mjs"),
             puppeteer_modules(native_build), str(answer_fd)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
            pass_fds=(answer_fd,))
        os.close(answer_fd)
        self.answers = os.fdopen(answers, "r")
        # Firefox's output is read as it comes, so a full pipe never stops the driver.
        threading.Thread(target=self.keep_output, daemon=True).start()
        self.version = self.call("version")

    def keep_output(self):
        for line in self.process.stdout:
            self.output.append(line.rstrip("\n"))

    def call(self, op, **fields):
        self.process.stdin.write(json.dumps(dict(op=op, **fields)) + "\n")
        self.process.stdin.flush()
        line = self.answers.readline()
        if not line:
            if op == "quit":
                return None
            fail(f"firefox: the driver ended during {op}: {self.output[-20:]}")
        answer = json.loads(line)
        if "error" in answer:
            raise RuntimeError(f"firefox {op}: {answer['error']}")
        return answer["ok"]

    def open(self, url):
        self.call("open", url=url)

    def js(self, script, *args):
        return self.call("js", body=script, args=list(args))

    def title(self):
        return self.call("title")

    def click(self, element_id):
        x, y = self.js("""const r = document.getElementById(arguments[0]).getBoundingClientRect();
            return [Math.round(mozInnerScreenX + r.x + r.width / 2), Math.round(mozInnerScreenY + r.y + r.height / 2)];""",
                       element_id)
        self.focus()
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)

    def key(self, key):
        self.focus()
        subprocess.run(["xdotool", "key", key], check=True)

    def focus(self):
        """Makes sure Firefox's page has the input focus, as the page a person has just opened
        has: the test display has no window manager, a fresh page sometimes starts unfocused,
        and Firefox refuses fullscreen to an unfocused page even in the click that focuses it.
        A click on the page's empty top-left corner focuses it, as a person's first click would."""
        if self.js("return document.hasFocus();"):
            return
        x, y = self.js("return [Math.round(mozInnerScreenX + 2), Math.round(mozInnerScreenY + 2)];")
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)
        self.wait_for("document.hasFocus()", "the page did not take the focus", timeout=5)

    def console(self):
        return self.call("console") + [f"output: {line}" for line in self.output if line.strip()]

    def close(self):
        try:
            self.call("quit")
        except Exception:
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def engine(name, native_build):
    """A fresh page driver of the named engine."""
    if name == "chromium":
        return Browser()
    if name == "webkit":
        return WebKit()
    if name == "firefox":
        return Firefox(native_build)
    fail(f"no engine {name!r}")


def page_pixels(browser):
    """The canvas's picture, RGBA rows bottom-up, as the native renderer reads its own."""
    return base64.b64decode(browser.js("return window.demoPixels();"))


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def compare(web, native, tolerance=8, skip=None):
    """Share of pixels (outside `skip`, a set of pixel indices) whose three colour channels all
    lie within `tolerance` levels, and the largest difference seen."""
    close = total = 0
    worst = 0
    for i in range(len(native) // 4):
        if skip and i in skip:
            continue
        o = 4 * i
        d = max(abs(web[o] - native[o]), abs(web[o + 1] - native[o + 1]), abs(web[o + 2] - native[o + 2]))
        total += 1
        if d <= tolerance:
            close += 1
        worst = max(worst, d)
    return close / total, worst


def write_ppm(path, rgba, width=WIDTH):
    """A picture for people to look at (rows top-down), 4:3 at this width."""
    height = len(rgba) // (4 * width)
    body = bytearray()
    for y in range(height):
        row = rgba[(height - 1 - y) * width * 4:(height - y) * width * 4]
        for x in range(width):
            body += row[4 * x:4 * x + 3]
    write_file(path, b"P6 %d %d 255\n" % (width, height) + bytes(body))
