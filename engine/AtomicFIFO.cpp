/*
 * AtomicFIFO.cpp - a single-producer single-consumer ring of equal-sized entries.
 *
 * The indices run over twice the capacity, which tells a full ring from an empty one without
 * a spare entry. Each index has one writer: the producer publishes an entry with a release
 * store of writeIndex, the consumer frees one with a release store of readIndex, and each
 * side reads the other's index with an acquire load before touching the entry.
 */
#include "vx_base.h"

namespace {
inline uint32_t IndexMask(const AtomicFIFO *fifo) { return 2u * fifo->numEntries - 1u; }

inline void *EntryAt(const AtomicFIFO *fifo, uint32_t index) {
    uint32_t position = index & (fifo->numEntries - 1u);
    return static_cast<uint8_t *>(fifo->entries) +
           static_cast<size_t>(position) * fifo->entrySize;
}

inline bool IsFull(const AtomicFIFO *fifo, uint32_t writeIndex, uint32_t readIndex) {
    return ((writeIndex - readIndex) & IndexMask(fifo)) == fifo->numEntries;
}
} // namespace

int32_t AFIFO_Init(AtomicFIFO *fifo, uint32_t numEntries, uint32_t entrySize, void *entries) {
    if ((numEntries & (numEntries - 1u)) != 0) return -1;
    fifo->numEntries = numEntries;
    fifo->entrySize = entrySize;
    fifo->entries = entries;
    vx_store_release(fifo->writeIndex, 0u);
    vx_store_release(fifo->readIndex, 0u);
    return 0;
}

int AFIFO_IsFull(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load_acquire(fifo->writeIndex);
    uint32_t readIndex = vx_load_acquire(fifo->readIndex);
    return IsFull(fifo, writeIndex, readIndex) ? 1 : 0;
}

int AFIFO_IsEmpty(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load_acquire(fifo->writeIndex);
    uint32_t readIndex = vx_load_acquire(fifo->readIndex);
    return writeIndex == readIndex ? 1 : 0;
}

void *AFIFO_NextWritable(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load(fifo->writeIndex);
    uint32_t readIndex = vx_load_acquire(fifo->readIndex);
    if (IsFull(fifo, writeIndex, readIndex) || fifo->entries == nullptr) return nullptr;
    return EntryAt(fifo, writeIndex);
}

int32_t AFIFO_AdvanceWriter(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load(fifo->writeIndex);
    uint32_t readIndex = vx_load_acquire(fifo->readIndex);
    if (IsFull(fifo, writeIndex, readIndex)) return -1;
    vx_store_release(fifo->writeIndex, (writeIndex + 1u) & IndexMask(fifo));
    return 0;
}

void *AFIFO_NextReadable(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load_acquire(fifo->writeIndex);
    uint32_t readIndex = vx_load(fifo->readIndex);
    if (writeIndex == readIndex || fifo->entries == nullptr) return nullptr;
    return EntryAt(fifo, readIndex);
}

int32_t AFIFO_AdvanceReader(AtomicFIFO *fifo) {
    uint32_t writeIndex = vx_load_acquire(fifo->writeIndex);
    uint32_t readIndex = vx_load(fifo->readIndex);
    if (writeIndex == readIndex) return -1;
    vx_store_release(fifo->readIndex, (readIndex + 1u) & IndexMask(fifo));
    return 0;
}
