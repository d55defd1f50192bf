/*
 * vx_call.cpp - the entry of the public calls that work on an engine, and the serialisation
 * of an engine's lifecycle.
 *
 * The gate. A call on an initialised engine is counted in vxf_CallsInFlight for as long as it
 * runs. The last termination shuts the gate first (calls that arrive after it answer -83),
 * closes the stream so that waits for ticks end, and then waits until the calls already in
 * flight have left before it takes the engine down. So a call that overlaps the last
 * termination either completes before it or returns -83 after it, and no call ever meets a
 * peer lock, a bridge or a thing that termination has freed.
 *
 * The lifecycle lock. Initialisation, termination, start and stop of one context run one at a
 * time: two first initialisations would both set the engine up, and an initialisation racing
 * the last termination could leave the count and the engine disagreeing.
 */
#include <sched.h>

#include "vx_engine.h"

namespace {
constexpr int32_t kGateShut = 0;
constexpr int32_t kGateOpen = 1;

/* Spins a little, then yields: the waits below are on other client threads' calls. */
inline void Pause(int &spins) {
    if (++spins > 64) sched_yield();
}
} // namespace

/* ---- The gate ----------------------------------------------------------------------- */

/* The count is raised before the gate is read, and the terminator shuts the gate before it
 * reads the count (both sequentially consistent), so either the call sees the gate shut or
 * the terminator sees the call. */
int32_t VexaF_EnterEngine(VexaContext *context) {
    __atomic_add_fetch(&context->vxf_CallsInFlight, 1, __ATOMIC_SEQ_CST);
    if (__atomic_load_n(&context->vxf_Gate, __ATOMIC_SEQ_CST) != kGateOpen) {
        __atomic_sub_fetch(&context->vxf_CallsInFlight, 1, __ATOMIC_RELEASE);
        return VXERR_HOST_INIT;
    }
    return 0;
}

void VexaF_LeaveEngine(VexaContext *context) {
    __atomic_sub_fetch(&context->vxf_CallsInFlight, 1, __ATOMIC_RELEASE);
}

void VexaF_OpenGate(VexaContext *context) {
    __atomic_store_n(&context->vxf_Gate, kGateOpen, __ATOMIC_SEQ_CST);
}

void VexaF_ShutGate(VexaContext *context) {
    __atomic_store_n(&context->vxf_Gate, kGateShut, __ATOMIC_SEQ_CST);
}

bool VexaF_GateOpen(const VexaContext *context) {
    return __atomic_load_n(&context->vxf_Gate, __ATOMIC_ACQUIRE) == kGateOpen;
}

void VexaF_WaitForCallsToLeave(VexaContext *context) {
    int spins = 0;
    while (__atomic_load_n(&context->vxf_CallsInFlight, __ATOMIC_SEQ_CST) != 0) Pause(spins);
}

/* ---- The lifecycle lock --------------------------------------------------------------- */

void VexaF_LockLifecycle(VexaContext *context) {
    int spins = 0;
    while (__atomic_exchange_n(&context->vxf_LifecycleLock, 1, __ATOMIC_ACQUIRE) != 0) {
        while (__atomic_load_n(&context->vxf_LifecycleLock, __ATOMIC_RELAXED) != 0) Pause(spins);
    }
}

void VexaF_UnlockLifecycle(VexaContext *context) {
    __atomic_store_n(&context->vxf_LifecycleLock, 0, __ATOMIC_RELEASE);
}

/* ---- The guard of one call ------------------------------------------------------------ */

VexaCall::VexaCall(VexaContext *pointer, VexaCallMode mode) {
    context_ = VexaF_ValidateContext(pointer);
    if (context_ == nullptr) {
        status_ = VXERR_INVALID_CONTEXT;
        return;
    }
    status_ = VexaF_EnterEngine(context_);
    if (status_ < 0) return;
    entered_ = true;
    if (mode == VX_CALL_LOCK_DRAIN || mode == VX_CALL_LOCK) {
        status_ = VXHost_ForbidPeers(context_);
        if (status_ < 0) return;
        locked_ = true;
    }
    if (mode != VX_CALL_LOCK && mode != VX_CALL_GATE) {
        status_ = VexaF_ProcessCommandsFromBack(context_);
        if (status_ < 0) return;
    }
    if (mode == VX_CALL_DRAIN_LOCK) {
        status_ = VXHost_ForbidPeers(context_);
        if (status_ < 0) return;
        locked_ = true;
    }
}

VexaCall::~VexaCall() {
    Unlock();
    if (entered_) VexaF_LeaveEngine(context_);
}

int32_t VexaCall::Lock() {
    if (locked_) return 0;
    const int32_t result = VXHost_ForbidPeers(context_);
    if (result < 0) return result;
    locked_ = true;
    return 0;
}

void VexaCall::Unlock() {
    if (!locked_) return;
    locked_ = false;
    VXHost_PermitPeers(context_);
}
