"""The page in one browser engine (chromium, firefox or webkit), as a user meets it there:
1. pictures (--pictures): the seek hook's frames at 5,000, 8,150, 52,000 and 80,000 ms against
   the native renderer's, at least 99 % of the pixels within 8 levels (as test_pictures.py,
   which runs the long pass in Firefox, with fewer frames drawn in between);
2. sound (--rows): the engine's first 200 rows, rendered offline by the page's own worklet,
   byte for byte the native render;
3. "play fullscreen" and then, on a fresh page, "play", each clicked as a user clicks (a real
   input event): the AudioContext runs within 1 s of the click, the null sink records the song
   and its kicks come 4 rows apart (sound_onsets.py);
4. in the fullscreen run: F leaves fullscreen and the demo plays on; the page's button enters
   it and Escape leaves it, the demo plays on; the button enters and leaves it, likewise; Escape in the window ends the run ("play again",
   the audio suspended). In the second run Escape ends it likewise;
5. with sound.wasm 6 s late, "play": the AudioContext still runs within 1 s of the click, and
   once the demo plays its song engine is there ("click for sound" never needed).
Every console line the engine showed is printed at the end; a line of the page's own (its
address, or WebGL) fails the test.
Run by test_engine_<engine>.py: main(ENGINE, {"--pictures", "--rows"}) with NATIVE_BUILD as argument.
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import test_pictures  # noqa: E402
import test_sound  # noqa: E402
import web_lib  # noqa: E402
from web_lib import fail  # noqa: E402

TIMES = [5000, 8150, 52000, 80000]  # ms
STEP = 50           # ms of scene time between frames (each time above a multiple); the native pass draws the same
RUNNING_WITHIN_S = 1.0
# QUIRK: Firefox takes 0.8 to 1.9 s here to run its first AudioContext even on an empty page,
# and later ones took 0.4 to 1.3 s on a quiet machine: its output's own start, not the page's
# (the page made and resumed the context in the click). Its contexts are given that on top; the
# page's "click for sound" line shows meanwhile and goes once the output runs.
OUTPUT_EXTRA_S = {"firefox": 1.5}
SLOW_SOUND_S = 6    # as late as sound.wasm came when WebKit's start went silent
PLAYING = "window.demoPage.playing && window.demoPage.frames > 0"
STATE = """return { playing: window.demoPage.playing, frames: window.demoPage.frames,
    fullscreen: !!document.fullscreenElement, title: document.title,
    audio: window.demoPage.context ? window.demoPage.context.state : 'none',
    hint: !document.getElementById('sound-hint').hidden };"""


def running_time(browser, limit):
    """Seconds from the click (as the page saw it) until the page's AudioContext ran."""
    deadline = time.time() + limit + 2
    while time.time() < deadline:
        t = browser.js("return window.demoPage.timings;")
        if t["click"] and t["audioRunning"]:
            return (t["audioRunning"] - t["click"]) / 1000
        time.sleep(0.05)
    return None


def click_and_record(browser, server, button, name, limit):
    """Opens a fresh page, clicks `button` once the recorder runs, records the song and checks
    its kicks; returns the seconds the context took to run.
    The sound is recorded twice at once (test_sound.record), so a recorder's own loss is told
    from the page's.
    QUIRK: on this 2-core machine a live recording now and then has a lost block in it (a single
    90 ms gap, seen once in WebKit with nothing else running; once two windowed recordings in a
    row, with no silence in them, in a full run that passed twice alone right after; three
    fullscreen playbacks in a row in WebKit, up to 331 ms of silence, before the sound server
    ran above WebKit's own real-time threads; since, in five runs, one fullscreen playback lost
    6.6 ms and two windowed ones in a row a 90 ms block, each in both recordings, so in WebKit's
    playback), which puts the kicks off the beat; a playback whose kicks are off in both
    recordings is made again on a fresh page, up to three in all, and fails only when all three
    are off."""
    for attempt in (1, 2, 3):
        took, kicks_on_beat = record_once(browser, server, button, name, limit, must=attempt == 3)
        if kicks_on_beat:
            return took
        print(f"{browser.name}: the kicks of \"{button}\" were off the beat; recorded once more")
    return took


def record_once(browser, server, button, name, limit, must):
    raw = os.path.join(web_lib.artifacts(), f"web_{browser.name}_{name}.u8")
    took = {}

    def start():
        browser.open(server.url("?hooks"))
        browser.wait_title(["Swirlcoil"], 20)
        time.sleep(0.5)  # as a person looks before clicking: the page's fetches settle
        browser.click(button)
        took["s"] = running_time(browser, limit)

    test_sound.record(browser, start, raw, test_sound.RECORD_S, test_sound.RECORD_S + 40)
    state = browser.js(STATE)
    print(f"{browser.name}: \"{button}\" clicked: the AudioContext ran after "
          f"{'never' if took['s'] is None else '%.2f s' % took['s']}; then {state}")
    if took["s"] is None or took["s"] > limit:
        browser.dump_console()
        fail(f"{browser.name}: after \"{button}\" the AudioContext did not run within {limit} s")
    if state["hint"]:
        fail(f"{browser.name}: \"click for sound\" shows while the sound runs")
    if not state["playing"] or state["title"] != "Swirlcoil":
        fail(f"{browser.name}: the run ended before the recording was complete: {state}")
    return took["s"], test_sound.check_kicks(raw, must)


