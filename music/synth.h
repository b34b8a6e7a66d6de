// Instrument synthesizer: turns one instrument row into 8-bit unsigned mono PCM, written straight
// into a locked sound buffer. Runs on the main thread during start-up (nine calls, one per row).
#pragma once

#include <cstdint>

// wave_flags bits, applied in this order; bits 4..7 are ignored.
constexpr uint8_t WAVE_SINE    = 1;  // sine of the phase (radians); clear: 8-bit ramp, 256 units a cycle
constexpr uint8_t WAVE_PULSE   = 2;  // keep bit 7 of the wave rounded to 16 bits: 128 or 0
constexpr uint8_t WAVE_ABS     = 4;  // magnitude of the wave
constexpr uint8_t WAVE_RECTIFY = 8;  // wave plus its magnitude: doubled where positive, else 0

// One instrument as the synthesizer reads it.
struct InstrumentParams {
    uint16_t sample_count;   // bytes to render, at least 1
    uint8_t wave_flags;      // WAVE_* bits
    float phase_step;        // phase increment of the first sample (radians or ramp units)
    float phase_step_delta;  // added to the increment after every sample (pitch sweep)
    float amplitude;         // gain of the first sample
    float amplitude_delta;   // added to the gain after every sample (linear envelope)
    float cutoff;            // share of (input - output) added to the filter velocity per sample
    float resonance;         // filter velocity factor at the end of every sample
};

// One row of the instrument table. The length is also the sound buffer's size in bytes.
struct InstrumentRow {
    int16_t length;          // bytes, 1..32767
    uint8_t wave_flags;
    float phase_step;
    float phase_step_delta;
    float amplitude;
    float amplitude_delta;
    float cutoff;
    float resonance;
};

constexpr int kInstrumentCount = 9;  // instrument numbers 0..8, shared with the song's patterns

extern const InstrumentRow instrument_table[kInstrumentCount];

// The record render_instrument takes for row `instrument` of instrument_table.
InstrumentParams instrument_params(int instrument);

// Writes out[0] .. out[sample_count - 1] and nothing else. A pure function of params; its
// conversions to integers round half to even whatever rounding mode the caller has set.
void render_instrument(const InstrumentParams& params, uint8_t* out);

// Nearest integer, ties to even, whatever the current rounding mode; infinities and NaN pass
// through. The one conversion from real to integer the music uses.
double round_half_even(double x);
