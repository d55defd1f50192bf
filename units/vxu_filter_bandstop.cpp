/* FilterBandStop: a second-order notch biquad designed from a centre frequency and Q. */
#include "vx_biquad.h"

void VexaRecalculateBandStop(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, alpha;
    if (!VexaBiquadQDesign(context, self, &cs, &alpha)) return;
    VexaBiquadStore(self, 1.0 + alpha, 1.0, -2.0 * cs, 1.0, -2.0 * cs, 1.0 - alpha);
}

namespace {
VX_BIQUAD_GROUP_BUILDS(VexaRecalculateBandStop)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05b485e2,
                  .name = "FilterBandStop",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadQPorts),
                  .ports = kVexaBiquadQPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateBandStop>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculateBandStop>};
} // namespace

UnitInfo *VXU_LoadFilterBandStop() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
