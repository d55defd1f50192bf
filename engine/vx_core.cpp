/*
 * vx_core.cpp - contexts, the entry of every public call, things and tokens.
 *
 * A context is valid while it is in the process-wide registry of live contexts; validation
 * looks the pointer up there before it reads the magic number, so a deleted or never-issued
 * pointer is rejected without being read. Things live in the context's table of 2048 slots
 * and are named by tokens (slot in bits 0-10, serial in bits 16-23, context number in bits
 * 24-30). The table is guarded by a small spin lock because unit creation runs without the
 * peer lock and client threads may create and delete at the same time.
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

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "vx_host.h"
#include "vx_make.h"
#include "vx_things.h"

namespace {

/* ---- Registry of live contexts --------------------------------------------------- */
struct ContextRegistry {
    std::mutex mutex;
    std::unordered_set<const VexaContext *> live;
};

ContextRegistry &Registry() {
    /* Never destroyed: contexts may be validated or deleted during process exit. */
    static ContextRegistry *registry = new ContextRegistry;
    return *registry;
}

std::atomic<uint32_t> nextContextID{0};

/* ---- Thing table lock -------------------------------------------------------------- */
void LockThings(VexaContext *context) {
    int spins = 0;
    while (__atomic_exchange_n(&context->vxf_ThingLock, 1, __ATOMIC_ACQUIRE) != 0) {
        while (__atomic_load_n(&context->vxf_ThingLock, __ATOMIC_RELAXED) != 0) {
            if (++spins > 64) sched_yield();
        }
    }
}

void UnlockThings(VexaContext *context) {
    __atomic_store_n(&context->vxf_ThingLock, 0, __ATOMIC_RELEASE);
}

struct ThingTableGuard {
    VexaContext *context;
    explicit ThingTableGuard(VexaContext *c) : context(c) { LockThings(context); }
    ~ThingTableGuard() { UnlockThings(context); }
    ThingTableGuard(const ThingTableGuard &) = delete;
    ThingTableGuard &operator=(const ThingTableGuard &) = delete;
};

inline int32_t ContextBits(const VexaContext *context) {
    return static_cast<int32_t>(context->vxc_ID & 0x7Fu);
}

/* Token checks without the lock; the caller holds it. */
int32_t ValidateTokenLocked(VexaContext *context, int32_t token, VexaThing **outThing) {
    if (token <= 0) return VXERR_INVALID_TOKEN;
    /* Bits 11-15 are 0 in every token the engine hands out. */
    if ((token & 0xF800) != 0) return VXERR_INVALID_TOKEN;
    int32_t slot = token & 0x7FF;
    VexaThing *thing = context->vxf_Things[slot];
    if (thing == nullptr) return VXERR_INVALID_TOKEN;
    if (context->vxf_Serials[slot] != ((token >> 16) & 0xFF)) return VXERR_INVALID_TOKEN;
    if (ContextBits(context) != ((token >> 24) & 0x7F)) return VXERR_WRONG_CONTEXT;
    *outThing = thing;
    return 0;
}

} // namespace

void VexaF_LockThings(VexaContext *context) { LockThings(context); }
void VexaF_UnlockThings(VexaContext *context) { UnlockThings(context); }

/* ---- Contexts ---------------------------------------------------------------------- */

VexaContext *VexaF_ValidateContext(VexaContext *pointer) {
    if (pointer == nullptr) return nullptr;
    ContextRegistry &registry = Registry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    if (registry.live.count(pointer) == 0) return nullptr;
    if (pointer->vxc_Magic != VX_CONTEXT_MAGIC) return nullptr;
    return pointer;
}

extern "C" VEXA_API VexaContext *Vexa_CreateContext(void) {
    VexaContext *context = static_cast<VexaContext *>(std::calloc(1, sizeof(VexaContext)));
    if (context == nullptr) return nullptr;
    context->vxc_Magic = VX_CONTEXT_MAGIC;
    ContextRegistry &registry = Registry();
    try {
        std::lock_guard<std::mutex> lock(registry.mutex);
        /* Tokens carry the low 7 bits of the context's number: while fewer than 128 contexts
         * are alive, take the next number whose low bits no live context uses, so that no
         * context accepts another's tokens. */
        bool used[128] = {};
        for (const VexaContext *live : registry.live) used[live->vxc_ID & 0x7Fu] = true;
        uint32_t id = nextContextID.fetch_add(1, std::memory_order_relaxed);
        for (int n = 0; n < 128 && used[id & 0x7Fu]; n++)
            id = nextContextID.fetch_add(1, std::memory_order_relaxed);
        context->vxc_ID = id;
        registry.live.insert(context);
    } catch (...) {
        std::free(context);
        return nullptr;
    }
    return context;
}

