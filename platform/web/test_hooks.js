// The page's test hooks, loaded by page.js only when the address asks for one:
//   ?autostart          start a run without a click;
//   ?seek=T&step=S      frames 0, S, 2S ... T as fast as they render, no sound, then the title
//                       says "ready"; window.demoSeek(later) goes on from there; &sharp=W draws
//                       a sharp picture for a box W pixels wide (the canvas's width then says
//                       which one);
//   ?soundcheck=ROWS    the engine's first ROWS rows rendered offline, then "sound ready";
//   ?hooks              only the helpers below (pixels, console, timings).
// Page main thread.
'use strict';

(() => {
  const SEEK_SLICE_MS = 50;  // the seek hook renders in slices this long, so the page stays live
  const page = window.demoPage;
  const query = new URLSearchParams(location.search);
  const canvasGL = () => document.getElementById('canvas').getContext('webgl2');

  // Every console line and uncaught error, for engines whose automation shows none.
  const consoleSeen = [];
  for (const level of ['log', 'info', 'warn', 'error']) {
    const original = console[level].bind(console);
    console[level] = (...args) => {
      consoleSeen.push(`${level}: ${args.map(String).join(' ')}`);
      original(...args);
    };
  }
  window.addEventListener('error', (e) => consoleSeen.push(`error: ${e.message}`));
  window.addEventListener('unhandledrejection', (e) => consoleSeen.push(`unhandled: ${e.reason}`));
  window.demoConsole = () => consoleSeen.slice();

  // Timings of a run: the click that starts it, the first frame drawn after it, and when the
  // audio output ran (the page makes its context in the click, after this listener).
  page.timings = { click: 0, firstFrame: 0, audioRunning: 0 };
  const watchAudio = () => {
    const context = page.context;
    if (!context) return;
    const seen = () => {
      if (context.state === 'running' && !page.timings.audioRunning) page.timings.audioRunning = performance.now();
    };
    context.addEventListener('statechange', seen);
    seen();
  };
  for (const id of ['play', 'play-fullscreen', 'play-again']) {
    document.getElementById(id).addEventListener('click', () => {
      page.timings = { click: performance.now(), firstFrame: 0, audioRunning: 0 };
      setTimeout(watchAudio, 0);
    }, { capture: true });
  }
  // Every fullscreen change and refusal since the page loaded, with its time: why a run that
  // asked for fullscreen is not in it (refused, or entered and left) shows in a failed test.
  page.fullscreenEvents = [];
  for (const type of ['fullscreenchange', 'fullscreenerror']) {
    document.addEventListener(type, () => page.fullscreenEvents.push(
      `${Math.round(performance.now() - page.timings.click)} ms after the click: ${type}` +
      `${document.fullscreenElement ? ' (in)' : ' (out)'}${document.hasFocus() ? '' : ', page not focused'}`));
  }
  const watchFrames = () => {
    if (page.frames > 0 && !page.timings.firstFrame) page.timings.firstFrame = performance.now();
    requestAnimationFrame(watchFrames);
  };
  requestAnimationFrame(watchFrames);

  function base64(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }

  // The picture as the canvas holds it: RGBA rows bottom-up, base64.
  window.demoPixels = () => {
    const gl = canvasGL();
    const pixels = new Uint8Array(gl.drawingBufferWidth * gl.drawingBufferHeight * 4);
    gl.readPixels(0, 0, gl.drawingBufferWidth, gl.drawingBufferHeight, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    return base64(pixels);
  };

  // The seek hook. Rendering time of the frames inside a window of scene time, and a jump of the
  // next seek's first frame, for the benchmarks.
  const seek = { next: 0, step: 10, frames: 0, ms: 0, windows: [], probe: new Uint8Array(4) };

  function seekTo(target) {
    document.title = 'seeking';
    const gl = canvasGL();
    const slice = () => {
      const start = performance.now();
      const counted = seek.windows.map(() => 0);
      let frames = 0;
      while (seek.next <= target && performance.now() - start < SEEK_SLICE_MS) {
        const t = seek.next;
        page.demo._demo_render_at(t);
        frames++;
        seek.windows.forEach((w, i) => { if (t > w.from && t < w.to) counted[i]++; });
        seek.next += seek.step;
      }
      // A pixel read waits for the drawing itself (finish() does not wait in every browser), so
      // the slice's time includes it and no backlog of frames builds up.
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, seek.probe);
      const ms = performance.now() - start;
      seek.frames += frames;
      seek.ms += ms;
      seek.windows.forEach((w, i) => { w.frames += counted[i]; w.ms += ms * counted[i] / frames; });
      if (seek.next <= target) setTimeout(slice, 0);
      else document.title = 'ready';
    };
    slice();
  }
  window.demoSeek = seekTo;
  window.demoSeekWindow = (name, from, to) => seek.windows.push({ name, from, to, frames: 0, ms: 0 });
  window.demoSeekJump = (t) => { seek.next = t; };
  window.demoSeekStats = () => ({ frames: seek.frames, ms: seek.ms, windows: seek.windows });

  // The engine's first `rows` rows rendered offline through the same worklet, as 8-bit samples.
  async function soundCheck(rows) {
    const bytes = await page.soundBytes;
    const format = await SoundEngine.format(bytes);
    const context = new OfflineAudioContext(1, rows * format.rowSamples, format.rate);
    await context.audioWorklet.addModule('sound_engine.js');
    const node = new AudioWorkletNode(context, 'demo-sound', {
      numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [1],
      processorOptions: { bytes: bytes.slice(0), start: true },
    });
    node.connect(context.destination);
    const samples = (await context.startRendering()).getChannelData(0);
    const out = new Uint8Array(samples.length);
    for (let i = 0; i < samples.length; i++) out[i] = Math.round(samples[i] * 128 + 128);
    window.demoSoundBytes = base64(out);
    document.title = 'sound ready';
  }

  async function main() {
    if (query.has('soundcheck')) {
      document.getElementById('overlay').hidden = true;
      await soundCheck(Number(query.get('soundcheck')));
    } else if (query.has('seek')) {
      document.getElementById('overlay').hidden = true;
      seek.step = Math.max(1, Number(query.get('step') || 10));
      page.demo = await page.makeDemo();
      if (query.has('sharp')) page.sizeCanvasSharp(page.demo, Number(query.get('sharp')));
      page.demo._demo_start();
      seekTo(Number(query.get('seek')));
    } else if (query.has('autostart')) {
      page.startRun(false);
    }
  }

  main().catch((e) => {
    console.error(e);
    document.title = 'failed';
  });
})();
