// The demo's page: "play" and "play fullscreen", the song's audio output, one fresh module and
// canvas per run, fullscreen, Escape, the end and "play again". Page main thread.
'use strict';

const HIDDEN_CHECK_MS = 1000;  // a hidden tab draws no frames; this often it still keeps time
const SOUND_CHECK_MS = 1000;   // after "play": a context not running by then asks for a click
const ESCAPE_AFTER_FULLSCREEN_MS = 500;  // an Escape this soon after leaving fullscreen left it
// QUIRK: the context is made in the click itself, before sound.wasm may have arrived to say
// its rate; the engine renders at the demo's 44,100 Hz, checked once the bytes are there.
const SOUND_RATE = 44100;
const HOOK_PARAMETERS = ['autostart', 'seek', 'soundcheck', 'hooks'];
const SHARP_KEY = 'swirlcoil.sharp';  // localStorage: "1" while the sharp picture is chosen

const $ = (id) => document.getElementById(id);
const TITLE = document.title;  // the page's own, while it plays; its end says how it ended
// The classic picture's size, as the markup gives the canvas.
const CLASSIC_SIZE = { width: $('canvas').width, height: $('canvas').height };

const page = {
  demo: null,          // the running module instance, one per run
  playing: false,
  escape: false,       // Escape seen since the run began
  frames: 0,           // frames drawn in this run
  context: undefined,  // the AudioContext, made in the first click; null where there is none
  sound: null,         // { context, send(command) } once the song engine is connected
  soundOpening: null,  // the promise of `sound`
  // Fetched at load, so that a click never waits on the network before its audio starts.
  soundBytes: fetch('sound.wasm').then((r) => {
    if (!r.ok) throw new Error(`sound.wasm: HTTP ${r.status}`);
    return r.arrayBuffer();
  }),
  fullscreenLeftAt: -Infinity,
};
window.demoPage = page;
// Kept from turning into an unhandled rejection; openSound reports the failure.
page.soundBytes.catch(() => {});

function notice(text) {
  $('notice').textContent = text;
  $('notice').hidden = false;
}

function hasWebGL2() {
  try {
    return !!document.createElement('canvas').getContext('webgl2');
  } catch (e) {
    return false;
  }
}

// The AudioContext, made and resumed synchronously inside the click or key that starts a run:
// WebKit lets a context run only when resume() comes with the user's gesture, and
// requestFullscreen() or any await before it uses that gesture up.
function wakeAudio() {
  if (page.context === undefined) {
    const Context = window.AudioContext || window.webkitAudioContext;
    try {
      // A long output buffer: a busy machine's late audio blocks are then not heard as gaps.
      page.context = Context ? new Context({ sampleRate: SOUND_RATE, latencyHint: 'playback' }) : null;
    } catch (e) {
      page.context = null;
    }
    // A slow output may start after the sound check has asked for a click: the line goes then.
    if (page.context) page.context.addEventListener('statechange', () => {
      if (page.context.state === 'running') $('sound-hint').hidden = true;
    });
  }
  if (page.context) page.context.resume().catch(() => {});
}

// The song engine behind the context: an AudioWorklet, or a script processor where there is
// none. Null, after a one-line notice, where the browser gives the page no audio.
async function openSound() {
  const context = page.context;
  if (!context) {
    notice('No audio output in this browser: playing without sound.');
    return null;
  }
  const bytes = await page.soundBytes;
  const format = await SoundEngine.format(bytes);
  if (format.rate !== context.sampleRate) throw new Error(`the song engine renders at ${format.rate} Hz, the output runs at ${context.sampleRate} Hz`);
  if (context.audioWorklet) {
    await context.audioWorklet.addModule('sound_engine.js');
    const node = new AudioWorkletNode(context, 'demo-sound', {
      numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [1],
      processorOptions: { bytes: bytes.slice(0), start: false },
    });
    node.connect(context.destination);
    return { context, send: (command) => node.port.postMessage(command) };
  }
  const engine = await SoundEngine.fromBytesAsync(bytes);
  const node = context.createScriptProcessor(1024, 0, 1);
  node.onaudioprocess = (event) => engine.fill(event.outputBuffer.getChannelData(0));
  node.connect(context.destination);
  return { context, send: (command) => engine.command(command) };
}

function sound() {
  if (!page.soundOpening) {
    page.soundOpening = openSound().catch((e) => {
      console.error(e);
      notice('The audio output could not be started: playing without sound.');
      return null;
    });
  }
  return page.soundOpening;
}

// One line while the browser still holds the audio back; the next click or key resumes it.
function checkSoundSoon() {
  setTimeout(() => {
    if (page.playing && page.context && page.context.state !== 'running') $('sound-hint').hidden = false;
  }, SOUND_CHECK_MS);
}

function soundGesture() {
  if ($('sound-hint').hidden || !page.context) return;
  page.context.resume().then(() => { $('sound-hint').hidden = page.context.state === 'running'; }, () => {});
}

// What the module calls back (platform/web/web_display.cpp).
const hooks = {
  hideCursor() { document.body.classList.add('playing'); },
  escapeRequested() { return page.escape; },
  startMusic() { if (page.sound) page.sound.send('start'); },
  ended(code, why) { endRun(code === 0 ? '' : why, code === 0); },
};

// A fresh canvas and module for every run: the demo's state lives for one run only. The
// canvas starts at the classic size (a copy would keep the last run's sharp size).
function freshCanvas() {
  const old = $('canvas');
  const canvas = old.cloneNode(false);
  canvas.width = CLASSIC_SIZE.width;
  canvas.height = CLASSIC_SIZE.height;
  old.replaceWith(canvas);
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();  // the browser may give the context back; "play again" then works
    if (page.playing) endRun('the picture was lost \u2014 play again', true);
  });
  return canvas;
}

