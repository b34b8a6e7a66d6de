#!/usr/bin/env python3
"""The page's pictures against the native headless renderer's, in headless Chromium (SwiftShader
WebGL 2): the seek hook renders frames 0, 10, 20 ... (no sound) and holds the frame at each
scene time below, going on from one to the next in one pass; the native renderer draws the same
frames in the same order. At least 99 % of the pixels must lie within 8 levels per channel.
The words of a caption frame are checked on their own: at the glyph positions of the native
(legacy GL) picture, each word must be one uniform shade (see check_words).
Usage: test_pictures.py NATIVE_BUILD [T,T,...]"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import web_lib  # noqa: E402
from web_lib import fail  # noqa: E402

TIMES = [5000, 8150, 16500, 24000, 52000, 75000, 80000]  # ms; 8150 shows three words
STEP = 10             # ms of scene time between frames
MATCH_SHARE = 0.99    # of the pixels outside the words
TOLERANCE = 8         # levels per channel
WORD_SPREAD = 2       # levels per channel a word's shade may vary (none expected)
WORD_FRAME = 8150     # "i", "become" and "a bad" are on screen


def shade_range(picture, indices):
    """Lowest and highest value per channel over these pixels."""
    lows, highs = [255] * 3, [0] * 3
    for i in indices:
        for c in range(3):
            v = picture[4 * i + c]
            lows[c], highs[c] = min(lows[c], v), max(highs[c], v)
    return lows, highs


def check_words(t, web, native, labels):
    """Each word of the frame must be one shade at the native glyph pixels (OpenGL 1.1 colours
    every fragment of a bitmap with the colour and texture coordinates latched at the raster
    position) and match the native word there, pixel by pixel, within the tolerance."""
    failures = []
    words = sorted(set(labels) - {0})
    for word in words:
        pixels = [i for i, label in enumerate(labels) if label == word]
        low, high = shade_range(web, pixels)
        n_low, n_high = shade_range(native, pixels)
        off = sum(1 for i in pixels if any(abs(web[4 * i + c] - native[4 * i + c]) > TOLERANCE for c in range(3)))
        print(f"  t={t} caption {word - 1}: {len(pixels)} glyph pixels, page shade {low}..{high}, "
              f"native {n_low}..{n_high}, {off} off by more than {TOLERANCE}")
        if any(h - l > WORD_SPREAD for l, h in zip(low, high)):
            failures.append(f"t={t}: caption {word - 1} is not one shade on the page ({low}..{high}): "
                            "its glyphs are not where the desktop puts them, or not uniformly coloured")
        if off:
            failures.append(f"t={t}: {off} glyph pixels of caption {word - 1} differ from the native word")
    return failures, len(words)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    native_build = sys.argv[1]
    times = sorted(int(t) for t in sys.argv[2].split(",")) if len(sys.argv) == 3 else sorted(TIMES)
    folder = web_lib.artifacts()
    reference = os.path.join(folder, "web_native_frames")
    os.makedirs(reference, exist_ok=True)
    native_log = open(os.path.join(folder, "web_native_frames.log"), "w")
    # The native pass runs beside the browser's: each renders on its own.
    native = subprocess.Popen([os.path.join(native_build, "tests", "web_reference"), "frames", str(STEP),
                               ",".join(map(str, times)), reference], stdout=native_log, stderr=subprocess.STDOUT)

    server = web_lib.Server(web_lib.web_build(native_build))
    browser = web_lib.Browser()
    pages = {}
    try:
        start = time.time()
        browser.open(server.url(f"?seek={times[0]}&step={STEP}"))
        for n, t in enumerate(times):
            if n > 0:
                browser.js("document.title = ''; window.demoSeek(arguments[0]);", t)
            # SwiftShader draws a few dozen frames a second on a quiet machine; a busy one is slower.
            browser.wait_title(["ready"], 60 + t / STEP * 0.5)
            pages[t] = web_lib.page_pixels(browser)
            print(f"page: frame at {t} ms after {time.time() - start:.1f} s")
        browser.screenshot("web_pictures_last.png")
    finally:
        browser.close()
        server.close()
    if native.wait() != 0:
        native_log.close()
        print(open(os.path.join(folder, "web_native_frames.log")).read())
        fail("the native renderer failed")
    native_log.close()

    failures = []
    for t in times:
        web = pages[t]
        ref = web_lib.read_file(os.path.join(reference, f"frame_{t}.rgba"))
        labels = web_lib.read_file(os.path.join(reference, f"words_{t}.u8"))
        web_lib.write_ppm(os.path.join(folder, f"web_frame_{t}.ppm"), web)
        web_lib.write_ppm(os.path.join(folder, f"web_native_{t}.ppm"), ref)
        skip = {i for i, label in enumerate(labels) if label != 0}
        share, worst = web_lib.compare(web, ref, TOLERANCE, skip)
        print(f"t={t}: {100 * share:.2f} % of {web_lib.WIDTH * web_lib.HEIGHT - len(skip)} pixels within "
              f"{TOLERANCE} levels (largest difference {worst})")
        if share < MATCH_SHARE:
            failures.append(f"t={t}: only {100 * share:.2f} % of the pixels match the native frame")
        word_failures, words = check_words(t, web, ref, labels)
        failures += word_failures
        if t == WORD_FRAME and words == 0:
            failures.append(f"t={t}: the native renderer shows no words to compare with")
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("web pictures ok")


if __name__ == "__main__":
    main()
