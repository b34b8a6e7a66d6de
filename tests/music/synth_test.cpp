// Instrument synthesizer: the nine rows against the figures worked out for them, the small
// records that pin each step of a sample, and independence from the caller's rounding mode.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <vector>

#include "music/synth.h"

namespace {

std::vector<uint8_t> render(const InstrumentParams& params) {
    std::vector<uint8_t> out(params.sample_count + 1, 0xA5);  // one guard byte past the end
    render_instrument(params, out.data());
    EXPECT_EQ(out.back(), 0xA5) << "wrote past sample_count";
    out.pop_back();
    return out;
}

std::vector<uint8_t> render_row(int instrument) { return render(instrument_params(instrument)); }

uint64_t byte_sum(const std::vector<uint8_t>& bytes) {
    uint64_t sum = 0;
    for (uint8_t b : bytes) sum += b;
    return sum;
}

struct RowFacts {
    int instrument;
    int length;
    uint64_t sum;
    std::vector<uint8_t> first_bytes;
};

const RowFacts kRowFacts[] = {
    {0, 4096, 646670, {}},
    {1, 4096, 646670, {}},
    {2, 16500, 2637023, {}},
    {3, 4096, 521371, {171}},
    {4, 4096, 564937, {128, 129, 132, 137, 143, 150, 157, 164, 172, 181, 192, 204, 217, 231, 245, 3}},
    {5, 4096, 643958, {}},
    {6, 4096, 515302, {132, 145, 170, 208, 3, 65, 136, 210}},
    {7, 4096, 620771, {}},
    {8, 4096, 591415, {127, 128, 129, 131, 133, 136, 140, 144}},
};

void expect_row_facts(const char* mode) {
    for (const RowFacts& row : kRowFacts) {
        SCOPED_TRACE(testing::Message() << "row " << row.instrument << ", rounding mode " << mode);
        ASSERT_EQ(instrument_table[row.instrument].length, row.length);
        const std::vector<uint8_t> bytes = render_row(row.instrument);
        EXPECT_EQ(byte_sum(bytes), row.sum);
        for (size_t k = 0; k < row.first_bytes.size(); ++k) EXPECT_EQ(bytes[k], row.first_bytes[k]) << "byte " << k;
    }
}

InstrumentParams straight(uint16_t count, uint8_t flags, float step, float amplitude) {
    // cutoff 1, resonance 0: the filter passes its input through, y = x on every sample.
    return InstrumentParams{count, flags, step, 0.0f, amplitude, 0.0f, 1.0f, 0.0f};
}

// Byte of a one-sample record whose filter output is exactly y (ramp value 1 times y).
uint8_t byte_of(float y) { return render(straight(1, 0, 1.0f, y))[0]; }

struct ByteCase {
    float y;
    uint8_t byte;
};
const ByteCase kByteCases[] = {
    {0.0f, 127}, {1.0f, 128}, {128.0f, 255}, {129.0f, 0}, {-127.0f, 0}, {-128.0f, 255},
    {32767.0f, 126}, {-32768.0f, 127},
    // Ties go to the even neighbour.
    {0.5f, 127}, {1.5f, 129}, {2.5f, 129}, {-0.5f, 127}, {-1.5f, 125}, {32766.5f, 125},
    // Outside the 16-bit range: 127, not a clamped 0 or 255.
    {32767.5f, 127}, {32768.0f, 127}, {40000.0f, 127}, {-32769.0f, 127}, {-1.0e9f, 127},
};

const int kRoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
const char* const kRoundingNames[] = {"to nearest", "upward", "downward", "toward zero"};

}  // namespace

TEST(Synth, NineRowsMatchTheirWorkedOutFigures) {
    expect_row_facts("to nearest");

    EXPECT_EQ(render_row(0), render_row(1));
    const std::vector<uint8_t> row3 = render_row(3);
    size_t out_of_range = 0;
    for (uint8_t b : row3) out_of_range += b == 127;
    EXPECT_EQ(out_of_range, 3236u);
}

TEST(Synth, ByteConversionRoundsHalfEvenAndWrapsWithoutClamping) {
    for (const ByteCase& c : kByteCases) EXPECT_EQ(byte_of(c.y), c.byte) << "y = " << c.y;
}

