/*
 * vx_tools.cpp - counted allocation, the process-wide event log and the memory dump.
 */
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "vx_context.h"

/* ---- Counted allocation ------------------------------------------------------------ */
/* Every engine block comes from here, so vxf_AllocCount is the number still allocated. The
 * count is changed atomically: client threads may create things at the same time. */

namespace {
/* The armed hook: numbers the attempt and tells whether it is the one to refuse. The numbers
 * are unique, so exactly one attempt meets the armed number, whichever threads allocate. */
bool RefuseAttempt(VexaContext *context, int64_t failAt) {
    const int64_t attempt = __atomic_add_fetch(&context->vxf_AllocAttempts, 1, __ATOMIC_RELAXED);
    return attempt == failAt;
}
} // namespace

void *VexaF_AllocateMemory(VexaContext *context, size_t size, const char * /*tag*/) {
    /* Disarmed (the normal case), the hook costs one plain load and a branch. */
    const int64_t failAt = __atomic_load_n(&context->vxf_AllocFailAt, __ATOMIC_RELAXED);
    if (__builtin_expect(failAt != 0, 0) && RefuseAttempt(context, failAt)) return nullptr;
    void *block = std::calloc(1, size == 0 ? 1 : size);
    if (block == nullptr) return nullptr;
    __atomic_add_fetch(&context->vxf_AllocCount, 1, __ATOMIC_RELAXED);
    return block;
}

void VexaF_FreeMemory(VexaContext *context, void *block) {
    if (block == nullptr) return;
    std::free(block);
    __atomic_sub_fetch(&context->vxf_AllocCount, 1, __ATOMIC_RELAXED);
}

void VexaF_FailAllocation(VexaContext *context, int64_t n) {
    int64_t failAt = 0;
    if (n > 0) {
        const int64_t attempts = __atomic_load_n(&context->vxf_AllocAttempts, __ATOMIC_RELAXED);
        failAt = n > INT64_MAX - attempts ? INT64_MAX : attempts + n;
    }
    __atomic_store_n(&context->vxf_AllocFailAt, failAt, __ATOMIC_RELAXED);
}

int64_t VexaF_AllocationAttempts(const VexaContext *context) {
    return __atomic_load_n(&context->vxf_AllocAttempts, __ATOMIC_RELAXED);
}

/* ---- Memory dump ----------------------------------------------------------------- */

void VexaF_DumpMemory(const void *address, int32_t numBytes) {
    if (address == nullptr) {
        std::printf("VexaF_DumpMemory: attempt to dump NULL pointer.\n");
        std::fflush(stdout);
        return;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>(address);
    for (int32_t lineStart = 0; lineStart < numBytes; lineStart += 16) {
        std::printf("    ");
        int32_t lineEnd = lineStart + 16 < numBytes ? lineStart + 16 : numBytes;
        for (int32_t i = lineStart; i < lineEnd; i++) std::printf("%2x ", bytes[i]);
        std::printf("\n");
        std::fflush(stdout);
    }
}

/* ---- Event log ------------------------------------------------------------------- */
/* One log for the whole process. Code under investigation may log from the audio thread
 * while a client thread logs or dumps, so nothing here takes a lock: a writer claims its
 * record index with a compare-and-swap, and each record works as a sequence lock: the
 * writer marks it empty, stores the values and then publishes the sequence number;
 * a reader takes a record only when it reads the same sequence before and after the values. */

namespace {
constexpr int32_t kLogSize = 1024;
constexpr int32_t kBusy = -2; /* sequence of a record being written */

struct EventRecord {
    int32_t sequence; /* -1: empty; -2: being written */
    int32_t value1;
    int32_t value2;
    int32_t value3;
    float value4;
};

uint32_t gWatchFlags = 0;
int32_t gWatchIndex = 0;
int32_t gWatchCount = 0;
/* Every record starts empty, also before the first clear. */
constexpr std::array<EventRecord, kLogSize> EmptyLog() {
    std::array<EventRecord, kLogSize> log{};
    for (EventRecord &record : log) record.sequence = -1;
    return log;
}
std::array<EventRecord, kLogSize> eventLog = EmptyLog();

/* The record this event goes to, or -1 when the log is full and not circular. */
int32_t ClaimRecord() {
    int32_t index = vx_load(gWatchIndex);
    for (;;) {
        int32_t record = index;
        if (record > kLogSize - 1) {
            if ((vx_load(gWatchFlags) & 1u) == 0) return -1;
            record = 0;
        }
        if (__atomic_compare_exchange_n(&gWatchIndex, &index, record + 1, false,
                                        __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
            return record;
        }
    }
}

bool ReadRecord(const EventRecord &record, EventRecord &copy) {
    int32_t sequence = vx_load_acquire(record.sequence);
    if (sequence < 0) return false;
    /* Acquire loads: the second look at the sequence cannot move before them, and a value
     * from a writer that started meanwhile makes that writer's -1 visible. */
    copy.value1 = vx_load_acquire(record.value1);
    copy.value2 = vx_load_acquire(record.value2);
    copy.value3 = vx_load_acquire(record.value3);
    __atomic_load(&record.value4, &copy.value4, __ATOMIC_ACQUIRE);
    if (vx_load(record.sequence) != sequence) return false; /* rewritten meanwhile */
    copy.sequence = sequence;
    return true;
}
} // namespace

void VXLL_ClearEventLog(uint32_t flags) {
    vx_store(gWatchFlags, flags);
    vx_store(gWatchCount, 0);
    for (EventRecord &record : eventLog) vx_store_release(record.sequence, -1);
    vx_store(gWatchIndex, 0);
}

void VexaS_LogEvent(int32_t value1, int32_t value2, int32_t value3, float value4) {
    int32_t sequence = __atomic_fetch_add(&gWatchCount, 1, __ATOMIC_RELAXED);
    int32_t index = ClaimRecord();
    if (index < 0) return;
    EventRecord &record = eventLog[index];
    /* In a circular log a writer may lap a slower one on the same record: whoever marks the
     * record busy (-2) owns it, and an event that finds it busy is counted but not kept. */
    int32_t previous = vx_load(record.sequence);
    if (previous == kBusy ||
        !__atomic_compare_exchange_n(&record.sequence, &previous, kBusy, false,
                                     __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
        return;
    }
    /* Release stores: the record reads as busy before any value changes. */
    vx_store_release(record.value1, value1);
    vx_store_release(record.value2, value2);
    vx_store_release(record.value3, value3);
    __atomic_store(&record.value4, &value4, __ATOMIC_RELEASE);
    vx_store_release(record.sequence, sequence);
}

void VexaS_DumpEventLog() {
    std::printf("Dump Logged Events\n");
    std::fflush(stdout);
    for (const EventRecord &record : eventLog) {
        EventRecord copy;
        if (!ReadRecord(record, copy)) continue;
        std::printf("Event: %d : v1 = %4d, v2 = %4d, v3 = %4d, v4 = %g\n", copy.sequence,
                    copy.value1, copy.value2, copy.value3, static_cast<double>(copy.value4));
        std::fflush(stdout);
    }
    std::printf("gWatchCount = %d\n", vx_load(gWatchCount));
    std::fflush(stdout);
}
