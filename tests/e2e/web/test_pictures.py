#!/usr/bin/env python3
"""The page's pictures against the native headless renderer's, in Firefox ESR (llvmpipe WebGL 2,
the fastest of the three engines here; engines.py checks the others with fewer frames):
the seek hook renders frames 0, 10, 20 ... (no sound) and holds the frame at each scene time below, going on from one to the next in one pass; the native renderer draws the same
frames in the same order. At least 99 % of the pixels must lie within 8 levels per channel.
The words of a caption frame are checked on their own: at the glyph positions of the native
(legacy GL) picture, each word must be one uniform shade (see check_words).
Then the same for a sharp picture (&sharp=1280: 1280 x 960, glyphs baked at that size) against
the native sharp picture, at fewer times and coarser steps.
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
SHARP_WIDTH = 1280
SHARP_TIMES = [5000, 8150, 52000]
SHARP_STEP = 50       # ms: both sides draw the same frames, so only the cost changes


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


def start_native(native_build, step, times, folder, width=web_lib.WIDTH):
    """The native renderer's frames at `times`, drawn every `step` ms at this picture width, into
    folder/web_native_frames[_WIDTH] (a process that runs beside the browser's pass)."""
    name = "web_native_frames" + ("" if width == web_lib.WIDTH else f"_{width}")
    reference = os.path.join(folder, name)
    os.makedirs(reference, exist_ok=True)
    log = open(os.path.join(folder, name + ".log"), "w")
    # Legacy GL, so the page's layer is held against the other renderer rather than against itself.
    process = subprocess.Popen([os.path.join(native_build, "tests", "web_reference"), "frames", str(step),
                                ",".join(map(str, times)), reference, str(width)], stdout=log,
                               stderr=subprocess.STDOUT, env=dict(os.environ, DEMO_GL="legacy"))
    return process, log, reference


def page_frames(browser, server, times, step, sharp=None):
    """The page's frames at `times` through the seek hook, in one pass from 0 ms; a sharp picture
    for a box `sharp` pixels wide when given."""
    pages = {}
    start = time.time()
    browser.open(server.url(f"?seek={times[0]}&step={step}" + (f"&sharp={sharp}" if sharp else "")))
    for n, t in enumerate(times):
        if n > 0:
            browser.js("document.title = ''; window.demoSeek(arguments[0]);", t)
        # A software GL draws a few dozen frames a second on a quiet machine; a busy one is slower.
        browser.wait_title(["ready"], 60 + t / step * (0.5 if not sharp else 2.0))
        if sharp and n == 0:
            width = browser.js("return document.getElementById('canvas').width;")
            if width != sharp:
                fail(f"the page drew a sharp picture {width} pixels wide for a box of {sharp}")
        pages[t] = web_lib.page_pixels(browser)
        print(f"{browser.name}: frame at {t} ms after {time.time() - start:.1f} s")
    return pages


def check_frames(pages, native, native_log, reference, prefix="", width=web_lib.WIDTH):
    """Failures of the page's frames against the native ones (see the top of this file)."""
    if native.wait() != 0:
        native_log.close()
        print(open(native_log.name).read())
        fail("the native renderer failed")
    native_log.close()
    folder = web_lib.artifacts()
    failures = []
    for t, web in sorted(pages.items()):
        ref = web_lib.read_file(os.path.join(reference, f"frame_{t}.rgba"))
        labels = web_lib.read_file(os.path.join(reference, f"words_{t}.u8"))
        if len(web) != len(ref):
            failures.append(f"{prefix}t={t}: the page's picture is {len(web) // 4} pixels, the native {len(ref) // 4}")
            continue
        tag = "" if width == web_lib.WIDTH else f"sharp{width}_"
        web_lib.write_ppm(os.path.join(folder, f"{tag}web_frame_{t}.ppm"), web, width)
        web_lib.write_ppm(os.path.join(folder, f"{tag}web_native_{t}.ppm"), ref, width)
        skip = {i for i, label in enumerate(labels) if label != 0}
        share, worst = web_lib.compare(web, ref, TOLERANCE, skip)
        print(f"{prefix}t={t}: {100 * share:.2f} % of {len(labels) - len(skip)} pixels within "
              f"{TOLERANCE} levels (largest difference {worst})")
        if share < MATCH_SHARE:
            failures.append(f"{prefix}t={t}: only {100 * share:.2f} % of the pixels match the native frame")
        word_failures, words = check_words(t, web, ref, labels)
        failures += word_failures
        if t == WORD_FRAME and words == 0:
            failures.append(f"{prefix}t={t}: the native renderer shows no words to compare with")
    return failures


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    native_build = sys.argv[1]
    times = sorted(int(t) for t in sys.argv[2].split(",")) if len(sys.argv) == 3 else sorted(TIMES)
    native, native_log, reference = start_native(native_build, STEP, times, web_lib.artifacts())
    sharp_native = start_native(native_build, SHARP_STEP, SHARP_TIMES, web_lib.artifacts(), SHARP_WIDTH)
    server = web_lib.Server(web_lib.web_build(native_build))
    browser = web_lib.engine("firefox", native_build)
    try:
        pages = page_frames(browser, server, times, STEP)
        sharp_pages = page_frames(browser, server, SHARP_TIMES, SHARP_STEP, SHARP_WIDTH)
    finally:
        browser.close()
        server.close()
    failures = check_frames(pages, native, native_log, reference)
    failures += check_frames(sharp_pages, *sharp_native, prefix=f"sharp {SHARP_WIDTH}: ", width=SHARP_WIDTH)
    for f in failures:
        print("FAIL:", f)
    if failures:
        sys.exit(1)
    print("web pictures ok")


if __name__ == "__main__":
    main()