extern "C" VEXA_API void Vexa_DeleteContext(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return;
    /* The engine goes down completely, however many initialisations are unbalanced (the last
     * termination also stops every start). A termination that returns a posted back-end error
     * does nothing else, so it is repeated; the error surfaces only once. */
    for (int attempt = 0; attempt < 3; attempt++) {
        {
            VexaLifecycleLock lifecycle(context);
            if (context->vxf_InitCount == 0) break;
            context->vxf_InitCount = 1;
        }
        (void)Vexa_Terminate(context);
    }
    ContextRegistry &registry = Registry();
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        /* Another thread deleting the same context at the same time frees it, not us. */
        if (registry.live.erase(context) == 0) return;
        context->vxc_Magic = 0;
    }
    std::free(context);
}

/* ==== The entry of public calls ===================================================== */

namespace {
constexpr int32_t kGateShut = 0;
constexpr int32_t kGateOpen = 1;

/* Spins a little, then yields: the waits below are on other client threads' calls. */
inline void Pause(int &spins) {
    if (++spins > 64) sched_yield();
}
} // namespace

/* ---- The gate ----------------------------------------------------------------------- */

namespace {
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
} // namespace

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

/* ---- Tokens ------------------------------------------------------------------------ */

int32_t VexaF_ValidateToken(VexaContext *context, int32_t token, VexaThing **outThing) {
    *outThing = nullptr;
    ThingTableGuard guard(context);
    return ValidateTokenLocked(context, token, outThing);
}

int32_t VexaF_ValidateThing(VexaContext *context, int32_t token, uint8_t kind,
                            VexaThing **outThing) {
    int32_t result = VexaF_ValidateToken(context, token, outThing);
    if (result < 0) return result;
    if ((*outThing)->vxt_Type != kind) return VXERR_INVALID_TOKEN_TYPE;
    return 0;
}

VexaThing *VexaF_ThingFromToken(VexaContext *context, int32_t token) {
    if (token <= 0 || (token & 0xF800) != 0) return nullptr;
    ThingTableGuard guard(context);
    return context->vxf_Things[token & 0x7FF];
}

/* ---- Things ------------------------------------------------------------------------ */

int32_t VexaF_CreateThing(VexaContext *context, size_t size, uint8_t kind) {
    ThingTableGuard guard(context);
    int32_t slot = 0;
    while (slot < VX_MAX_THINGS && context->vxf_Things[slot] != nullptr) slot++;
    if (slot == VX_MAX_THINGS) return VXERR_TOO_MANY_TOKENS;

    if (size < sizeof(VexaThing)) size = sizeof(VexaThing);
    VexaThing *thing =
        static_cast<VexaThing *>(VexaF_AllocateMemory(context, size, "VexaF_CreateThing"));
    if (thing == nullptr) return VXERR_NO_MEMORY;
    DLL_InitNode(&thing->vxt_Node);
    thing->vxt_RefCount = 1;
    thing->vxt_ReleaseCount = 0;
    thing->vxt_Outstanding = 1;
    thing->vxt_Type = kind;

    int32_t serial = ((context->vxf_Serials[slot] & 0xFF) + 1) % 256;
    if (serial == 0) serial = 1;
    context->vxf_Serials[slot] = static_cast<uint16_t>(serial);
    int32_t token = (ContextBits(context) << 24) | (serial << 16) | slot;
    thing->vxt_Token = token;

    vx_store(context->vxf_ThingCount, vx_load(context->vxf_ThingCount) + 1);
    context->vxf_Things[slot] = thing;
    return token;
}

int32_t VexaF_DeleteThing(VexaContext *context, VexaThing *thing) {
    /* The table stays locked until the release is on its way, so that a failed send can put
     * the thing back into its slot before any creator could take it. */
    ThingTableGuard guard(context);
    int32_t token = thing->vxt_Token;
    int32_t slot = token & 0x7FF;
    bool inSlot = token != 0 && context->vxf_Things[slot] == thing;
    if (inSlot) context->vxf_Things[slot] = nullptr;
    thing->vxt_Token = 0;
    int32_t result = VexaF_SendToBack(context, F2B_UNREFERENCE, thing);
    if (result < 0) {
        /* The back end never got the release: the thing stays alive and its token valid. */
        thing->vxt_Token = token;
        if (inSlot) context->vxf_Things[slot] = thing;
    }
    return result;
}

