#!/usr/bin/env python3
"""The page where the browser lacks something, in headless Chromium:
1. no AudioContext: the demo still plays its pictures, with a one-line notice, and Escape
   still ends it with "play again";
2. no WebGL 2: a clear message and nothing else (no buttons, no demo);
3. the end: when the clock passes 82 s (moved on by the test) the demo ends by itself, the
   picture black and "play again" offered; "play again" starts a fresh run from 0 s;
4. a lost WebGL context: the frames and the music stop, "the picture was lost - play again"
   shows, and once the browser gives the context back "play again" plays a fresh run.
5. a start the browser does not count as the user's (a script's click, no autoplay allowance):
   the pictures play, "click for sound" shows within about a second, and the next real click
   starts the audio and takes the line away.
6. the "sharp" choice: remembered across loads; a run then draws a canvas as large as its box
   in device pixels (the next width the font was baked for), 2880 x 2160 at most, and it
   draws; unticked, the classic 640 x 480 again.
(Fullscreen, Escape and the clicks that start the sound: engines.py, in every engine.)
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
        while not browser.js("return window.demoPage.frames > 0;"):
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
        wait_for(browser, "window.demoPage.frames > 0", "the demo did not start")
        browser.js("window.clockOffset += 81500;")  # 0.5 s before the end
        time.sleep(0.2)
        if browser.driver.title == "ended":
            fail("the demo ended before its 82 s")
        browser.wait_title(["ended"], 10)
        if not browser.js("return !document.getElementById('play-again').hidden;"):
            fail('no "play again" after the end of the script')
        browser.driver.find_element(web_lib.By.ID, "play-again").click()
        wait_for(browser, "window.demoPage.playing && window.demoPage.frames > 0",
                 '"play again" did not start a new run')
        time.sleep(PLAY_S)
        if browser.driver.title == "ended" or lit_pixels(web_lib.page_pixels(browser)) < 100:
            fail('"play again" did not play the demo from its start')
        print("end: the demo ends by itself at 82 s and plays again from its start")


def context_lost(server):
    with web_lib.Browser(before_load=NO_AUDIO) as browser:
        browser.open(server.url("?autostart"))
        wait_for(browser, "window.demoPage.frames > 0", "the demo did not start")
        browser.js("""window.lose = document.getElementById('canvas').getContext('webgl2')
                      .getExtension('WEBGL_lose_context'); window.lose.loseContext();""")
        browser.wait_title(["ended"], 10)
        frames = browser.js("return window.demoPage.frames;")
        time.sleep(0.5)
        found = browser.js("""return { message: document.getElementById('message').textContent,
            again: !document.getElementById('play-again').hidden, playing: window.demoPage.playing,
            frames: window.demoPage.frames };""")
        print("context lost:", found)
        if found["playing"] or found["frames"] != frames:
            fail("frames go on after the WebGL context was lost")
        if "picture was lost" not in found["message"] or not found["again"]:
            fail(f'no "the picture was lost - play again" after the context was lost: {found}')
        browser.js("window.lose.restoreContext();")
        time.sleep(0.5)
        browser.driver.find_element(web_lib.By.ID, "play-again").click()
        wait_for(browser, "window.demoPage.playing && window.demoPage.frames > 10",
                 '"play again" did not play after the context came back')
        time.sleep(PLAY_S)
        if lit_pixels(web_lib.page_pixels(browser)) < 100:
            fail('"play again" after a lost context shows no picture')
        print("context lost: the run stops, and plays again once the context is back")


def click_for_sound(server):
    with web_lib.Browser(autoplay=False) as browser:
        browser.open(server.url())
        browser.js("document.getElementById('play').click();")  # no user activation
        wait_for(browser, "window.demoPage.frames > 0", "the demo did not start")
        wait_for(browser, "!document.getElementById('sound-hint').hidden",
                 '"click for sound" did not show while the audio was held back', timeout=3)
        found = browser.js("""return { state: window.demoPage.context.state,
            hint: document.getElementById('sound-hint').textContent };""")
        print("held back:", found)
        if found["state"] == "running" or found["hint"] != "click for sound":
            fail(f'"click for sound" shows, but the audio is {found["state"]!r}: {found}')
        browser.click("stage")
        wait_for(browser, "window.demoPage.context.state === 'running' && document.getElementById('sound-hint').hidden",
                 'a click after "click for sound" did not start the audio', timeout=3)
        if not browser.js("return window.demoPage.playing;"):
            fail('the click for sound ended the demo')
        print('"click for sound": shown while held back, gone once a click started the audio')


def sharp_run(browser, server, width, height, scale):
    """Plays one run in a window of width x height CSS pixels at this device pixel ratio; the
    canvas's size and how many of its pixels are lit a few frames in."""
    browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": width, "height": height, "deviceScaleFactor": scale, "mobile": False})
    browser.open(server.url("?hooks"))  # window.demoPixels
    browser.click("play")
    wait_for(browser, "window.demoPage.frames > 2", "the demo did not start", timeout=30)
    time.sleep(PLAY_S)
    size = browser.js("const c = document.getElementById('canvas'); return [c.width, c.height];")
    lit = lit_pixels(web_lib.page_pixels(browser))
    browser.key("Escape")
    browser.wait_title(["ended"], 10)
    return size, lit


def sharp(server):
    with web_lib.Browser(before_load=NO_AUDIO) as browser:
        browser.open(server.url())
        if browser.js("return document.getElementById('sharp').checked;"):
            fail('"sharp" is ticked on a first visit')
        browser.click("sharp")
        cases = [  # CSS window, device pixel ratio, the canvas expected
            ((800, 600), 2, [1600, 1200]),    # a box of exactly a baked width
            ((1000, 600), 1.5, [1280, 960]),  # bars left and right: 800 x 1.5 = 1200, the next is 1280
            ((1000, 750), 3, [2880, 2160]),   # 3000 wide: the largest there is
        ]
        for (w, h), scale, expected in cases:
            size, lit = sharp_run(browser, server, w, h, scale)
            print(f"sharp: a {w} x {h} window at {scale} device pixels each: canvas {size}, {lit} lit pixels")
            if size != expected:
                fail(f"sharp in a {w} x {h} window at ratio {scale}: canvas {size}, not {expected}")
            if lit < 100:
                fail(f"sharp: the {size} canvas shows no picture")
        # Remembered, so only unticking brings the classic picture back.
        browser.open(server.url())
        browser.click("sharp")
        size, _ = sharp_run(browser, server, 800, 600, 2)
        if size != [640, 480]:
            fail(f'with "sharp" unticked the canvas is {size}, not the classic 640 x 480')
        print('sharp: remembered across loads, sized by the box, the classic picture when unticked')


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = web_lib.Server(web_lib.web_build(sys.argv[1]))
    try:
        without_audio(server)
        without_webgl2(server)
        ends_by_itself(server)
        context_lost(server)
        click_for_sound(server)
        sharp(server)
    finally:
        server.close()
    print("web page ok")


if __name__ == "__main__":
    main()
