#!/usr/bin/env python3
"""Browser figures, in one run: the page's size, the time from the click on "play" to the first
frame, and frames per second of each scene in headless Chromium (SwiftShader WebGL 2) against
the native headless renderer (Mesa llvmpipe) on the same machine, the same frames 10 ms of
script apart. Prints figures; never fails on a time.
Usage: web_bench.py NATIVE_BUILD WEB_BUILD"""
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "lib"))
import web_lib  # noqa: E402

PAGE_FILES = ["index.html", "demo.js", "demo.wasm", "sound.wasm", "sound_engine.js"]
STEP = 10          # ms of scene time between frames
CLICK_RUNS = 3
# The scene windows that web_reference times (tests/tools/web_reference.cpp), both ends exclusive.
SCENES = [("particle backdrop", 1000, 7000), ("cube swarm", 52000, 53900), ("caption frames", 68000, 68700),
          ("tube", 72200, 77900), ("coil", 78100, 81900)]


def sizes(web):
    total = 0
    for name in PAGE_FILES:
        n = os.path.getsize(os.path.join(web, name))
        total += n
        print(f"  {name:16} {n:8,d} bytes")
    core = sum(os.path.getsize(os.path.join(web, n)) for n in ("index.html", "demo.js", "demo.wasm"))
    print(f"  index.html + demo.js + demo.wasm: {core:,d} bytes ({core / 1024:.1f} KiB); "
          f"with the sound engine: {total:,d} bytes ({total / 1024:.1f} KiB)")


def click_to_first_frame(server):
    results = []
    for _ in range(CLICK_RUNS):
        browser = web_lib.Browser()
        try:
            browser.open(server.url())
            browser.wait_title(["demo"], 20)
            browser.driver.find_element(web_lib.By.ID, "play").click()
            deadline = time.time() + 30
            while time.time() < deadline and not browser.js("return window.demoPage.timings.firstFrame > 0;"):
                time.sleep(0.05)
            t = browser.js("return window.demoPage.timings;")
            if t["firstFrame"]:
                results.append(t["firstFrame"] - t["click"])
        finally:
            browser.close()
    if results:
        print(f"  click on \"play\" to the first frame: median {statistics.median(results):.0f} ms "
              f"({', '.join(f'{r:.0f}' for r in results)}; fresh page each, sound opened)")


def browser_scenes(server):
    browser = web_lib.Browser()
    try:
        browser.open(server.url(f"?seek=0&step={STEP}"))
        browser.wait_title(["ready"], 60)
        rates = {}
        for name, start, end in SCENES:
            browser.js("window.demoSeekWindow(arguments[0], arguments[1], arguments[2]);"
                       "window.demoSeekJump(arguments[1] + arguments[3]); document.title = '';"
                       "window.demoSeek(arguments[2] - 1);", name, start, end, STEP)
            browser.wait_title(["ready"], 600)
        for w in browser.js("return window.demoSeekStats().windows;"):
            rates[w["name"]] = (w["frames"] / (w["ms"] / 1000), w["frames"])
        return rates
    finally:
        browser.close()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    native_build, web = sys.argv[1], sys.argv[2]
    print("Page size (build-web/):")
    sizes(web)
    server = web_lib.Server(web)
    try:
        print("Start (headless Chromium):")
        click_to_first_frame(server)
        native = subprocess.run([os.path.join(native_build, "tests", "web_reference"), "bench", str(STEP)],
                                capture_output=True, text=True, check=True).stdout
        native_rates = {}
        for line in native.splitlines():
            if line.startswith("native scene: "):
                name, rest = line[len("native scene: "):].split(": ")
                native_rates[name] = float(rest.split()[0])
        page_rates = browser_scenes(server)
    finally:
        server.close()
    print(f"Frames per second per scene, frames {STEP} ms of script apart, each finished before it counts:")
    print(f"  {'scene':20} {'Chromium':>9} {'native':>9} {'ratio':>6}")
    for name, _, _ in SCENES:
        page, frames = page_rates.get(name, (0.0, 0))
        nat = native_rates.get(name, 0.0)
        ratio = page / nat if nat else 0.0
        print(f"  {name:20} {page:9.1f} {nat:9.1f} {ratio:6.2f}   ({frames} frames)")


if __name__ == "__main__":
    main()
