/* FilterSVF: a Chamberlin state-variable filter with low-pass, band-pass and high-pass
 * outputs. The low-pass state is limited to [-1, +1], so even an unstable setting stays
 * bounded. Resonance is a damping factor: 0 resonates most sharply. */
#include <cmath>

#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct FilterSVFUnit {
    VexaUnit unit;
    InputPort input;
    InputPort frequency;
    InputPort amplitude;
    InputPort resonance;
    OutputPort lowPass;
    OutputPort bandPass;
    OutputPort highPass;
    OutputPort output;
    float low, band;
    float lastFrequency; /* the frequency f was made from */
    float f;
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(FilterSVFUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SIGNED,
     .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, amplitude)},
    {.portID = PORTID_RESONANCE, .defaultValue = 0.2f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(FilterSVFUnit, resonance)},
    {.portID = PORTID_LOW_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, lowPass)},
    {.portID = PORTID_BAND_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, bandPass)},
    {.portID = PORTID_HIGH_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, highPass)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterSVFUnit, output)},
};

constexpr double kPiF = static_cast<double>(VX_PI_F); /* pi rounded to a 32-bit float */

void UnitFunction(VexaContext *context, VexaUnit *unit) {
    FilterSVFUnit *self = vx_self<FilterSVFUnit>(unit);
    const float *in = vx_in(self->input);
    const float *amplitude = vx_in(self->amplitude);
    const float *resonance = vx_in(self->resonance);
    float *lowPass = self->lowPass.values;
    float *bandPass = self->bandPass.values;
    float *highPass = self->highPass.values;
    float *out = self->output.values;

    /* The coefficient follows the frequency once per block, from the block's first frame. */
    const float frequency = vx_in(self->frequency)[0];
    if (frequency != self->lastFrequency) {
        self->lastFrequency = frequency;
        self->f = static_cast<float>(
            2.0 * std::sin(static_cast<double>(frequency) * kPiF * context->vxb_FramePeriod));
    }
    const double f = self->f;

    double low = self->low, band = self->band;
    for (int i = 0; i < 8; i++) {
        low = low + f * band;
        if (low < -1.0) {
            low = -1.0;
        } else if (low > 1.0) {
            low = 1.0;
        }
        lowPass[i] = static_cast<float>(low);
        out[i] = static_cast<float>(low * amplitude[i]);
        const double high = in[i] - resonance[i] * band - low;
        highPass[i] = static_cast<float>(high);
        band = band + f * high;
        bandPass[i] = static_cast<float>(band);
    }
    /* The offsets keep silence out of denormal numbers. */
    self->low = static_cast<float>(low + 1.0e-26);
    self->band = static_cast<float>(band - 1.0e-26);
}

/* Groups run the block of each unit in turn, in one call. */
template <int Level> VX_ALWAYS_INLINE void GroupBlock(VexaContext *context, VexaUnit *unit) {
    UnitFunction(context, unit);
}
VX_GROUP_OF_BLOCKS(GroupBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x06117edc,
                  .name = "FilterSVF",
                  .instanceSize = sizeof(FilterSVFUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilterSVF() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
