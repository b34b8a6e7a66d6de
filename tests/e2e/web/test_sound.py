#!/usr/bin/env python3
"""The page's sound, in headless Chromium:
1. the engine's first 200 rows, rendered offline through the page's own audio worklet, are
   byte for byte what the native headless renderer mixes for the same rows;
2. where the browser has no audio worklets, a script processor plays the song instead (the
   PulseAudio null sink as Chromium's output, recorded from its monitor).
The live song through the worklet, started by a real click, and Escape: engines.py, with the
helpers here (record, check_kicks, escape_ends_it), in every engine.
Usage: test_sound.py NATIVE_BUILD"""
import glob
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lib"))
import web_lib  # noqa: E402
from web_lib import fail  # noqa: E402

ROWS = 200
ROW_SAMPLES = 3969
RECORD_S = 17  # positions 8 and 9 end 14.4 s into the song; start-up comes first
FALLBACK_S = 4   # of the song through the script processor
MIN_RMS = 20.0   # of 128, as the desktop sound check asks; the song's first seconds have about 60
NO_WORKLET = "delete BaseAudioContext.prototype.audioWorklet;"


def offline_rows(browser, server, native_build, folder):
    reference = os.path.join(folder, "web_sound_native.u8")
    subprocess.run([os.path.join(native_build, "tests", "web_reference"), "song", str(ROWS), reference], check=True)
    browser.open(server.url(f"?soundcheck={ROWS}"))
    browser.wait_title(["sound ready"], 120)
    page = web_lib.base64.b64decode(browser.js("return window.demoSoundBytes;"))
    web_lib.write_file(os.path.join(folder, "web_sound_page.u8"), page)
    native = web_lib.read_file(reference)
    if len(page) != ROWS * ROW_SAMPLES or len(native) != len(page):
        fail(f"{len(page)} samples from the page, {len(native)} from the native renderer, expected {ROWS * ROW_SAMPLES}")
    differing = [i for i in range(len(page)) if page[i] != native[i]]
    if differing:
        fail(f"{len(differing)} of {len(page)} samples differ, the first at sample {differing[0]} "
             f"(row {differing[0] // ROW_SAMPLES}): page {page[differing[0]]}, native {native[differing[0]]}")
    print(f"{browser.name} offline: the page's {ROWS} rows ({len(page)} samples) equal the native render byte for byte")


# The threads that carry a page's sound to the output in each engine (names as /proc shows them):
# Chromium's audio service process, Firefox's audio graph and its audio IPC callbacks, WebKit's
# audio worklet and its GStreamer source, and the PulseAudio client's own thread in each.
AUDIO_PROCESS = "utility-sub-type=audio.mojom.AudioService"
AUDIO_THREADS = ("GraphRunner", "AudioIP~allback", "AudioWorklet", "webaudioSrc", "threaded-ml")
BROWSER_PROCESSES = ("firefox", "Web Content", "Utility Process", "WebKit", "MiniBrowser")
# Above the round-robin 5 that WebKit, run as root, gives its own main and event threads: at
# the same level the page's busy main thread takes turns of 100 ms with the audio.
AUDIO_PRIORITY = "10"


def raise_audio_service():
    """Real-time scheduling for the browser's audio threads, where allowed, as the test command
    gives the sound server: on a desktop the browser gets it through the system's real-time
    broker; here nothing would, and a loaded machine starves its output into dropouts."""
    found = subprocess.run(["pgrep", "-f", AUDIO_PROCESS], capture_output=True, text=True)
    for pid in found.stdout.split():
        subprocess.run(["chrt", "-r", "-a", "-p", "5", pid], capture_output=True)
    for task in glob.glob("/proc/[0-9]*/task/[0-9]*"):
        try:
            with open(os.path.join(task, "comm")) as f:
                name = f.read().strip()
            with open(os.path.join(task, "..", "..", "comm")) as f:
                process = f.read().strip()
        except OSError:
            continue
        if any(n in name for n in AUDIO_THREADS) and any(p in process for p in BROWSER_PROCESSES):
            subprocess.run(["chrt", "-r", "-p", AUDIO_PRIORITY, os.path.basename(task)], capture_output=True)


def second_recording(path):
    """Where record() puts its second recording of the same sound."""
    return path + ".second"


