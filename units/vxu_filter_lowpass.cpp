/* FilterLowPass: a second-order low-pass biquad (unity gain at DC) designed from a corner
 * frequency and Q. */
#include "vx_biquad.h"

void VexaRecalculateLowPass(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, alpha;
    if (!VexaBiquadQDesign(context, self, &cs, &alpha)) return;
    VexaBiquadStore(self, 1.0 + alpha, (1.0 - cs) / 2.0, 1.0 - cs, (1.0 - cs) / 2.0, -2.0 * cs,
                    1.0 - alpha);
}

namespace {
/* The design follows its inputs once per block, sampled at the block's first frame; the
 * filter runs in the processor's widest vector build. */
template <int Level> VX_ALWAYS_INLINE void LowPassBlock(VexaContext *context, VexaUnit *unit) {
    VexaRecalculateLowPass(context, unit);
    VexaBiquadFilterBlock(unit);
}

VX_UNIT_FUNCTION_BUILDS(LowPassBlock)

VX_BIQUAD_GROUP_BUILDS(VexaRecalculateLowPass)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05d4f996,
                  .name = "FilterLowPass",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadQPorts),
                  .ports = kVexaBiquadQPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateLowPass>,
                  .termFunc = nullptr,
                  .unitFunc = UnitFunction};
} // namespace

UnitInfo *VXU_LoadFilterLowPass() {
    kInfo.groupFunc = PickGroupFunction();
    kInfo.unitFunc = PickUnitFunction();
    return &kInfo;
}
