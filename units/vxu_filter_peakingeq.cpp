/* FilterPeakingEQ: a second-order peaking equaliser: gain Gain (linear) at the centre
 * frequency, unity far from it, bandwidth set by Q. */
#include <cmath>

#include "vx_biquad.h"

void VexaRecalculatePeakingEQ(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    const float frequency = VexaBiquadDesignInput(self->frequency);
    const float q = VexaBiquadDesignInput(self->q);
    const float gain = VexaBiquadDesignInput(self->gain);
    if (frequency == self->designFrequency && q == self->designQ && gain == self->designGain)
        return;
    self->designFrequency = frequency;
    self->designQ = q;
    self->designGain = gain;
    float common[3];
    VexaBiquadCalcCommon(common, VexaBiquadRatio(context, frequency), q);
    const double cs = common[0];
    const double alpha = common[2];
    const double a = static_cast<float>(std::sqrt(static_cast<double>(gain)));
    VexaBiquadStore(self, 1.0 + alpha / a, 1.0 + alpha * a, -2.0 * cs, 1.0 - alpha * a, -2.0 * cs,
                    1.0 - alpha / a);
}

namespace {
const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 400.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, frequency)},
    {.portID = PORTID_Q, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, q)},
    {.portID = PORTID_GAIN, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, gain)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = VEXA_SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = VEXA_SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, output)},
};

VX_BIQUAD_GROUP_BUILDS(VexaRecalculatePeakingEQ)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05716532,
                  .name = "FilterPeakingEQ",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kPorts),
                  .ports = kPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculatePeakingEQ>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculatePeakingEQ>};
} // namespace

UnitInfo *VXU_LoadFilterPeakingEQ() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
