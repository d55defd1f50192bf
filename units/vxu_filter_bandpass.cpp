/* FilterBandPass: a second-order band-pass biquad (peak gain 1 at the centre) designed from a
 * centre frequency and Q. */
#include "vx_biquad.h"

void VexaRecalculateBandPass(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, alpha;
    if (!VexaBiquadQDesign(context, self, &cs, &alpha)) return;
    VexaBiquadStore(self, 1.0 + alpha, alpha, 0.0, -alpha, -2.0 * cs, 1.0 - alpha);
}

namespace {
VX_BIQUAD_GROUP_BUILDS(VexaRecalculateBandPass)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05c125ee,
                  .name = "FilterBandPass",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadQPorts),
                  .ports = kVexaBiquadQPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateBandPass>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculateBandPass>};
} // namespace

UnitInfo *VXU_LoadFilterBandPass() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
