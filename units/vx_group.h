/*
 * vx_group.h - building a type's group function: one block of up to 8 units of the type
 * computed side by side, unit k in vector lane k, with exactly the operations of the type's
 * unit function in the same order in every lane, so that every output bit is the same.
 *
 * The lanes beyond the group's count repeat its last unit, so every vector is full; their
 * results are never stored. Values cross between a unit's 8 frames and the 8 lanes of a frame
 * by transposition (vx_lanes_load, vx_lanes_store).
 */
#ifndef VX_GROUP_H
#define VX_GROUP_H

#include "vx_unit.h"

/* Loops over the 8 lanes or the 8 frames of a group, unrolled so that the vectors stay in
 * registers. */
#define VX_GROUP_UNROLL _Pragma("GCC unroll 8")

/* The units of a group as their instance structs, 8 lanes. */
template <typename T> struct VxLanes {
    T *self[8];
    int32_t count;
    VX_ALWAYS_INLINE VxLanes(VexaUnit *const *units, int32_t n) : count(n) {
        for (int k = 0; k < 8; k++) self[k] = vx_self<T>(units[k < n ? k : n - 1]);
    }
    T *operator[](int k) const { return self[k]; }
};

/* Two-vector shuffles of 8 floats, in the compiler's own form (clang for the fuzzer's build). */
#if defined(__clang__)
#define VX_SHUFFLE8(a, b, i0, i1, i2, i3, i4, i5, i6, i7)                                   \
    __builtin_shufflevector(a, b, i0, i1, i2, i3, i4, i5, i6, i7)
#else
#define VX_SHUFFLE8(a, b, i0, i1, i2, i3, i4, i5, i6, i7)                                   \
    __builtin_shuffle(a, b, VxBlockI{i0, i1, i2, i3, i4, i5, i6, i7})
#endif

/* out[i][k] = in[k][i] for an 8 x 8 block of floats, in three rounds of pairwise shuffles
 * (interleave, pair, halves). The shuffles move values and compute nothing. */
VX_ALWAYS_INLINE void vx_transpose8(const VxBlockF in[8], VxBlockF out[8]) {
    VxBlockF t[8], u[8];
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k += 2) {
        t[k] = VX_SHUFFLE8(in[k], in[k + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[k + 1] = VX_SHUFFLE8(in[k], in[k + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k += 4) {
        u[k] = VX_SHUFFLE8(t[k], t[k + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        u[k + 1] = VX_SHUFFLE8(t[k], t[k + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        u[k + 2] = VX_SHUFFLE8(t[k + 1], t[k + 3], 0, 1, 8, 9, 4, 5, 12, 13);
        u[k + 3] = VX_SHUFFLE8(t[k + 1], t[k + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    VX_GROUP_UNROLL
    for (int k = 0; k < 4; k++) {
        out[k] = VX_SHUFFLE8(u[k], u[k + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        out[k + 4] = VX_SHUFFLE8(u[k], u[k + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

/* frames[i][k] = values[k][i]: frame i of every lane. */
VX_ALWAYS_INLINE void vx_lanes_load(const float *const values[8], VxBlockF frames[8]) {
    VxBlockF rows[8];
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k++) rows[k] = vx_load_block(values[k]);
    vx_transpose8(rows, frames);
}

/* values[k][i] = frames[i][k] for the group's own lanes. */
VX_ALWAYS_INLINE void vx_lanes_store(const VxBlockF frames[8], float *const values[8],
                                     int32_t count) {
    VxBlockF rows[8];
    vx_transpose8(frames, rows);
    VX_GROUP_UNROLL
    for (int k = 0; k < count; k++) vx_store_block(values[k], rows[k]);
}

/* The 8 values an input part reads this block, for every lane. */
template <typename T, typename Port>
VX_ALWAYS_INLINE void vx_lanes_in(const VxLanes<T> &lanes, Port T::*port, VxBlockF frames[8]) {
    const float *values[8];
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k++) values[k] = vx_in(lanes[k]->*port);
    vx_lanes_load(values, frames);
}

/* Stores the frames of every lane into an output part. */
template <typename T>
VX_ALWAYS_INLINE void vx_lanes_out(const VxLanes<T> &lanes, OutputPort T::*port,
                                   const VxBlockF frames[8]) {
    float *values[8];
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k++) values[k] = (lanes[k]->*port).values;
    vx_lanes_store(frames, values, lanes.count);
}

/* A float field of every lane, widened. */
template <typename T>
VX_ALWAYS_INLINE VxBlockD vx_lanes_field(const VxLanes<T> &lanes, float T::*field) {
    VxBlockD v;
    VX_GROUP_UNROLL
    for (int k = 0; k < 8; k++) v[k] = lanes[k]->*field;
    return v;
}

/* Defines GroupFunction, GroupFunctionAvx2 and GroupFunctionAvx512 from an always-inline
 * `template <int Level> Body(VexaContext *, VexaUnit *const *, int32_t)`, and
 * `PickGroupFunction()` that returns the one to run (as PickUnitFunction does). */
#define VX_GROUP_FUNCTION_BUILDS(Body)                                                      \
    void GroupFunction(VexaContext *context, VexaUnit *const *units, int32_t count) {      \
        Body<VX_SIMD_BASE>(context, units, count);                                         \
    }                                                                                      \
    VX_TARGET_AVX2 void GroupFunctionAvx2(VexaContext *context, VexaUnit *const *units,    \
                                          int32_t count) {                                 \
        Body<VX_SIMD_AVX2>(context, units, count);                                         \
    }                                                                                      \
    VX_TARGET_AVX512 void GroupFunctionAvx512(VexaContext *context, VexaUnit *const *units, \
                                              int32_t count) {                             \
        Body<VX_SIMD_AVX512>(context, units, count);                                       \
    }                                                                                      \
    VexaGroupFunc PickGroupFunction() {                                                    \
        switch (vx_simd_level()) {                                                         \
        case VX_SIMD_AVX512: return GroupFunctionAvx512;                                   \
        case VX_SIMD_AVX2: return GroupFunctionAvx2;                                       \
        default: return GroupFunction;                                                     \
        }                                                                                  \
    }

/* The group function of a type whose block already computes its 8 frames side by side (or
 * whose per-frame logic branches, as the queue players' does): the type's always-inline
 * `template <int Level> Body(VexaContext *, VexaUnit *)` runs for each unit of the group in
 * turn, inside one call. */
#define VX_GROUP_OF_BLOCKS(Body)                                                            \
    template <int Level>                                                                   \
    VX_ALWAYS_INLINE void GroupOfBlocks(VexaContext *context, VexaUnit *const *units,      \
                                        int32_t count) {                                   \
        for (int32_t k = 0; k < count; k++) Body<Level>(context, units[k]);                \
    }                                                                                      \
    VX_GROUP_FUNCTION_BUILDS(GroupOfBlocks)

#endif /* VX_GROUP_H */