function makeDemo() {
  const canvas = freshCanvas();
  return createDemo({ canvas, page: hooks, print: console.log, printErr: console.error });
}

// A sharp picture: the canvas drawn at the width the module has glyphs for, the first at least
// as wide as the box it shows in (`wantedWidth` device pixels). Before _demo_start, which makes
// the GL context at the canvas's size.
function sizeCanvasSharp(demo, wantedWidth) {
  const width = demo._demo_sharp_width(Math.round(wantedWidth));
  const canvas = $('canvas');
  canvas.width = width;
  canvas.height = width * 3 / 4;
  return width;
}

// The 4:3 box the picture will show in, in device pixels: the screen when fullscreen was asked
// for (it may not have happened yet), else the window.
function pictureBoxWidth(fullscreen) {
  const [w, h] = fullscreen ? [screen.width, screen.height] : [innerWidth, innerHeight];
  return Math.min(w, h * 4 / 3) * (window.devicePixelRatio || 1);
}

function sharpChosen() {
  try {
    return localStorage.getItem(SHARP_KEY) === '1';
  } catch (e) {
    return false;  // storage refused (private mode, file:): the classic picture
  }
}

// Runs `call` on the module; false when the demo ended inside it.
function demoCall(call) {
  try {
    call();
    return true;
  } catch (e) {
    if (e === 'demo-exit') return false;
    throw e;
  }
}

function frame() {
  if (!page.playing) return;
  if (!demoCall(() => page.demo._demo_frame())) return;
  page.frames++;
  requestAnimationFrame(frame);
}

// Called from the click or key itself: everything the gesture grants is asked for first.
function startRun(fullscreen) {
  wakeAudio();
  if (fullscreen && !document.fullscreenElement) document.documentElement.requestFullscreen().catch(() => {});
  $('overlay').hidden = true;
  $('canvas').classList.remove('off');
  checkSoundSoon();
  return run(fullscreen);
}

async function run(fullscreen) {
  page.playing = true;  // from the click on: Escape and the sound check apply
  page.escape = false;
  page.demo = null;
  document.title = TITLE;
  page.frames = 0;
  page.sound = await sound();
  page.demo = await makeDemo();
  if (!page.playing) return;  // ended (Escape) while it loaded
  if ($('sharp').checked) sizeCanvasSharp(page.demo, pictureBoxWidth(fullscreen || !!document.fullscreenElement));
  // Start-up starts the music (through hooks.startMusic) before the visual clock, as on the desktop.
  if (!demoCall(() => page.demo._demo_start())) return;
  requestAnimationFrame(frame);
}

// The run's end: by the demo itself (code 0, or a failure's reason) or by a lost picture.
function endRun(why, again) {
  page.playing = false;
  if (page.sound) {
    page.sound.send('stop');
    page.sound.context.suspend();
  }
  $('sound-hint').hidden = true;
  document.body.classList.remove('playing');
  $('canvas').classList.add('off');  // the picture goes black
  $('message').textContent = why;
  $('choices').hidden = true;
  $('play-again').hidden = !again;
  $('overlay').hidden = false;
  document.title = again ? 'ended' : 'failed';
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  else document.documentElement.requestFullscreen().catch(() => {});
}

// Leaving fullscreen, however it happens, only leaves fullscreen: the demo plays on in the window.
document.addEventListener('fullscreenchange', () => {
  if (!document.fullscreenElement) page.fullscreenLeftAt = performance.now();
});

document.addEventListener('keydown', (event) => {
  soundGesture();
  // In fullscreen the browser keeps Escape for leaving it; some pass the key on as well.
  if (event.key === 'Escape' && page.playing && !document.fullscreenElement &&
      performance.now() - page.fullscreenLeftAt > ESCAPE_AFTER_FULLSCREEN_MS) page.escape = true;
  if ((event.key === 'f' || event.key === 'F') && !event.repeat) toggleFullscreen();
});
document.addEventListener('click', soundGesture);

// A hidden tab gets no animation frames; the demo still ends (or sees Escape) on time.
setInterval(() => {
  if (page.playing && page.demo && document.hidden) demoCall(() => page.demo._demo_frame());
}, HIDDEN_CHECK_MS);

$('play').addEventListener('click', () => startRun(false));
$('play-fullscreen').addEventListener('click', () => startRun(true));
$('play-again').addEventListener('click', () => startRun(false));
// The press that begins the click already makes the context: on a loaded machine making it can
// take Firefox longer than the time it allows the click's handler to ask for fullscreen.
for (const id of ['play', 'play-fullscreen', 'play-again']) $(id).addEventListener('pointerdown', wakeAudio);
$('fullscreen').addEventListener('click', toggleFullscreen);
$('sharp').addEventListener('change', () => {
  try {
    localStorage.setItem(SHARP_KEY, $('sharp').checked ? '1' : '0');
  } catch (e) {
    // not remembered; the choice still holds for this page
  }
});

page.startRun = startRun;
page.makeDemo = makeDemo;
page.sizeCanvasSharp = sizeCanvasSharp;

function main() {
  if (!hasWebGL2()) {
    $('choices').hidden = true;
    $('fullscreen').hidden = true;
    $('message').textContent = 'This demo needs WebGL 2, which this browser does not offer.';
    document.title = 'no WebGL 2';
    return;
  }
  $('sharp').checked = sharpChosen();
  const query = new URLSearchParams(location.search);
  if (HOOK_PARAMETERS.some((name) => query.has(name))) {
    const script = document.createElement('script');
    script.src = 'test_hooks.js';
    document.body.append(script);
  }
}

main();
