/*
 * vx_base.h - the bottom layer: atomic access to shared words, the list, FIFO and single-link
 * containers, the counted allocator and event log, and the engine's fixed numbers. Nothing
 * here knows a thread: both sides use it.
 */
#ifndef VX_BASE_H
#define VX_BASE_H

#include <cstddef>
#include <cstdint>

#include "velto.h"
#include "vx_version.h"

struct VexaContext;

/* ---- Fixed numbers ---------------------------------------------------------------- */
constexpr int32_t VX_FRAMES_PER_BLOCK = 8;
constexpr int32_t VX_BLOCKS_PER_TICK = 8;
constexpr int32_t VX_FRAMES_PER_TICK = VX_FRAMES_PER_BLOCK * VX_BLOCKS_PER_TICK; /* 64 */
/* pi rounded to a 32-bit float (3.1415927410125732), the pi of every formula that names it. */
constexpr float VX_PI_F = 3.14159265358979323846f;

/* The wider-vector builds of unit functions (AVX2, AVX-512) exist on x86 outside Windows. */
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define VX_X86_VECTOR_BUILDS 1
#else
#define VX_X86_VECTOR_BUILDS 0
#endif

/* ---- Relaxed and ordered access to fields shared by the two sides ----------------- */
/* The front end and the back end meet in a few single-word fields (tick count, port
 * connection pointers, signal types, unit state). They are plain fields so that records
 * keep their layout; these helpers read and write them as atomic words. */
template <typename T> inline T vx_load(const T &field) {
    T value;
    __atomic_load(&field, &value, __ATOMIC_RELAXED);
    return value;
}
template <typename T> inline void vx_store(T &field, T value) {
    __atomic_store(&field, &value, __ATOMIC_RELAXED);
}
template <typename T> inline T vx_load_acquire(const T &field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}
template <typename T> inline void vx_store_release(T &field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}
inline float vx_load_float(const float &field) {
    float value;
    __atomic_load(&field, &value, __ATOMIC_RELAXED);
    return value;
}
inline void vx_store_float(float &field, float value) {
    __atomic_store(&field, &value, __ATOMIC_RELAXED);
}

/* ---- Doubly linked list (engine/dbl_list) ------------------------------------------ */
struct DLLNode {
    DLLNode *next;
    DLLNode *previous;
};

/* Records searched by name or number carry these two words after the node. */
struct DLLNamedNode {
    DLLNode node;
    const char *name;
    int32_t id;
};

void DLL_InitNode(DLLNode *node);
void DLL_InitList(DLLNode *list);
int DLL_IsEmpty(const DLLNode *list);
void DLL_InsertAfter(DLLNode *node, DLLNode *newNode);
void DLL_InsertBefore(DLLNode *node, DLLNode *newNode);
void DLL_Remove(DLLNode *node);
DLLNode *DLL_RemoveFirst(DLLNode *list);
void DLL_AddListToTail(DLLNode *list, DLLNode *other);
int32_t DLL_CountNodes(const DLLNode *list);
int DLL_FindNodeByName(DLLNode *list, const char *name, DLLNode **outNode);
int DLL_FindNodeByID(DLLNode *list, int32_t id, DLLNode **outNode);
int32_t DLL_CountNodesByName(DLLNode *list, const char *name);

/* ---- Single-producer single-consumer FIFO (engine/AtomicFIFO) ----------------------- */
struct AtomicFIFO {
    uint32_t numEntries;
    uint32_t writeIndex;
    uint32_t readIndex;
    void *entries;
    uint32_t entrySize;
};

int32_t AFIFO_Init(AtomicFIFO *fifo, uint32_t numEntries, uint32_t entrySize, void *entries);
int AFIFO_IsFull(AtomicFIFO *fifo);
int AFIFO_IsEmpty(AtomicFIFO *fifo);
void *AFIFO_NextWritable(AtomicFIFO *fifo);
int32_t AFIFO_AdvanceWriter(AtomicFIFO *fifo);
void *AFIFO_NextReadable(AtomicFIFO *fifo);
int32_t AFIFO_AdvanceReader(AtomicFIFO *fifo);

/* ---- Single-producer single-consumer linked list with a sentinel (engine/atomic_slink) */
/* A node on the list uses its first word as the link and its second word as its return
 * kind (the two words of DLLNode). */
struct AtomicSLink {
    DLLNode *head; /* written only by the consumer */
    DLLNode *tail; /* written only by the producer */
};

int32_t ASLINK_Init(AtomicSLink *list, DLLNode *sentinel);
void ASLINK_AddNode(AtomicSLink *list, DLLNode *node);
DLLNode *ASLINK_RemoveNode(AtomicSLink *list);
DLLNode *ASLINK_NextReadable(AtomicSLink *list);

/* ---- Counted allocation, event log, memory dump (engine/vx_tools) ------------------ */
/* Zero-filled blocks counted in the context's vxf_AllocCount. Client threads only. */
void *VexaF_AllocateMemory(VexaContext *context, size_t size, const char *tag);
void VexaF_FreeMemory(VexaContext *context, void *block);
/* A test hook. Armed, the context numbers its allocation attempts, refused ones included, and
 * refuses the n-th attempt from now on (n >= 1) as if memory had run out; the others go on.
 * VX_COUNT_ALLOCATIONS arms the count alone; n <= 0 disarms (the count stops, and stays). */
constexpr int64_t VX_COUNT_ALLOCATIONS = INT64_MAX;
void VexaF_FailAllocation(VexaContext *context, int64_t n);
/* The number of allocation attempts this context made while the hook was armed. */
int64_t VexaF_AllocationAttempts(const VexaContext *context);
void VexaF_DumpMemory(const void *address, int32_t numBytes);
void VXLL_ClearEventLog(uint32_t flags);
void VexaS_LogEvent(int32_t value1, int32_t value2, int32_t value3, float value4);
void VexaS_DumpEventLog();

#endif /* VX_BASE_H */
