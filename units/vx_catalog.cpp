/*
 * vx_catalog.cpp - the unit catalogue: VexaF_LoadUnits links every type's descriptor in the
 * catalogue's fixed order, and VexaF_LookupUnitInfo finds a type by its ID.
 */
#include "vx_catalog.h"

/* Every loader is referenced directly, so a type that lacks its source fails the link. */

namespace {
using Loader = UnitInfo *(*)();
#define VX_LOADER_ENTRY(Name) &VXU_Load##Name,
const Loader kCatalogue[] = {VX_UNIT_CATALOGUE(VX_LOADER_ENTRY)};
#undef VX_LOADER_ENTRY

UnitInfo *sHead = nullptr;

/* The descriptors are shared static records; every context links them in the same order,
 * so the chain is built once for the process. */
bool LinkCatalogue() {
    UnitInfo *last = nullptr;
    for (Loader load : kCatalogue) {
        UnitInfo *info = load();
        if (info == nullptr) continue;
        /* Bus ports and sample queues mean state shared with other units of the list. */
        for (int32_t p = 0; p < info->numPorts; p++) {
            const PortInfo &port = info->ports[p];
            if (port.portKind & (PORT_BUS_INPUT | PORT_BUS_OUTPUT)) info->sharing |= VX_SHARES_BUS;
            if (port.portKind == PORT_QUEUE && port.queueData == VXT_SAMPLE)
                info->sharing |= VX_SHARES_SAMPLES;
        }
        info->next = nullptr;
        if (last == nullptr)
            sHead = info;
        else
            last->next = info;
        last = info;
    }
    return true;
}
} // namespace

void VexaF_LoadUnits(VexaContext *context) {
    static const bool linked = LinkCatalogue(); /* once per process, thread-safe */
    (void)linked;
    context->vxf_UnitTypes = sHead;
}

const UnitInfo *VexaF_LookupUnitInfo(VexaContext *context, uint32_t typeID) {
    for (const UnitInfo *info = context->vxf_UnitTypes; info != nullptr; info = info->next)
        if (info->typeID == typeID) return info;
    return nullptr;
}
