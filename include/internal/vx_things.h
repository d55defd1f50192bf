/*
 * vx_things.h - the front end's frame, on client threads: contexts, the entry of every public
 * call (engine/vx_core.cpp), things, tokens and references, the lifecycle and the waits for
 * ticks (engine/vx_lifecycle.cpp), and the debug reports (engine/vx_debug.cpp).
 */
#ifndef VX_THINGS_H
#define VX_THINGS_H

#include "vx_context.h"

/* ---- Contexts ------------------------------------------------------------------------ */
VexaContext *VexaF_ValidateContext(VexaContext *pointer);

/* ---- The entry of public calls ------------------------------------------------------- */
/* A public call that works on the engine opens with a VexaCall: it validates the context
 * (-63), enters the gate (-83 when the engine is not initialised or is being terminated),
 * drains what the back end returned (a posted back-end error is the call's result, once) and
 * takes the peer lock, in the order the mode names; everything taken is given back when the
 * guard goes out of scope, on every path. */
enum VexaCallMode : uint8_t {
    VX_CALL_DRAIN_LOCK, /* drain, then take the peer lock: most calls */
    VX_CALL_LOCK_DRAIN, /* take the peer lock, then drain */
    VX_CALL_LOCK,       /* the peer lock without draining */
    VX_CALL_DRAIN,      /* drain without the peer lock */
    VX_CALL_GATE,       /* neither: the call is only counted against termination */
};
class VexaCall {
  public:
    VexaCall(VexaContext *context, VexaCallMode mode);
    ~VexaCall();
    VexaCall(const VexaCall &) = delete;
    VexaCall &operator=(const VexaCall &) = delete;
    /* 0 when the call may go on, otherwise the code it returns. */
    int32_t status() const { return status_; }
    /* The validated context (null when status() is -63). */
    VexaContext *context() const { return context_; }
    /* Takes the peer lock later in the call (0 or the lock's error), or gives it back early. */
    int32_t Lock();
    void Unlock();

  private:
    VexaContext *context_ = nullptr;
    int32_t status_ = 0;
    bool entered_ = false;
    bool locked_ = false;
};
/* The gate that the last termination shuts, and the lock that serialises initialise,
 * terminate, start and stop of one context. */
void VexaF_OpenGate(VexaContext *context);
void VexaF_ShutGate(VexaContext *context);
bool VexaF_GateOpen(const VexaContext *context);
void VexaF_WaitForCallsToLeave(VexaContext *context);
void VexaF_LockLifecycle(VexaContext *context);
void VexaF_UnlockLifecycle(VexaContext *context);
struct VexaLifecycleLock {
    VexaContext *context;
    explicit VexaLifecycleLock(VexaContext *c) : context(c) { VexaF_LockLifecycle(c); }
    ~VexaLifecycleLock() { VexaF_UnlockLifecycle(context); }
    VexaLifecycleLock(const VexaLifecycleLock &) = delete;
    VexaLifecycleLock &operator=(const VexaLifecycleLock &) = delete;
};

/* ---- Things, tokens and references --------------------------------------------------- */
int32_t VexaF_ValidateToken(VexaContext *context, int32_t token, VexaThing **outThing);
int32_t VexaF_ValidateThing(VexaContext *context, int32_t token, uint8_t kind,
                            VexaThing **outThing);
int32_t VexaF_CreateThing(VexaContext *context, size_t size, uint8_t kind);
int32_t VexaF_DeleteThing(VexaContext *context, VexaThing *thing);
/* Frees a thing whose last hold is gone: a unit through the unit model's release routine
 * (VexaF_ReleaseUnit), a data thing with its block. */
int32_t VexaF_FreeThing(VexaContext *context, VexaThing *thing);
int32_t VexaF_DecrementReference(VexaContext *context, VexaThing *thing);
void VexaF_AddReference(VexaThing *thing);
void *VexaF_AllocateQueuedNode(VexaContext *context, DLLNode *pool, size_t size);
/* The thing in a slot (for the token just created by VexaF_CreateThing). */
VexaThing *VexaF_ThingFromToken(VexaContext *context, int32_t token);
/* The thing table's lock (vxf_ThingLock), for code that walks vxf_Things while client
 * threads may create things. Not re-entrant; never held while calling back into vx_core. */
void VexaF_LockThings(VexaContext *context);
void VexaF_UnlockThings(VexaContext *context);
/* Returns once no batch that started before the call is still running (vxb_BatchSerial). */
void VexaF_WaitForBatchBoundary(VexaContext *context);

/* ---- Lifecycle and waits ----------------------------------------------------------- */
/* Waits for a tick (computes up to it without a device). takeBack: a public call's wait, which
 * also takes back what the audio thread returned while it sleeps (never inside a call that
 * holds the thing table's lock). */
int32_t VexaF_SleepUntilTick(VexaContext *context, int32_t tick, bool takeBack = false);
/* Computes batches on the calling thread up to a tick; the caller holds the peer lock. */
int32_t VexaS_CalcUntilTick(VexaContext *context, int32_t tick);

/* ---- Debug reports ----------------------------------------------------------------- */
void VexaF_ReportThings(VexaContext *context);
void VexaS_DisplaySignal(float value);
/* Prints the text trace of one batch (64 lines) from the batch's output buffer; the thread
 * that computed the batch prints it. */
void VexaB_PrintTrace(VexaContext *context, const float *outputBuffer);

#endif /* VX_THINGS_H */
