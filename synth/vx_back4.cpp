/*
 * vx_back4.cpp - the back end's records: their setup and teardown (run lists, band-limited
 * tables, event buffer), the back end's release of a thing, and its report of running units.
 */
#include <cstdio>

#include "vx_bridge.h"
#include "vx_sawbl.h"
#include "vx_synth.h"

/* ---- Setup and teardown ------------------------------------------------------------ */

int32_t VexaS_Init(VexaContext *context) {
    for (DLLNode &list : context->vxb_ControlLists) DLL_InitList(&list);
    for (DLLNode &list : context->vxb_AudioLists) DLL_InitList(&list);
    DLL_InitList(&context->vxb_ControlToAudioList);
    DLL_InitList(&context->vxb_AudioToControlList);
    int32_t result = VX_SawBL_Init(context, &context->vxb_SawTables);
    if (result < 0) return result;
    result = EB_Init(&context->vxb_EventBuffer, vx_load(context->vxb_TickCount), context);
    if (result >= 0) result = VexaS_InitPlan(context);
    if (result >= 0) {
        result = VexaS_InitCrew(context);
        if (result < 0) VexaS_TermPlan(context);
    }
    if (result < 0) {
        VX_SawBL_Term(context, &context->vxb_SawTables);
        return result;
    }
    return 0;
}

int32_t VexaS_Term(VexaContext *context) {
    VexaB_ProcessCommandsFromFront(context);
    EB_Term(&context->vxb_EventBuffer);
    VexaS_TermCrew(context);
    VexaS_TermPlan(context);
    VX_SawBL_Term(context, &context->vxb_SawTables);
    return 0;
}

/* ---- Release of things --------------------------------------------------------------- */

/* Releases one hold on behalf of the back end. When that was the last hold, a unit first
 * leaves its run list, then the thing goes back to the front end, which frees it. */
void VXLL_UnReference(VexaContext *context, VexaThing *thing) {
    __atomic_add_fetch(&thing->vxt_ReleaseCount, 1, __ATOMIC_RELAXED);
    if (__atomic_sub_fetch(&thing->vxt_Outstanding, 1, __ATOMIC_ACQ_REL) > 0) return;
    if (thing->vxt_Type == VXT_UNIT) VexaB_StopUnit(context, reinterpret_cast<VexaUnit *>(thing));
    VexaS_SendToFront(context, &thing->vxt_Node, B2F_FREE_THING);
    VexaB_FollowReturnedThing(context);
}

/* The list keeps its last node until another follows, so a thing sent last would wait for
 * the next command or release to be freed (a deleted sample stays in memory, a deleted unit
 * keeps feeding what it was connected to). A spacer follows it; when both spacers are still on
 * the list, the end of the next batch tries again, by when the front end has usually taken
 * them off. */
void VexaB_FollowReturnedThing(VexaContext *context) {
    if (context->vxb_LastSentThing == 0) return;
    for (int i = 0; i < 2; i++) {
        if (__atomic_load_n(&context->vxs_SpacerInList[i], __ATOMIC_ACQUIRE) != 0) continue;
        __atomic_store_n(&context->vxs_SpacerInList[i], 1, __ATOMIC_RELAXED);
        VexaS_SendToFront(context, &context->vxs_Spacers[i], B2F_SPACER);
        return;
    }
}

/* ---- Report ---------------------------------------------------------------------------- */

void VexaB_Debug(VexaContext *context) {
    int32_t running = 0;
    for (const DLLNode &list : context->vxb_AudioLists) running += DLL_CountNodes(&list);
    std::printf("    Number of Audio   Units running = %d\n", running);
    std::fflush(stdout);
}