int32_t VexaF_FreeThing(VexaContext *context, VexaThing *thing) {
    int32_t result = 0;
    if (thing->vxt_Type == VXT_UNIT) {
        result = VexaF_ReleaseUnit(context, reinterpret_cast<VexaUnit *>(thing));
    } else {
        VexaDataThing *data = reinterpret_cast<VexaDataThing *>(thing);
        VexaF_FreeMemory(context, data->vxt_Data);
        data->vxt_Data = nullptr;
    }
    {
        ThingTableGuard guard(context);
        int32_t token = thing->vxt_Token;
        if (token != 0 && context->vxf_Things[token & 0x7FF] == thing) {
            context->vxf_Things[token & 0x7FF] = nullptr;
        }
        vx_store(context->vxf_ThingCount, vx_load(context->vxf_ThingCount) - 1);
    }
    VexaF_FreeMemory(context, thing);
    return result;
}

void VexaF_WaitForBatchBoundary(VexaContext *context) {
    /* A read-modify-write of the serial (adding nothing) pairs with the batch's own at its
     * start: either the batch's comes later and then sees the stores made before this call,
     * or this call sees the batch's odd serial and waits for its end. */
    const uint32_t serial = __atomic_fetch_add(&context->vxb_BatchSerial, 0u, __ATOMIC_ACQ_REL);
    if ((serial & 1u) == 0) return;
    int spins = 0;
    while (__atomic_load_n(&context->vxb_BatchSerial, __ATOMIC_ACQUIRE) == serial) {
        if (++spins > 64) sched_yield();
    }
}

/* ---- References -------------------------------------------------------------------- */
/* vxt_Outstanding is vxt_RefCount - vxt_ReleaseCount, changed atomically by both sides;
 * the side whose change brings it to 0 frees the thing, so it is freed exactly once even
 * when the front end's decrement and the back end's release meet. */

void VexaF_AddReference(VexaThing *thing) {
    __atomic_add_fetch(&thing->vxt_RefCount, 1, __ATOMIC_RELAXED);
    __atomic_add_fetch(&thing->vxt_Outstanding, 1, __ATOMIC_RELAXED);
}

int32_t VexaF_DecrementReference(VexaContext *context, VexaThing *thing) {
    __atomic_sub_fetch(&thing->vxt_RefCount, 1, __ATOMIC_RELAXED);
    if (__atomic_sub_fetch(&thing->vxt_Outstanding, 1, __ATOMIC_ACQ_REL) <= 0) {
        (void)VexaF_FreeThing(context, thing);
    }
    return 0;
}

/* ---- Pooled nodes ------------------------------------------------------------------ */

void *VexaF_AllocateQueuedNode(VexaContext *context, DLLNode *pool, size_t size) {
    DLLNode *node = DLL_RemoveFirst(pool);
    if (node != nullptr) return node;
    if (size < sizeof(DLLNode)) size = sizeof(DLLNode);
    node = static_cast<DLLNode *>(VexaF_AllocateMemory(context, size, "VexaF_AllocateQueuedNode"));
    if (node == nullptr) return nullptr;
    DLL_InitNode(node);
    return node;
}

/* ---- Public calls ------------------------------------------------------------------ */

extern "C" VEXA_API int32_t Vexa_Delete(VexaContext *context, int32_t token) {
    VexaCall call(context, VX_CALL_DRAIN_LOCK);
    if (call.status() < 0) return call.status();
    VexaThing *thing = nullptr;
    int32_t result = VexaF_ValidateToken(call.context(), token, &thing);
    if (result == 0) result = VexaF_DeleteThing(call.context(), thing);
    return result;
}

extern "C" VEXA_API int32_t Vexa_GetObjectCount(VexaContext *context) {
    if (VexaF_ValidateContext(context) == nullptr) return VXERR_INVALID_CONTEXT;
    /* Things the back end has let go of are freed first, so that the count is current. */
    {
        VexaCall call(context, VX_CALL_DRAIN);
    }
    return vx_load(context->vxf_ThingCount);
}
