// The page's sound engine around sound.wasm: the demo's synthesizer, song, sequencer rows and
// mixer, compiled to WebAssembly, rendering 8-bit samples that go out as floats. Loaded twice:
// as the AudioWorklet module, where it registers the processor that runs the engine in the
// audio thread, and as a plain script on the page, where a script processor runs it on the
// main thread in browsers without audio worklets.
'use strict';

class SoundEngine {
  constructor(instance) {
    this.x = instance.exports;
    this.x._initialize();
    this.x.engine_init();
    this.maxBlock = this.x.engine_max_block();
  }

  // Synchronous: the audio thread may compile a module of any size at once.
  static fromBytes(bytes) {
    return new SoundEngine(new WebAssembly.Instance(new WebAssembly.Module(bytes), {}));
  }

  static async fromBytesAsync(bytes) {
    const { instance } = await WebAssembly.instantiate(bytes, {});
    return new SoundEngine(instance);
  }

  // The engine's output rate and the samples of one row, without making an engine.
  static async format(bytes) {
    const { instance } = await WebAssembly.instantiate(bytes, {});
    return { rate: instance.exports.engine_rate(), rowSamples: instance.exports.engine_row_samples() };
  }

  // 'start': the song from its first row at the next sample; 'stop': silence, buffers reset.
  command(what) {
    if (what === 'start') this.x.engine_start();
    else if (what === 'stop') this.x.engine_stop();
  }

  // Fills one channel of output, however long the browser's block is.
  fill(out) {
    for (let at = 0; at < out.length; at += this.maxBlock) {
      const n = Math.min(this.maxBlock, out.length - at);
      this.x.engine_render(n);
      out.set(new Float32Array(this.x.memory.buffer, this.x.engine_floats(), n), at);
    }
  }
}

if (typeof registerProcessor === 'function') {
  // The audio thread: the engine made from the bytes the page hands over with the node.
  class DemoSoundProcessor extends AudioWorkletProcessor {
    constructor(options) {
      super();
      this.engine = SoundEngine.fromBytes(options.processorOptions.bytes);
      this.port.onmessage = (event) => this.engine.command(event.data);
      if (options.processorOptions.start) this.engine.command('start');
    }

    process(inputs, outputs) {
      this.engine.fill(outputs[0][0]);
      return true;
    }
  }
  registerProcessor('demo-sound', DemoSoundProcessor);
}
