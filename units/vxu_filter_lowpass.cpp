/* FilterLowPass: a second-order low-pass biquad (unity gain at DC) designed from a corner
 * frequency and Q. */
#include "vx_biquad.h"

void VexaRecalculateLowPass(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    const float frequency = VexaBiquadDesignInput(self->frequency);
    const float q = VexaBiquadDesignInput(self->q);
    if (frequency == self->designFrequency && q == self->designQ) return;
    self->designFrequency = frequency;
    self->designQ = q;
    float common[3];
    VexaBiquadCalcCommon(common, VexaBiquadRatio(context, frequency), q);
    const double cs = common[0];
    const double alpha = common[2];
    VexaBiquadStore(self, 1.0 + alpha, (1.0 - cs) / 2.0, 1.0 - cs, (1.0 - cs) / 2.0, -2.0 * cs,
                    1.0 - alpha);
}

namespace {
const PortInfo kPorts[] = {
    {.portID = PORTID_INPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_INPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, input)},
    {.portID = PORTID_FREQUENCY, .defaultValue = 400.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, frequency)},
    {.portID = PORTID_Q, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, q)},
    {.portID = PORTID_AMPLITUDE, .defaultValue = 1.0f, .defaultMask = DEFAULT_AT_CREATION,
     .portKind = PORT_INPUT, .signalType = SIGNAL_RAW, .numParts = 1,
     .offset = VX_OFFSET(BiquadUnit, amplitude)},
    {.portID = PORTID_OUTPUT, .defaultValue = 0.0f, .defaultMask = 0, .portKind = PORT_OUTPUT,
     .signalType = SIGNAL_RAW, .numParts = 1, .offset = VX_OFFSET(BiquadUnit, output)},
};

/* Designs the coefficients from the defaults, so that they exist before the first block. */
int32_t VXU_InitUnit(VexaContext *context, VexaUnit *unit, int32_t) {
    VexaRecalculateLowPass(context, unit);
    return 0;
}

/* The design follows its inputs once per block, sampled at the block's first frame. */
template <int Level> VX_ALWAYS_INLINE void LowPassBlock(VexaContext *context, VexaUnit *unit) {
    VexaRecalculateLowPass(context, unit);
    VexaBiquadFilterBlock(unit);
}

VX_UNIT_FUNCTION_BUILDS(LowPassBlock)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05d4f996,
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = 5,
                  .ports = kPorts,
                  .initFunc = VXU_InitUnit,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilterLowPass() {
    kInfo.unitFunc = PickUnitFunction();
    return &kInfo;
}
