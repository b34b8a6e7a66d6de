#!/usr/bin/env python3
"""The page where the browser lacks something, in headless Chromium:
1. no AudioContext: the demo still plays its pictures, with a one-line notice, and Escape
   still ends it with "play again";
2. no WebGL 2: a clear message and nothing else (no buttons, no demo);
3. the end: when the clock passes 82 s (moved on by the test) the demo ends by itself, the
   picture black and "play again" offered; "play again" starts a fresh run from 0 s;
4. fullscreen: "play fullscreen" plays in fullscreen; the page's own toggle (F) leaves it and the
   demo plays on; leaving fullscreen any other way (the browser's Escape) ends the demo.
Usage: test_page.py NATIVE_BUILD"""
import os
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import web_lib  # noqa: E402
from web_lib import fail  # noqa: E402

NO_AUDIO = "delete window.AudioContext; delete window.webkitAudioContext;"
NO_WEBGL2 = """(() => {
  const get = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
    return kind === 'webgl2' ? null : get.call(this, kind, ...rest);
  };
})();"""
# The page's clock, with an offset the test can move: the demo keeps time by performance.now().
MOVABLE_CLOCK = """(() => {
  const now = performance.now.bind(performance);
  window.clockOffset = 0;
  performance.now = () => now() + window.clockOffset;
})();"""
PLAY_S = 1.5  # ms of scene time past the first 200 black ms, with dots on screen


def lit_pixels(picture):
    return sum(1 for i in range(0, len(picture), 4) if picture[i] + picture[i + 1] + picture[i + 2] > 30)


def without_audio(server):
    with web_lib.Browser(before_load=NO_AUDIO) as browser:
        browser.open(server.url("?autostart"))
        deadline = time.time() + 30
        while not browser.js("return window.demoPage.timings.firstFrame > 0;"):
            if time.time() > deadline or browser.driver.title in ("ended", "failed"):
                browser.dump_console()
                fail(f"no frame without an AudioContext (title {browser.driver.title!r})")
            time.sleep(0.1)
        time.sleep(PLAY_S)
        found = browser.js("""return { notice: document.getElementById('notice').hidden ? '' :
                                       document.getElementById('notice').textContent,
                                       playing: window.demoPage.playing, sound: window.demoPage.sound };""")
        lit = web_lib.page_pixels(browser)
        print("without an AudioContext:", found, f"{lit_pixels(lit)} lit pixels")
        if not found["playing"] or found["sound"] is not None:
            fail("the demo does not play silently without an AudioContext")
        if "without sound" not in found["notice"] or "\n" in found["notice"].strip():
            fail(f"no one-line notice: {found['notice']!r}")
        if lit_pixels(lit) < 100:
            fail("no pictures without an AudioContext")
        browser.screenshot("web_no_audio.png")
        web_lib.webdriver.ActionChains(browser.driver).send_keys(web_lib.Keys.ESCAPE).perform()
        browser.wait_title(["ended"], 10)
        if not browser.js("return !document.getElementById('play-again').hidden;"):
            fail('no "play again" after Escape without sound')


def without_webgl2(server):
    with web_lib.Browser(before_load=NO_WEBGL2) as browser:
        browser.open(server.url())
        browser.wait_title(["no WebGL 2"], 20)
        found = browser.js("""return { message: document.getElementById('message').textContent,
            buttons: [...document.querySelectorAll('button')].filter(b => b.offsetParent !== null).length,
            demo: window.demoPage.demo !== null };""")
        print("without WebGL 2:", found)
        if "WebGL 2" not in found["message"]:
            fail(f"the message does not say what is missing: {found['message']!r}")
        if found["buttons"] or found["demo"]:
            fail("the page offers more than the message without WebGL 2")


def wait_for(browser, condition, what, timeout=10):
    deadline = time.time() + timeout
    while not browser.js("return " + condition + ";"):
        if time.time() > deadline:
            browser.dump_console()
            fail(what)
        time.sleep(0.05)


def ends_by_itself(server):
    with web_lib.Browser(before_load=NO_AUDIO + MOVABLE_CLOCK) as browser:
        browser.open(server.url("?autostart"))
        wait_for(browser, "window.demoPage.timings.firstFrame > 0", "the demo did not start")
        browser.js("window.clockOffset += 81500;")  # 0.5 s before the end
        time.sleep(0.2)
        if browser.driver.title == "ended":
            fail("the demo ended before its 82 s")
        browser.wait_title(["ended"], 10)
        if not browser.js("return !document.getElementById('play-again').hidden;"):
            fail('no "play again" after the end of the script')
        browser.driver.find_element(web_lib.By.ID, "play-again").click()
        wait_for(browser, "window.demoPage.playing && window.demoPage.timings.firstFrame > 0",
                 '"play again" did not start a new run')
        time.sleep(PLAY_S)
        if browser.driver.title == "ended" or lit_pixels(web_lib.page_pixels(browser)) < 100:
            fail('"play again" did not play the demo from its start')
        print("end: the demo ends by itself at 82 s and plays again from its start")


def fullscreen(server):
    with web_lib.Browser(before_load=NO_AUDIO) as browser:
        browser.open(server.url())
        browser.driver.find_element(web_lib.By.ID, "play-fullscreen").click()
        wait_for(browser, "document.fullscreenElement !== null && window.demoPage.timings.firstFrame > 0",
                 '"play fullscreen" did not play in fullscreen')
        keys = web_lib.webdriver.ActionChains(browser.driver)
        keys.send_keys("f").perform()
        wait_for(browser, "document.fullscreenElement === null", "F did not leave fullscreen")
        time.sleep(0.5)
        if not browser.js("return window.demoPage.playing;"):
            fail("leaving fullscreen with the page's own toggle ended the demo")
        keys.send_keys("f").perform()
        wait_for(browser, "document.fullscreenElement !== null", "F did not enter fullscreen again")
        # What the browser does with Escape in fullscreen: it leaves fullscreen, not through the page.
        browser.js("document.exitFullscreen();")
        browser.wait_title(["ended"], 10)
        if not browser.js("return !document.getElementById('play-again').hidden;"):
            fail('no "play again" after fullscreen was left')
        print("fullscreen: own toggle keeps playing, leaving it otherwise ends the demo")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = web_lib.Server(web_lib.web_build(sys.argv[1]))
    try:
        without_audio(server)
        without_webgl2(server)
        ends_by_itself(server)
        fullscreen(server)
    finally:
        server.close()
    print("web page ok")


if __name__ == "__main__":
    main()
