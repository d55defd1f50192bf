/* FilterHighPass: a second-order high-pass biquad designed from a corner frequency and Q. */
#include "vx_biquad.h"

void VexaRecalculateHighPass(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, alpha;
    if (!VexaBiquadQDesign(context, self, &cs, &alpha)) return;
    VexaBiquadStore(self, 1.0 + alpha, (1.0 + cs) / 2.0, -(1.0 + cs), (1.0 + cs) / 2.0,
                    -2.0 * cs, 1.0 - alpha);
}

namespace {
VX_BIQUAD_GROUP_BUILDS(VexaRecalculateHighPass)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05c132fa,
                  .name = "FilterHighPass",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadQPorts),
                  .ports = kVexaBiquadQPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateHighPass>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculateHighPass>};
} // namespace

UnitInfo *VXU_LoadFilterHighPass() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
