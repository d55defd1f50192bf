/* SawtoothOscillatorBL: a band-limited rising ramp read from the multiwave tables. */
#include "vx_group.h"
#include "vx_bandlimited.h"
#include "vx_phase.h"

namespace {
struct SawtoothBLUnit {
    VexaUnit unit;
    InputPort frequency;
    InputPort amplitude;
    VariablePort phase;
    OutputPort output;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(SawtoothBLUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW,
     .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, amplitude)},
    {.portID = PORTID_PHASE, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_VARIABLE,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, phase)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(SawtoothBLUnit, output)},
};

/* 1 / (2^23 - 1): the mantissa's share of the table level. */
constexpr double kMantissaScale = 1.1920930376163766e-07;

/* The four table reads of a block that reads one pair of tables: entries i and i + 1 of
 * each. */
VX_ALWAYS_INLINE void ReadPairs(const float *ta, const float *tb, const VxBlockI &index,
                                VxBlockF *a0, VxBlockF *a1, VxBlockF *b0, VxBlockF *b1) {
    for (int i = 0; i < 8; i++) {
        (*a0)[i] = ta[index[i]];
        (*a1)[i] = ta[index[i] + 1];
        (*b0)[i] = tb[index[i]];
        (*b1)[i] = tb[index[i] + 1];
    }
}
#if VX_X86_VECTOR_BUILDS
/* The same with the gather instructions of the wider builds. */
VX_TARGET_AVX2 inline void ReadPairsGather(const float *ta, const float *tb,
                                           const VxBlockI &index, VxBlockF *a0, VxBlockF *a1,
                                           VxBlockF *b0, VxBlockF *b1) {
    const __m256i i = reinterpret_cast<const __m256i &>(index);
    *a0 = _mm256_i32gather_ps(ta, i, 4);
    *a1 = _mm256_i32gather_ps(ta + 1, i, 4);
    *b0 = _mm256_i32gather_ps(tb, i, 4);
    *b1 = _mm256_i32gather_ps(tb + 1, i, 4);
}
#endif

/* One block of the sawtooth. Every frame's value is VX_SawBL_CalculateSawtooth of its phase,
 * increment and level. When the eight frames read the same two tables (the level's whole
 * part is the same, 0 to 6: a steady or slowly moving frequency), the table reads and the
 * blends of the eight frames are formed side by side with the same operations as the
 * function; any other block calls the function frame by frame. */