def fullscreen_stays_playing(browser):
    """In the fullscreen run: leaving fullscreen by F or the button does not end the demo."""
    if not browser.js("return !!document.fullscreenElement;"):
        browser.dump_console()
        events = browser.js("return window.demoPage.fullscreenEvents;")
        fail(f'{browser.name}: "play fullscreen" did not go fullscreen; fullscreen events: {events}')
    frames = browser.js("return window.demoPage.frames;")
    browser.key("f")  # WebKit keeps the key and leaves fullscreen itself; the others pass it on
    browser.wait_for("!document.fullscreenElement", "F did not leave fullscreen")
    time.sleep(1)
    state = browser.js(STATE)
    print(f"{browser.name}: fullscreen left by F: {state}")
    if not state["playing"] or state["frames"] <= frames or state["audio"] != "running":
        fail(f"{browser.name}: leaving fullscreen by F ended the demo or its sound: {state}")
    browser.click("fullscreen")
    browser.wait_for("!!document.fullscreenElement", "the fullscreen button did not enter fullscreen")
    time.sleep(0.5)
    browser.key("Escape")  # the browser's own way out of fullscreen
    deadline = time.time() + 3
    while browser.js("return !!document.fullscreenElement;") and time.time() < deadline:
        time.sleep(0.1)
    how = "Escape"
    if browser.js("return !!document.fullscreenElement;"):
        # Headless Chromium leaves handling Escape to a browser window it has not got: the page
        # must still have kept out of it, and the browser's exit is made for it.
        if not browser.js("return window.demoPage.playing;"):
            fail(f"{browser.name}: Escape in fullscreen ended the demo")
        browser.js("document.exitFullscreen();")
        browser.wait_for("!document.fullscreenElement", "fullscreen could not be left")
        how = "Escape (ignored by the page) and the browser's exit"
    time.sleep(1)
    state = browser.js(STATE)
    print(f"{browser.name}: fullscreen left by {how}: {state}")
    if not state["playing"] or state["audio"] != "running":
        fail(f"{browser.name}: Escape in fullscreen ended the demo or its sound: {state}")
    browser.click("fullscreen")
    browser.wait_for("!!document.fullscreenElement", "the fullscreen button did not enter fullscreen again")
    time.sleep(0.5)
    browser.click("fullscreen")
    browser.wait_for("!document.fullscreenElement", "the fullscreen button did not leave fullscreen")
    time.sleep(1)  # Escape now comes as a person's would, well after fullscreen was left
    state = browser.js(STATE)
    print(f"{browser.name}: fullscreen entered and left by the button: {state}")
    if not state["playing"] or state["audio"] != "running":
        fail(f"{browser.name}: leaving fullscreen by the button ended the demo or its sound: {state}")


def slow_sound(browser, folder):
    server = web_lib.Server(folder, slow=("sound.wasm", SLOW_SOUND_S))
    try:
        browser.open(server.url("?hooks"))
        browser.wait_title(["Swirlcoil"], 20)
        browser.click("play")
        limit = RUNNING_WITHIN_S + OUTPUT_EXTRA_S.get(browser.name, 0)
        took = running_time(browser, limit)
        browser.wait_for("window.demoPage.frames > 0", "the demo did not start after a slow sound.wasm",
                         timeout=SLOW_SOUND_S + 20)
        time.sleep(0.5)
        state = browser.js(STATE)
        sound = browser.js("return !!window.demoPage.sound;")
        print(f"{browser.name}: sound.wasm {SLOW_SOUND_S} s late: the AudioContext ran after "
              f"{'never' if took is None else '%.2f s' % took}; then {state}, song engine {sound}")
        if took is None or took > limit or state["audio"] != "running" or not sound:
            fail(f"{browser.name}: a slow sound.wasm left the demo without its sound")
        if state["hint"]:
            fail(f'{browser.name}: "click for sound" shows while the sound runs')
        browser.key("Escape")
        browser.wait_title(["ended"], 10)
    finally:
        server.close()


def run(native_build, name, options):
    if not os.environ.get("PULSE_SERVER") or not os.environ.get("DISPLAY"):
        fail("no PULSE_SERVER or DISPLAY: this test needs the test command's null sink and display")
    folder = web_lib.artifacts()
    server = web_lib.Server(web_lib.web_build(native_build))
    failures = []
    began = time.time()
    browser = web_lib.engine(name, native_build)
    try:
        print(f"{name} {browser.version}")
        if "--pictures" in options:
            native, native_log, reference = test_pictures.start_native(native_build, STEP, TIMES, folder)
            pages = test_pictures.page_frames(browser, server, TIMES, STEP)
            failures = test_pictures.check_frames(pages, native, native_log, reference, prefix=f"{name}_")
        if "--rows" in options:
            test_sound.offline_rows(browser, server, native_build, folder)
        limit = RUNNING_WITHIN_S + OUTPUT_EXTRA_S.get(name, 0)
        click_and_record(browser, server, "play-fullscreen", "fullscreen", limit)
        fullscreen_stays_playing(browser)
        test_sound.escape_ends_it(browser)
        click_and_record(browser, server, "play", "window", limit)
        test_sound.escape_ends_it(browser)
        slow_sound(browser, web_lib.web_build(native_build))
        lines = browser.console()
        print(f"{name}: console lines seen:")
        for line in lines:
            print("  ", line)
        # The engine's own chatter (Firefox's remote settings, say) is not the page's.
        page_lines = [line for line in lines if "WebGL" in line or "http://127.0.0.1" in line or line.startswith(("error", "warn"))]
        if page_lines:
            failures.append(f"{name}: the page caused console messages: {page_lines}")
    finally:
        browser.close()
        server.close()
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print(f"web engine {name} ok after {time.time() - began:.0f} s")



def main(name, options):
    """The entry of test_engine_<name>.py: its one argument is the native build folder."""
    if len(sys.argv) != 2:
        sys.exit(f"usage: test_engine_{name}.py NATIVE_BUILD")
    run(sys.argv[1], name, options)
