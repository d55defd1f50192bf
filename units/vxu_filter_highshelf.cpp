/* FilterHighShelf: a second-order high shelf: gain Gain (linear) above the corner frequency,
 * unity below it, with the shelf's steepness set by Slope. */
#include "vx_biquad.h"

void VexaRecalculateHighShelf(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, a, k;
    if (!VexaBiquadShelfDesign(context, self, &cs, &a, &k)) return;
    VexaBiquadStore(self, (a + 1.0) - (a - 1.0) * cs + k, a * ((a + 1.0) + (a - 1.0) * cs + k),
                    -2.0 * a * ((a - 1.0) + (a + 1.0) * cs), a * ((a + 1.0) + (a - 1.0) * cs - k),
                    2.0 * ((a - 1.0) - (a + 1.0) * cs), (a + 1.0) - (a - 1.0) * cs - k);
}

namespace {
VX_BIQUAD_GROUP_BUILDS(VexaRecalculateHighShelf)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x05589f9e,
                  .name = "FilterHighShelf",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadShelfPorts),
                  .ports = kVexaBiquadShelfPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateHighShelf>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculateHighShelf>};
} // namespace

UnitInfo *VXU_LoadFilterHighShelf() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
