/* FilterOldSVF: the state-variable filter with its coefficient f = 2 sin(pi F / frame rate)
 * taken per frame from its Frequency input. A frequency set by the client is converted to f
 * when it is set; a signal connected to the input must already carry f. */
#include "vx_group.h"
#include "vx_unit.h"

namespace {
struct FilterOldSVFUnit {
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
};

const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 440.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SVF_FREQUENCY, .numParts = 1,
     .offset = VX_OFFSET(FilterOldSVFUnit, frequency)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = VX_AMPLITUDE_DEFAULT,
     .defaultMask = DEFAULT_AT_CREATION, .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SIGNED,
     .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, amplitude)},
    {.portID = PORTID_RESONANCE, .defaultValue = 0.2f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1,
     .offset = VX_OFFSET(FilterOldSVFUnit, resonance)},
    {.portID = PORTID_LOW_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, lowPass)},
    {.portID = PORTID_BAND_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, bandPass)},
    {.portID = PORTID_HIGH_PASS, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, highPass)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_SIGNED, .numParts = 1, .offset = VX_OFFSET(FilterOldSVFUnit, output)},
};

void UnitFunction(VexaContext *, VexaUnit *unit) {
    FilterOldSVFUnit *self = vx_self<FilterOldSVFUnit>(unit);
    const float *in = vx_in(self->input);
    const float *coefficient = vx_in(self->frequency);
    const float *amplitude = vx_in(self->amplitude);
    const float *resonance = vx_in(self->resonance);
    float *lowPass = self->lowPass.values;
    float *bandPass = self->bandPass.values;
    float *highPass = self->highPass.values;
    float *out = self->output.values;

    double low = self->low, band = self->band;
    for (int i = 0; i < 8; i++) {
        const double f = coefficient[i];
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
                  .typeID = 0x06119b8b,
                  .name = "FilterOldSVF",
                  .instanceSize = sizeof(FilterOldSVFUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = nullptr,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilterOldSVF() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