def record(browser, start, path, seconds, timeout):
    """Records the null sink's monitor into `path`, calling start() (which opens the page and
    starts the demo) once the recorder runs, until `seconds` of sound since the song's start
    are there (the output may run, silent, for a while before the demo has loaded). A second
    recorder takes the same sound at once (second_recording): a fault of the playback is in
    both recordings, one of a recorder in its own only."""
    with open(path, "wb") as out, open(second_recording(path), "wb") as second:
        command = ["parec", "-d", "nul.monitor", "--format=u8", "--channels=1", "--rate=44100", "--raw"]
        recorders = [subprocess.Popen(command, stdout=out), subprocess.Popen(command, stdout=second)]
        try:
            start()
            deadline = time.time() + 30
            # The music starts in the demo's start-up, just before its first frame.
            while not browser.js("return window.demoPage.frames > 0;") and time.time() < deadline:
                time.sleep(0.05)
            raise_audio_service()  # the page's audio output exists once the demo plays
            wanted = os.path.getsize(path) + seconds * 44100
            deadline = time.time() + timeout
            while os.path.getsize(path) < wanted and time.time() < deadline:
                if browser.title() in ("ended", "failed"):
                    break
                time.sleep(0.2)
        finally:
            for recorder in recorders:
                recorder.terminate()
                recorder.wait()


def check_kicks(raw, must=True):
    """The song's kicks in a recording from the demo's start, as the desktop's sound check finds
    them; when they are off, in the second recording of the same sound, which clears a fault
    of the first recorder's. False when both are off, unless `must`, which fails the test then."""
    onsets = os.path.join(os.path.dirname(web_lib.__file__), "sound_onsets.py")
    if subprocess.run([sys.executable, onsets, "--sample-exact", raw]).returncode == 0:
        return True
    second = second_recording(raw)
    print(f"the second recording of the same sound ({second}):")
    if subprocess.run([sys.executable, onsets, "--sample-exact", second]).returncode == 0:
        print("the fault is in the first recording only: its recorder's, not the page's")
        return True
    if must:
        fail(f"the live sound check failed in both recordings ({raw} and {second})")
    return False


def escape_ends_it(browser):
    state = browser.js("return window.demoPage.sound ? window.demoPage.sound.context.state : 'none';")
    if state != "running":
        fail(f"the audio output is {state!r} while the demo plays")
    browser.key("Escape")
    browser.wait_title(["ended"], 10)
    time.sleep(0.3)  # the context's suspension settles
    found = browser.js("""return {
        audio: window.demoPage.sound.context.state,
        playing: window.demoPage.playing,
        again: !document.getElementById('play-again').hidden && !document.getElementById('overlay').hidden,
        black: getComputedStyle(document.getElementById('canvas')).visibility === 'hidden',
        cursor: document.body.classList.contains('playing') };""")
    print(f"{browser.name}: after Escape:", found)
    if found["audio"] == "running" or found["playing"]:
        fail(f"{browser.name}: the music still plays after Escape")
    if not found["again"]:
        fail(f'{browser.name}: no "play again" after Escape')
    if not found["black"]:
        fail(f"{browser.name}: the picture is still shown after Escape")
    if found["cursor"]:
        fail(f"{browser.name}: the cursor stays hidden after Escape")


def script_processor(server, folder):
    raw = os.path.join(folder, "web_sound_fallback.u8")
    with web_lib.Browser(before_load=NO_WORKLET) as browser:
        record(browser, lambda: browser.open(server.url("?autostart")), raw, FALLBACK_S, FALLBACK_S + 30)
        worklet = browser.js("return 'audioWorklet' in window.demoPage.sound.context;")
    samples = [b - 128 for b in web_lib.read_file(raw)]
    head = next((i for i, v in enumerate(samples) if v != 0), len(samples))
    song = samples[head:]
    rms = (sum(v * v for v in song) / max(1, len(song))) ** 0.5
    print(f"script processor: {len(samples) / 44100:.1f} s recorded, RMS after the first sound {rms:.1f} of 128")
    if worklet:
        fail("the page still had an audio worklet")
    if rms < MIN_RMS:
        fail(f"no song through the script processor (RMS {rms:.1f})")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    native_build = sys.argv[1]
    folder = web_lib.artifacts()
    server = web_lib.Server(web_lib.web_build(native_build))
    browser = web_lib.Browser()
    try:
        offline_rows(browser, server, native_build, folder)
        if not os.environ.get("PULSE_SERVER"):
            fail("no PULSE_SERVER: the live part needs the test command's null sink")
        script_processor(server, folder)
    finally:
        browser.close()
        server.close()
    print("web sound ok")


if __name__ == "__main__":
    main()