TEST(Synth, SmallRecordsPinTheWaveSteps) {
    // Raw ramp, phase +1 a sample: 128, 129, ..., 255, 0, ..., 127, repeating every 256 bytes,
    // until the rounded phase leaves the 16-bit range and the ramp reads 0 (byte 127).
    const std::vector<uint8_t> ramp = render(straight(33000, 0, 1.0f, 1.0f));
    for (uint32_t k = 0; k < ramp.size(); ++k)
        ASSERT_EQ(ramp[k], k < 32767 ? (k + 128) % 256 : 127u) << "sample " << k;

    // Pulse on the ramp: 127 bytes of 127, then 128 of 255 and 128 of 127, alternating.
    const std::vector<uint8_t> pulse = render(straight(1024, WAVE_PULSE, 1.0f, 1.0f));
    for (uint32_t k = 0; k < pulse.size(); ++k)
        ASSERT_EQ(pulse[k], ((k + 1) / 128) % 2 == 1 ? 255 : 127) << "sample " << k;

    // Rectify alone zeroes the negative half and doubles the positive; with abs, twice the size.
    const std::vector<uint8_t> rectified = render(straight(256, WAVE_RECTIFY, 1.0f, 1.0f));
    const std::vector<uint8_t> doubled = render(straight(256, WAVE_ABS | WAVE_RECTIFY, 1.0f, 1.0f));
    for (uint32_t k = 0; k < 256; ++k) {
        const int w = int8_t(uint8_t(k + 1));  // the ramp value of sample k
        ASSERT_EQ(rectified[k], uint8_t((w > 0 ? 2 * w : 0) + 127)) << "sample " << k;
        ASSERT_EQ(doubled[k], uint8_t(2 * (w < 0 ? -w : w) + 127)) << "sample " << k;
    }

    // Pulse on a sine: 128 only below -0.5. sin(-1.1198) = -0.9, sin(1.1198) = 0.9, sin(-0.4) = -0.39.
    EXPECT_EQ(render(straight(1, WAVE_SINE | WAVE_PULSE, -1.1198f, 1.0f))[0], 255);
    EXPECT_EQ(render(straight(1, WAVE_SINE | WAVE_PULSE, 1.1198f, 1.0f))[0], 127);
    EXPECT_EQ(render(straight(1, WAVE_SINE | WAVE_PULSE, -0.4f, 1.0f))[0], 127);
    // Bits 4 to 7 change nothing.
    EXPECT_EQ(render(straight(300, 0xF0 | WAVE_PULSE, 1.0f, 1.0f)), render(straight(300, WAVE_PULSE, 1.0f, 1.0f)));

    // One sample: y = sin(phase_step) x amplitude x cutoff = 0.84147 x 100 x 0.5 = 42.07, byte 169;
    // the first sample already sits at phase_step, and the resonance has not acted yet.
    EXPECT_EQ(render(InstrumentParams{1, WAVE_SINE, 1.0f, 0.3f, 100.0f, -50.0f, 0.5f, 0.9f}), std::vector<uint8_t>{169});
}

TEST(Synth, StepsTakeEffectInTheirOrder) {
    // Sweep and envelope act after the sample that uses them: phases 1, 3, 6 (step 1, 2, 3), gains
    // 1, 2, 3, so y = 1, 6, 18 with the filter passing straight through.
    EXPECT_EQ(render(InstrumentParams{3, 0, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f}),
              (std::vector<uint8_t>{128, 133, 145}));
    // Filter with cutoff 0.5, resonance 0.5 on a constant input of 128 (pulse on a falling ramp):
    // v = 64, y = 64; v = 32 + 32 = 64, y = 128; v = 32 + 0, y = 160; v = 16 - 16 = 0, y = 160.
    EXPECT_EQ(render(InstrumentParams{4, WAVE_PULSE, -1.0f, 0.0f, 1.0f, 0.0f, 0.5f, 0.5f}),
              (std::vector<uint8_t>{191, 255, 31, 31}));
}

TEST(Synth, ResultDoesNotDependOnTheCallersRoundingMode) {
    for (size_t m = 0; m < std::size(kRoundingModes); ++m) {
        ASSERT_EQ(std::fesetround(kRoundingModes[m]), 0);
        expect_row_facts(kRoundingNames[m]);
        for (const ByteCase& c : kByteCases) EXPECT_EQ(byte_of(c.y), c.byte) << "y = " << c.y << ", " << kRoundingNames[m];
        EXPECT_EQ(std::fegetround(), kRoundingModes[m]);
        std::fesetround(FE_TONEAREST);
    }
}

TEST(Synth, RoundHalfEvenIgnoresTheRoundingMode) {
    const double cases[][2] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
                               {912.5007, 913}, {2.4999, 2}, {-7.75, -8}, {61873.0, 61873}};
    for (int mode : kRoundingModes) {
        std::fesetround(mode);
        for (const auto& c : cases) EXPECT_EQ(round_half_even(c[0]), c[1]) << c[0] << " in mode " << mode;
    }
    std::fesetround(FE_TONEAREST);
}
