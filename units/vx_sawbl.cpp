/*
 * vx_sawbl.cpp - the band-limited multiwave sawtooth tables shared by the band-limited
 * oscillators, and the function that reads them.
 *
 * The set holds eight one-cycle tables with 1, 2, 4, ..., 128 harmonics. Table 0 is a plain
 * sine; every further table is a sawtooth series tapered by a raised cosine and normalised
 * to a peak of 1. An oscillator turns its phase increment into a fractional table level and
 * blends the two neighbouring tables, so its top harmonic stays just below the Nyquist
 * frequency.
 */
#include <cmath>
#include <cstdint>
#include <cstring>

#include "vx_unit.h"

namespace {

constexpr double kPiF = static_cast<double>(VX_PI_F); /* pi rounded to a 32-bit float */
constexpr int32_t kNumTables = 8;
constexpr int32_t kCycleLength = 1024;

/* Linear interpolation within one table; i is in 0 ... N - 1 and entry N is the guard. */
inline double ReadTable(const float *table, int32_t i, double f) {
    double a = table[i];
    return a + (table[i + 1] - a) * f;
}

void ClearSet(SawMultiTables *set) {
    set->numTables = 0;
    set->cycleLength = 0;
    set->halfLength = 0.0f;
    set->tables = nullptr;
}

} // namespace

namespace {

/* Fills the tables of a set, each n + 1 entries and zero-filled: table 0 the sine, the others
 * the tapered sawtooth series, normalised. */
void FillSawTables(float *const *tables, int32_t numberOfTables, int32_t n) {
    float *sine = tables[0];
    /* Table 0: one cycle of sin(pi p) over p = 2j/N - 1, with entry N closing the cycle. */
    for (int32_t j = 0; j <= n; j++) {
        sine[j] = static_cast<float>(std::sin(2.0 * kPiF * j / n - kPiF));
    }

    /* Harmonic k + 1 enters with amplitude 1/(k + 1), tapered by a raised cosine that falls
     * from 1 at the fundamental towards 0 at harmonic H. The sine is read at (j (k+1)) mod N,
     * stepped by k + 1 per entry. */
    for (int32_t t = 1; t < numberOfTables; t++) {
        float *table = tables[t];
        const int32_t harmonics = 1 << t;
        for (int32_t k = 0; k < harmonics; k++) {
            const double c = std::cos(k * kPiF / (2.0 * harmonics));
            const float weight = static_cast<float>(c * c / (k + 1));
            const int32_t step = (k + 1) % n;
            int32_t index = 0;
            for (int32_t j = 0; j <= n; j++) {
                table[j] = static_cast<float>(table[j] + static_cast<double>(weight) * sine[index]);
                index += step;
                if (index >= n) index -= n;
            }
        }
    }

    for (int32_t t = 1; t < numberOfTables; t++) NormalizeArray(tables[t], n + 1);
}

/* The standard set is the same in every context, so it is computed once in the process; each
 * context's tables (its own allocations) are copies of it. */
float gStandardSet[kNumTables][kCycleLength + 1]; /* zero until filled */

bool FillStandardSet() {
    float *tables[kNumTables];
    for (int32_t t = 0; t < kNumTables; t++) tables[t] = gStandardSet[t];
    FillSawTables(tables, kNumTables, kCycleLength);
    return true;
}

const float *StandardSet() {
    static const bool filled = FillStandardSet(); /* once, by the first caller */
    (void)filled;
    return &gStandardSet[0][0];
}

} // namespace

int32_t VX_SawBL_Init(VexaContext *context, SawMultiTables *set) {
    return CreateMultiWaveSawtooth(context, set, kNumTables, kCycleLength);
}

