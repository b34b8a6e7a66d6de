// Instrument synthesizer and the instrument table. Main thread, during start-up, before the
// sequencer thread exists.
//
// One oscillator (a phase accumulator with a linear sweep, read as a sine or as a wrapping 8-bit
// ramp and shaped by the WAVE_* bits) times a linear gain, through a two-pole resonant low-pass,
// then rounded and wrapped to a byte. Nothing is clamped anywhere: the wrap is the sound.
#include "music/synth.h"

#include <cmath>

// Rows as the song's patterns name them. Each decimal is exactly the stored single-precision
// value. Lengths in bytes (8-bit samples at 44,100 Hz: 4096 bytes last 92.9 ms); phase steps in
// radians per sample for WAVE_SINE rows, else in ramp units (256 a cycle); gains are plain factors.
const InstrumentRow instrument_table[kInstrumentCount] = {
    //  length  flags  phase_step  phase_step_delta  amplitude  amplitude_delta  cutoff     resonance
    {    4096,     6,  2.90909f,   -0.00071f,            1.0f,  -0.000244f,      0.003262f, 0.944551f },  // 0
    {    4096,     6,  2.90909f,   -0.00071f,            1.0f,  -0.000244f,      0.003262f, 0.944551f },  // 1 the same as row 0
    {   16500,    13,  0.011424f,   0.0f,              127.0f,  -0.007697f,      0.000204f, 0.98572f  },  // 2
    {    4096,     3,  5.71199f,   -0.001534f,        1905.0f,  -0.465088f,      0.060024f, 0.99755f  },  // 3
    {    4096,     5,  0.399839f,  -0.000102f,        1524.0f,   0.0558105f,     0.000987f, 0.997906f },  // 4
    {    4096,    14,  0.256f,     -0.000119f,           0.55f, -0.000134f,      0.036071f, 0.952519f },  // 5 named by no pattern
    {    4096,     5,  0.317015f,  -0.000067f,        5715.0f,  -1.36426f,       0.002642f, 0.948598f },  // 6
    {    4096,     6,  4.65455f,    0.0f,                1.0f,  -0.000244f,      0.029292f, 0.82885f  },  // 7
    {    4096,    13,  0.02856f,    0.0f,              127.0f,  -0.031006f,      0.029292f, 0.82885f  },  // 8
};
static_assert(sizeof instrument_table / sizeof instrument_table[0] == kInstrumentCount);

namespace {

// Signed 16-bit conversion of the running values.
// QUIRK: a value outside -32768..32767 becomes -32768 instead of saturating, so a runaway
// filter gives byte 127 and a ramp phase beyond the range reads as 0.
int32_t round_to_int16(double x) {
    const double r = round_half_even(x);
    if (!(r >= -32768.0 && r <= 32767.0)) return -32768;  // also NaN
    return int32_t(r);
}

// The raw ramp: low 8 bits of the rounded phase, read as a signed byte (-128..127).
double ramp_value(double phase) {
    return double(int8_t(uint8_t(round_to_int16(phase) & 0xFF)));
}

// QUIRK: the offset is 127, not 128, so silence is byte 127; values wrap, never clamp.
uint8_t output_byte(double y) {
    return uint8_t((round_to_int16(y) + 127) & 0xFF);
}

}  // namespace

double round_half_even(double x) {
    // floor, the subtraction and the +1 are exact, so the rounding mode cannot leak in.
    double r = std::floor(x);
    const double fraction = x - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    return r;
}

InstrumentParams instrument_params(int instrument) {
    const InstrumentRow& row = instrument_table[instrument];
    return InstrumentParams{uint16_t(row.length), row.wave_flags, row.phase_step, row.phase_step_delta,
                            row.amplitude, row.amplitude_delta, row.cutoff, row.resonance};
}

void render_instrument(const InstrumentParams& params, uint8_t* out) {
    // The running values in double: the nine rows come out the same as with a 64-bit significand.
    double phase = 0.0;
    double step = params.phase_step;
    double gain = params.amplitude;
    double y = 0.0;  // filter output
    double v = 0.0;  // filter velocity
    const uint8_t flags = params.wave_flags;

    for (uint32_t k = 0; k < params.sample_count; ++k) {
        phase += step;  // so the first sample already sits at phase_step
        step += params.phase_step_delta;
        double w = (flags & WAVE_SINE) ? std::sin(phase) : ramp_value(phase);
        if (flags & WAVE_PULSE) w = double(round_to_int16(w) & 0x80);  // bit 7 of the two's complement
        if (flags & WAVE_ABS) w = std::fabs(w);
        if (flags & WAVE_RECTIFY) w = w + std::fabs(w);
        const double x = w * gain;  // gain as it stood before this sample's change
        gain += params.amplitude_delta;
        v += (x - y) * params.cutoff;
        y += v;
        out[k] = output_byte(y);
        v *= params.resonance;  // after the output: the damping acts on the next sample
    }
}