template <int Level> VX_ALWAYS_INLINE void SawBlock(VexaContext *context, VexaUnit *unit) {
    SawtoothBLUnit *self = vx_self<SawtoothBLUnit>(unit);
    const float *frequency = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    const SawMultiTables *set = &context->vxb_SawTables;

    double phase;
    VxBlockD phases;
    VX_ADVANCE_PHASES(Level, phases, context, vx_phase_begin(self->phase),
                      frequency, &phase);
    const VxBlockF increment = vx_round(vx_phase_increments(context, frequency));
    const VxBlockF p = vx_round(phases);

    /* VX_SawBL_PhaseIncToLevel: 126 - (mantissa x K + exponent) from the float's bits. */
    VxBlockI bits;
    __builtin_memcpy(&bits, &increment, sizeof bits);
    const VxBlockD exponent = __builtin_convertvector((bits >> 23) & 0xff, VxBlockD);
    const VxBlockD mantissa = __builtin_convertvector(bits & 0x7fffff, VxBlockD);
    const VxBlockF level = vx_round(126.0 - (mantissa * kMantissaScale + exponent));

    /* The level's whole part (levels lie within -130 ... 126). */
    const VxBlockD levelD = vx_widen(level);
    VxBlockI whole = __builtin_convertvector(levelD, VxBlockI);
    whole += __builtin_convertvector(__builtin_convertvector(whole, VxBlockD) > levelD, VxBlockI);
    const int32_t l = whole[0];
    bool uniform = set->tables != nullptr && set->numTables >= 8 && l >= 0 && l <= 6;
    for (int i = 1; i < 8; i++) uniform &= whole[i] == l;

    float *out = self->output.values;
    if (uniform) {
        const float *ta = set->tables[l];
        const float *tb = set->tables[l + 1];
        const double n = set->cycleLength;
        const double half = set->halfLength;
        const VxBlockD pos = half * vx_widen(p) + half;
        /* Within the table: pos itself; a phase rounded up to +1 reads the last interval; a
         * NaN reads the first. */
        const VxBlockD clipped = (pos >= 0.0 && pos < n) ? pos : (pos >= n ? n - 1.0 : 0.0);
        const VxBlockI index = __builtin_convertvector(clipped, VxBlockI);
        const VxBlockD f = pos - __builtin_convertvector(index, VxBlockD);
        VxBlockF a0, a1, b0, b1;
#if VX_X86_VECTOR_BUILDS
        if constexpr (Level != VX_SIMD_BASE)
            ReadPairsGather(ta, tb, index, &a0, &a1, &b0, &b1);
        else
#endif
            ReadPairs(ta, tb, index, &a0, &a1, &b0, &b1);
        const VxBlockD ra = vx_widen(a0) + (vx_widen(a1) - vx_widen(a0)) * f;
        const VxBlockD rb = vx_widen(b0) + (vx_widen(b1) - vx_widen(b0)) * f;
        const VxBlockD lf = levelD - __builtin_convertvector(whole, VxBlockD);
        const VxBlockF saw = vx_round(ra + (rb - ra) * lf);
        vx_store_block(out, vx_round(vx_widen(saw) * vx_widen(vx_load_block(amplitude))));
    } else {
        for (int i = 0; i < 8; i++) {
            const float saw = VX_SawBL_CalculateSawtooth(set, p[i], increment[i], level[i]);
            out[i] = static_cast<float>(static_cast<double>(saw) * amplitude[i]);
        }
    }
    vx_phase_end(self->phase, phase);
}

VX_UNIT_FUNCTION_BUILDS(SawBlock)

/* Up to 8 sawtooths side by side, one per lane: per frame and lane the accumulator's steps,
 * the level from the increment's bits, and VX_SawBL_CalculateSawtooth for the lane's own
 * table pair (vx_bl_saw_lanes), each with the operations of the unit function. */
template <int Level>
VX_ALWAYS_INLINE void SawGroup(VexaContext *context, VexaUnit *const *units, int32_t count) {
    if (context->vxb_SawFlat == nullptr) { /* not the standard table set */
        for (int32_t k = 0; k < count; k++) SawBlock<Level>(context, units[k]);
        return;
    }
    const VxLanes<SawtoothBLUnit> lanes(units, count);
    VxBlockF frequency[8], amplitude[8], out[8];
    vx_lanes_in(lanes, &SawtoothBLUnit::frequency, frequency);
    vx_lanes_in(lanes, &SawtoothBLUnit::amplitude, amplitude);
    VxBlockD phase;
    for (int k = 0; k < 8; k++) phase[k] = vx_phase_begin(lanes[k]->phase);
    const VxBlLanes tables = vx_bl_lanes(context);
    VX_GROUP_UNROLL
    for (int i = 0; i < 8; i++) {
        VxBlockF x, level;
        vx_bl_lanes_step(tables, frequency[i], &phase, &x, &level);
        const VxBlockF saw = vx_bl_saw_lanes<Level>(tables, vx_round(phase), x, level);
        out[i] = vx_round(vx_widen(saw) * vx_widen(amplitude[i]));
    }
    vx_lanes_out(lanes, &SawtoothBLUnit::output, out);
    for (int k = 0; k < count; k++) vx_phase_end(lanes[k]->phase, phase[k]);
}

VX_GROUP_FUNCTION_BUILDS(SawGroup)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x04c399ff,
                  .name = "SawtoothOscillatorBL",
                  .instanceSize = sizeof(SawtoothBLUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadSawtoothOscillatorBL() {
    kInfo.groupFunc = PickGroupFunction();
    kInfo.unitFunc = PickUnitFunction();
    return &kInfo;
}