int32_t CreateMultiWaveSawtooth(VexaContext *context, SawMultiTables *set,
                                int32_t numberOfTables, int32_t cycleLength) {
    /* Up to 2^23 harmonics and 2^24 entries per cycle; anything else is refused. */
    if (numberOfTables < 1 || numberOfTables > 24 || cycleLength < 2 || cycleLength > (1 << 24)) {
        ClearSet(set);
        return VXERR_OUT_OF_RANGE;
    }
    const int32_t n = cycleLength;
    const size_t tableBytes = sizeof(float) * static_cast<size_t>(n + 1);

    float *sine = static_cast<float *>(VexaF_AllocateMemory(context, tableBytes, "SawMulti sine"));
    if (sine == nullptr) {
        ClearSet(set);
        return VXERR_NO_MEMORY;
    }
    set->numTables = numberOfTables;
    set->cycleLength = n;
    set->halfLength = static_cast<float>(n / 2);
    float **tables = static_cast<float **>(VexaF_AllocateMemory(
        context, sizeof(float *) * static_cast<size_t>(numberOfTables), "SawMulti tables"));
    if (tables == nullptr) {
        VexaF_FreeMemory(context, sine);
        ClearSet(set);
        return VXERR_NO_MEMORY;
    }
    tables[0] = sine;
    set->tables = tables;
    for (int32_t t = 1; t < numberOfTables; t++) {
        tables[t] =
            static_cast<float *>(VexaF_AllocateMemory(context, tableBytes, "SawMulti table"));
        if (tables[t] == nullptr) {
            VX_SawBL_Term(context, set);
            return VXERR_NO_MEMORY;
        }
    }

    if (numberOfTables == kNumTables && n == kCycleLength) {
        const float *standard = StandardSet();
        for (int32_t t = 0; t < numberOfTables; t++)
            std::memcpy(tables[t], standard + static_cast<size_t>(n + 1) * t, tableBytes);
    } else {
        FillSawTables(tables, numberOfTables, n);
    }
    return 0;
}

float NormalizeArray(float *values, int32_t count) {
    float largest = 0.0f;
    for (int32_t i = 0; i < count; i++) {
        float magnitude = std::fabs(values[i]);
        if (magnitude > largest) largest = magnitude;
    }
    if (largest < 1.0e-7f) largest = 1.0e-7f;
    const float scale = static_cast<float>(1.0 / largest);
    for (int32_t i = 0; i < count; i++) {
        values[i] = static_cast<float>(static_cast<double>(values[i]) * scale);
    }
    return scale;
}

int32_t VX_SawBL_Term(VexaContext *context, SawMultiTables *set) {
    if (set->tables != nullptr) {
        for (int32_t t = 0; t < set->numTables; t++) {
            if (set->tables[t] != nullptr) VexaF_FreeMemory(context, set->tables[t]);
        }
        VexaF_FreeMemory(context, set->tables);
    }
    ClearSet(set);
    return 0;
}

float VX_SawBL_PhaseIncToLevel(float increment) {
    /* A piecewise-linear -1 - log2|x| read straight from the float's exponent and mantissa. */
    uint32_t bits;
    std::memcpy(&bits, &increment, sizeof bits);
    const uint32_t exponent = (bits >> 23) & 0xffu;
    const uint32_t mantissa = bits & 0x7fffffu;
    constexpr double kMantissaScale = 1.1920930376163766e-07; /* 1 / (2^23 - 1) */
    return static_cast<float>(126.0 - (mantissa * kMantissaScale + exponent));
}

float VX_SawBL_CalculateSawtooth(const SawMultiTables *set, float phase, float increment,
                                 float level) {
    /* A set whose build failed has no tables: the band-limited units then stay silent. */
    if (set->tables == nullptr || set->numTables < kNumTables) return 0.0f;

    const int32_t n = set->cycleLength;
    const double half = set->halfLength;
    const double pos = half * phase + half;
    /* A phase just below +1 held in double may round to +1 as a float: that reads the guard
     * entry (one cycle on, the same as -1). Anything outside the table, including a NaN
     * phase, is kept within it so that no read leaves the table. */
    int32_t i;
    if (pos >= 0.0 && pos < n) {
        i = static_cast<int32_t>(pos);
    } else if (pos >= n) {
        i = n - 1;
    } else {
        i = 0;
    }
    const double f = pos - i;

    const double levelFloor = std::floor(static_cast<double>(level));
    const double lf = level - levelFloor;

    if (levelFloor > 6.0) {
        /* Below 2^-8 of the frame rate, fade from table 7 towards the plain ramp. */
        const double v = ReadTable(set->tables[7], i, f);
        return static_cast<float>(phase + (v - phase) * 256.0 * std::fabs(increment));
    }
    if (!(levelFloor >= -1.0)) return 0.0f; /* beyond the Nyquist frequency (or no level) */
    if (levelFloor == -1.0) {
        /* Top octave: only the fundamental, fading out towards the Nyquist frequency. */
        return static_cast<float>(ReadTable(set->tables[0], i, f) * lf);
    }
    const int32_t l = static_cast<int32_t>(levelFloor);
    const double a = ReadTable(set->tables[l], i, f);
    const double b = ReadTable(set->tables[l + 1], i, f);
    return static_cast<float>(a + (b - a) * lf);
}
