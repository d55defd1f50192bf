/*
 * vx_back4.cpp - the back end's release of a thing.
 */
#include "vx_engine.h"

/* Releases one hold on behalf of the back end. When that was the last hold, a unit first
 * leaves its run list, then the thing goes back to the front end, which frees it. */
void VXLL_UnReference(VexaContext *context, VexaThing *thing) {
    __atomic_add_fetch(&thing->vxt_ReleaseCount, 1, __ATOMIC_RELAXED);
    if (__atomic_sub_fetch(&thing->vxt_Outstanding, 1, __ATOMIC_ACQ_REL) > 0) return;
    if (thing->vxt_Type == VXT_UNIT) VexaB_StopUnit(context, reinterpret_cast<VexaUnit *>(thing));
    VexaS_SendToFront(context, &thing->vxt_Node, B2F_FREE_THING);
}
