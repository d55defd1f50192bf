/* FilterLowShelf: a second-order low shelf: gain Gain (linear) below the corner frequency,
 * unity above it, with the shelf's steepness set by Slope. */
#include "vx_biquad.h"

void VexaRecalculateLowShelf(VexaContext *context, VexaUnit *unit) {
    BiquadUnit *self = vx_self<BiquadUnit>(unit);
    double cs, a, k;
    if (!VexaBiquadShelfDesign(context, self, &cs, &a, &k)) return;
    VexaBiquadStore(self, (a + 1.0) + (a - 1.0) * cs + k, a * ((a + 1.0) - (a - 1.0) * cs + k),
                    2.0 * a * ((a - 1.0) - (a + 1.0) * cs), a * ((a + 1.0) - (a - 1.0) * cs - k),
                    -2.0 * ((a - 1.0) + (a + 1.0) * cs), (a + 1.0) + (a - 1.0) * cs - k);
}

namespace {
VX_BIQUAD_GROUP_BUILDS(VexaRecalculateLowShelf)

UnitInfo kInfo = {.next = nullptr,
                  .typeID = 0x058fe72e,
                  .name = "FilterLowShelf",
                  .instanceSize = sizeof(BiquadUnit),
                  .numPorts = VX_PORT_COUNT(kVexaBiquadShelfPorts),
                  .ports = kVexaBiquadShelfPorts,
                  .initFunc = VexaBiquadInit<VexaRecalculateLowShelf>,
                  .termFunc = nullptr,
                  .unitFunc = VexaBiquadUnitFunction<VexaRecalculateLowShelf>};
} // namespace

UnitInfo *VXU_LoadFilterLowShelf() {
    kInfo.groupFunc = PickGroupFunction();
    return &kInfo;
}
