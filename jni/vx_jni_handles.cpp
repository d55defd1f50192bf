/*
 * vx_jni_handles.cpp - the table of context handles of the Java binding.
 *
 * Handle = (serial << kSlotBits) | slot, with the serial in 1..kMaxSerial, so every handle is
 * positive and 0 never names a context. One mutex guards the table; a slot whose context is
 * being deleted is marked closing, so that no new call finds it, and its deleter waits on a
 * condition until the calls already using the context have returned.
 */
#include "vx_jni_handles.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace {
constexpr uint32_t kSlotBits = 12;
constexpr uint32_t kNumSlots = 1u << kSlotBits;
constexpr uint32_t kMaxSerial = (1u << (31 - kSlotBits)) - 1;

struct HandleSlot {
    VexaContext *context; /* null when the slot is free */
    uint32_t serial;      /* serial of the current (or last) occupant */
    uint32_t users;       /* calls in flight on this context */
    bool closing;         /* deleteContext is waiting for the users to leave */
};

std::mutex sHandleLock;
std::condition_variable sHandleIdle;
HandleSlot sHandles[kNumSlots];
uint32_t sNextSlot; /* where the search for a free slot begins */

/* The live slot a handle names, or null. The caller holds sHandleLock. */
HandleSlot *FindSlot(jint handle) {
    if (handle <= 0) return nullptr;
    uint32_t bits = static_cast<uint32_t>(handle);
    HandleSlot &entry = sHandles[bits & (kNumSlots - 1)];
    if (entry.context == nullptr || entry.closing || entry.serial != (bits >> kSlotBits)) {
        return nullptr;
    }
    return &entry;
}
} // namespace

/* Slots are taken in turn rather than lowest first, so a slot comes back only after the others
 * have been used, and a handle repeats only after kNumSlots x kMaxSerial creations. */
jint vxjni::RegisterContext(VexaContext *context) {
    std::lock_guard<std::mutex> guard(sHandleLock);
    for (uint32_t n = 0; n < kNumSlots; n++) {
        uint32_t slot = (sNextSlot + n) & (kNumSlots - 1);
        HandleSlot &entry = sHandles[slot];
        if (entry.context != nullptr || entry.closing) continue;
        sNextSlot = slot + 1;
        entry.serial = (entry.serial >= kMaxSerial) ? 1 : entry.serial + 1;
        entry.context = context;
        entry.users = 0;
        entry.closing = false;
        return static_cast<jint>((entry.serial << kSlotBits) | slot);
    }
    return 0;
}

VexaContext *vxjni::UnregisterContext(jint handle) {
    std::unique_lock<std::mutex> guard(sHandleLock);
    HandleSlot *entry = FindSlot(handle);
    if (entry == nullptr) return nullptr;
    entry->closing = true;
    sHandleIdle.wait(guard, [entry] { return entry->users == 0; });
    VexaContext *context = entry->context;
    entry->context = nullptr;
    entry->closing = false;
    return context;
}

vxjni::ContextRef::ContextRef(jint handle) {
    std::lock_guard<std::mutex> guard(sHandleLock);
    HandleSlot *entry = FindSlot(handle);
    if (entry == nullptr) return;
    entry->users++;
    entry_ = entry;
    context_ = entry->context;
}

vxjni::ContextRef::~ContextRef() {
    if (entry_ == nullptr) return;
    HandleSlot *entry = static_cast<HandleSlot *>(entry_);
    std::lock_guard<std::mutex> guard(sHandleLock);
    if (--entry->users == 0 && entry->closing) sHandleIdle.notify_all();
}
