/*
 * fuzz_support.h - what the fuzz targets share: the reader of the input, buffers of exact
 * size, and the checks of results against the error table.
 */
#ifndef VELTO_FUZZ_SUPPORT_H
#define VELTO_FUZZ_SUPPORT_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "velto.h"
#include "vx_catalog.h"
#include "vx_unit.h"

namespace velto_fuzz {

/* Byte reader; an exhausted input reads as zeros. */
class Input {
  public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v |= static_cast<uint32_t>(U8()) << (8 * i);
        return v;
    }
    uint64_t U64() { return U32() | (static_cast<uint64_t>(U32()) << 32); }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

/* A buffer handed to the engine: a heap block of exactly the number of values the call's
 * contract requires, so that AddressSanitizer reports the first value beyond it. It is filled
 * by copying a pattern in doubling steps rather than value by value: buffers of thousands of
 * values cost little, even with every loop of the targets instrumented for coverage. */
template <typename T> class Buffer {
  public:
    explicit Buffer(size_t n) : data_(new T[n]), size_(n) {}
    Buffer(size_t n, const T *pattern, size_t patternSize) : Buffer(n) { Fill(pattern, patternSize); }
    Buffer(size_t n, T value) : Buffer(n) { Fill(&value, 1); }
    ~Buffer() { delete[] data_; }
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    T *data() { return data_; }
    size_t size() const { return size_; }

    void Fill(const T *pattern, size_t patternSize) {
        if (size_ == 0 || patternSize == 0) return;
        size_t done = std::min(patternSize, size_);
        std::memcpy(data_, pattern, done * sizeof(T));
        while (done < size_) {
            const size_t step = std::min(done, size_ - done);
            std::memcpy(data_ + done, data_, step * sizeof(T));
            done += step;
        }
    }

  private:
    T *data_;
    size_t size_;
};

[[noreturn]] inline void Fail(const char *what, int64_t result) {
    std::fprintf(stderr, "velto fuzz target: %s returned %lld\n", what,
                 static_cast<long long>(result));
    std::fflush(stderr);
    std::abort();
}

/* VELTO_FUZZ_TRACE=1 prints every checked call with its result (for turning a finding into a
 * regression test). */
inline bool Tracing() {
    static const bool tracing = std::getenv("VELTO_FUZZ_TRACE") != nullptr;
    return tracing;
}

inline void Trace(const char *what, int64_t r) {
    if (Tracing()) std::fprintf(stderr, "  %s -> %lld\n", what, static_cast<long long>(r));
}

inline bool IsErrorCode(int32_t r) {
    /* -77 is not in the table; -80 (the peer lock re-entered), -70, -69 and -67 would mean
     * a broken engine, not a refused request. */
    if (r < VXERR_INVALID_TOKEN_TYPE || r > VXERR_INVALID_DEVICE) return false;
    return r != -77 && r != VXERR_HOST_MUTEX && r != VXERR_F2B_INTERNAL &&
           r != VXERR_B2F_INTERNAL && r != VXERR_LIST_INTERNAL;
}

/* Result of a call that returns 0, a warning or an error. */
inline int32_t Code(const char *what, int32_t r) {
    Trace(what, r);
    if (r == 0 || r == VXWARN_ALREADY_CONNECTED || r == VXWARN_NOT_CONNECTED || IsErrorCode(r))
        return r;
    Fail(what, r);
}

/* Result of a call that returns a value >= 0 (a token, a count) or an error. */
inline int32_t Value(const char *what, int32_t r) {
    Trace(what, r);
    if (r >= 0 || IsErrorCode(r)) return r;
    Fail(what, r);
}

/* Unit functions come in builds for wider vectors (base, AVX2, AVX-512). Each input runs on
 * one of them, picked from the sum of its bytes (so that no byte of the input format moves),
 * up to the widest the processor runs; the unit types are loaded again for it. */
inline void UseBuildFor(const uint8_t *data, size_t size) {
    static int widest = -1;
    if (widest < 0) {
        vx_simd_limit() = VX_SIMD_AVX512;
        widest = vx_simd_level();
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < size; i++) sum += data[i];
    const int level = std::min(static_cast<int>(sum % 3), widest);
    if (level == vx_simd_limit()) return;
    vx_simd_limit() = level;
#define VX_FUZZ_RELOAD(Name) VXU_Load##Name();
    VX_UNIT_CATALOGUE(VX_FUZZ_RELOAD)
#undef VX_FUZZ_RELOAD
}

} // namespace velto_fuzz

#endif /* VELTO_FUZZ_SUPPORT_H */
