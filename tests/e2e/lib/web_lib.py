"""Helpers for the browser tests: the web build served over http on 127.0.0.1, headless
Chromium (SwiftShader WebGL 2) driven through selenium, the page's test hooks, and picture
comparison. Imported by tests/e2e/web/test_*.py; runs under Debian's python3 (python3-selenium)."""
import base64
import os
import socket
import subprocess
import sys
import tempfile
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
    for name in ("index.html", "demo.js", "demo.wasm", "sound.wasm", "sound_engine.js"):
        if not os.path.exists(os.path.join(folder, name)):
            fail(f"no {name} in {folder}: build it with scripts/web.sh --no-serve")
    return folder


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """python3 -m http.server on a free port of 127.0.0.1, serving one folder."""

    def __init__(self, folder):
        self.port = free_port()
        self.log = open(os.path.join(artifacts(), "web_http.log"), "a")
        self.process = subprocess.Popen(
            [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder, str(self.port)],
            stdout=self.log, stderr=self.log)
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


class Browser:
    """Headless Chromium with a fresh profile, its viewport exactly 640 x 480."""

    def __init__(self, extra_flags=(), before_load=None):
        self.profile = tempfile.mkdtemp(prefix="demo-chromium.")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in CHROMIUM_FLAGS + list(extra_flags):
            options.add_argument(flag)
        options.add_argument(f"--user-data-dir={self.profile}")
        options.add_argument(f"--window-size={WIDTH},{HEIGHT}")
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
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

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def open(self, url):
        self.driver.get(url)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_title(self, wanted, timeout):
        """Waits until document.title is one of `wanted`; returns it, or fails with the console."""
        deadline = time.time() + timeout
        title = None
        while time.time() < deadline:
            title = self.driver.title
            if title in wanted:
                return title
            if title == "failed":
                break
            time.sleep(0.1)
        self.dump_console()
        fail(f"page title {title!r} after {timeout} s, expected one of {wanted}")

    def dump_console(self):
        try:
            for entry in self.driver.get_log("browser"):
                print("console:", entry.get("message"))
        except Exception as e:  # the log is a help, never the failure itself
            print("console unavailable:", e)

    def screenshot(self, name):
        path = os.path.join(artifacts(), name)
        self.driver.save_screenshot(path)
        return path

    def close(self):
        try:
            self.driver.quit()
        finally:
            subprocess.run(["rm", "-rf", self.profile], check=False)


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
    for i in range(WIDTH * HEIGHT):
        if skip and i in skip:
            continue
        o = 4 * i
        d = max(abs(web[o] - native[o]), abs(web[o + 1] - native[o + 1]), abs(web[o + 2] - native[o + 2]))
        total += 1
        if d <= tolerance:
            close += 1
        worst = max(worst, d)
    return close / total, worst


def write_ppm(path, rgba):
    """A picture for people to look at (rows top-down)."""
    rows = [rgba[(HEIGHT - 1 - y) * WIDTH * 4:(HEIGHT - y) * WIDTH * 4] for y in range(HEIGHT)]
    body = bytearray()
    for row in rows:
        for x in range(WIDTH):
            body += row[4 * x:4 * x + 3]
    write_file(path, b"P6 %d %d 255\n" % (WIDTH, HEIGHT) + bytes(body))
