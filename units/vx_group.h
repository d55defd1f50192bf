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

/* The units of a group as their instance structs, 8 lanes. */
template <typename T> struct VxLanes {
    T *self[8];
    int32_t count;
    VX_ALWAYS_INLINE VxLanes(VexaUnit *const *units, int32_t n) : count(n) {
        for (int k = 0; k < 8; k++) self[k] = vx_self<T>(units[k < n ? k : n - 1]);
    }
    T *operator[](int k) const { return self[k]; }
};

/* frames[i][k] = values[k][i]: frame i of every lane. */
VX_ALWAYS_INLINE void vx_lanes_load(const float *const values[8], VxBlockF frames[8]) {
    VxBlockF rows[8];
    for (int k = 0; k < 8; k++) rows[k] = vx_load_block(values[k]);
    for (int i = 0; i < 8; i++)
        for (int k = 0; k < 8; k++) frames[i][k] = rows[k][i];
}

/* values[k][i] = frames[i][k] for the group's own lanes. */
VX_ALWAYS_INLINE void vx_lanes_store(const VxBlockF frames[8], float *const values[8],
                                     int32_t count) {
    for (int k = 0; k < count; k++) {
        VxBlockF row;
        for (int i = 0; i < 8; i++) row[i] = frames[i][k];
        vx_store_block(values[k], row);
    }
}

/* The 8 values an input part reads this block, for every lane. */
template <typename T, typename Port>
VX_ALWAYS_INLINE void vx_lanes_in(const VxLanes<T> &lanes, Port T::*port, VxBlockF frames[8]) {
    const float *values[8];
    for (int k = 0; k < 8; k++) values[k] = vx_in(lanes[k]->*port);
    vx_lanes_load(values, frames);
}

/* Stores the frames of every lane into an output part. */
template <typename T>
VX_ALWAYS_INLINE void vx_lanes_out(const VxLanes<T> &lanes, OutputPort T::*port,
                                   const VxBlockF frames[8]) {
    float *values[8];
    for (int k = 0; k < 8; k++) values[k] = (lanes[k]->*port).values;
    vx_lanes_store(frames, values, lanes.count);
}

/* A float field of every lane, widened. */
template <typename T>
VX_ALWAYS_INLINE VxBlockD vx_lanes_field(const VxLanes<T> &lanes, float T::*field) {
    VxBlockD v;
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

#endif /* VX_GROUP_H */
