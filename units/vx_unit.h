/*
 * vx_unit.h - what a unit source sees of the engine, and all it sees: the unit model (its
 * descriptor, port records, the frame-rate scales and device cursors of the context, the
 * services a unit function calls: auto-stop, queue stepping, the random sequence, the signal
 * conversions), the band-limited tables, the port IDs shared by the unit library, and small
 * helpers for reading ports and building the wider-vector versions of a unit function.
 * Nothing of the client threads' front end.
 */
#ifndef VX_UNIT_H
#define VX_UNIT_H

#include <cstddef>

#include "vx_model.h"
#include "vx_sawbl.h"

/* Port roles: one port ID means the same role in every type. Each entry gives the constant's
 * name, the role's name (as the catalogue, velto_units.h and the Java classes spell it) and the
 * ID clients pass. */
#define VX_PORT_ROLES(X)                                                                    \
    X(INPUT, Input, 0x000849b9) \
    X(INPUT_A, InputA, 0x0028c9b9) \
    X(INPUT_B, InputB, 0x002949b9) \
    X(INPUT_C, InputC, 0x0029c9b9) \
    X(OUTPUT, Output, 0x004250f7) \
    X(SELECT, Select, 0x0041187b) \
    X(GATE, Gate, 0x0000ea4f) \
    X(FADE, Fade, 0x0000e64e) \
    X(PAN, Pan, 0x00001ed8) \
    X(SET_LEVEL, SetLevel, 0x01d60953) \
    X(RESET_LEVEL, ResetLevel, 0x01c26776) \
    X(SET_TRIGGER, SetTrigger, 0x01842621) \
    X(LOWER_LIMIT, LowerLimit, 0x01d24cee) \
    X(UPPER_LIMIT, UpperLimit, 0x01d24b3f) \
    X(FREQUENCY, Frequency, 0x01f2d76c) \
    X(AMPLITUDE, Amplitude, 0x02158ec1) \
    X(PHASE, Phase, 0x000751d0) \
    X(WIDTH, Width, 0x0007849f) \
    X(Q, Q, 0x00000051) \
    X(GAIN, Gain, 0x0000f98f) \
    X(SLOPE, Slope, 0x00074f73) \
    X(A0, A0, 0x000001c1) \
    X(A1, A1, 0x000001c9) \
    X(A2, A2, 0x000001d1) \
    X(B1, B1, 0x000001ca) \
    X(B2, B2, 0x000001d2) \
    X(HALF_LIFE, HalfLife, 0x01d22b1a) \
    X(CURRENT, Current, 0x020e546b) \
    X(TIME, Time, 0x0000e8dc) \
    X(DELAY, Delay, 0x0008706c) \
    X(PERIOD, Period, 0x0039e1f8) \
    X(CONFIDENCE, Confidence, 0x01cdb4c7) \
    X(RESONANCE, Resonance, 0x01f06550) \
    X(LOW_PASS, LowPass, 0x020c5184) \
    X(BAND_PASS, BandPass, 0x020267b0) \
    X(HIGH_PASS, HighPass, 0x02026e36) \
    X(STIFFNESS, Stiffness, 0x01d25249) \
    X(DAMPING, Damping, 0x01da8e8c) \
    X(BUS_INPUT, BusInput, 0x02139392) \
    X(BUS_OUTPUT, BusOutput, 0x020216d4) \
    X(DATA, Data, 0x0000e24c) \
    X(RATE, Rate, 0x0000ea5a) \
    X(TABLE, Table, 0x000743dc) \
    X(BUSY_INPUT, BusyInput, 0x0203e854) \
    X(START_PULSE, StartPulse, 0x02867e12)

#define VX_PORT_ID_ENTRY(Upper, Name, Id) PORTID_##Upper = Id,
enum : uint32_t { VX_PORT_ROLES(VX_PORT_ID_ENTRY) };
#undef VX_PORT_ID_ENTRY

/* The role's name of a port ID ("" for an ID no role has). */
constexpr const char *vx_port_name(uint32_t id) {
#define VX_PORT_NAME_ENTRY(Upper, Name, Id)                                                  \
    if (id == Id) return #Name;
    VX_PORT_ROLES(VX_PORT_NAME_ENTRY)
#undef VX_PORT_NAME_ENTRY
    return "";
}

/* The number of entries of a port table. */
#define VX_PORT_COUNT(table) static_cast<uint16_t>(sizeof(table) / sizeof((table)[0]))

/* 32767/32768, the default of every Amplitude port. */
constexpr float VX_AMPLITUDE_DEFAULT = 32767.0f / 32768.0f;

/* Byte offset of a port record inside a unit's instance struct. */
#define VX_OFFSET(Struct, field) static_cast<uint16_t>(offsetof(Struct, field))

/* The 8 values an input part reads this block (its own values, or the connected output's). */
inline const float *vx_in(const InputPort &port) { return vx_load(port.source); }

/* A unit's instance struct from the unit record handed to its functions. */
template <typename T> inline T *vx_self(VexaUnit *unit) { return reinterpret_cast<T *>(unit); }

/* An oscillator's phase between blocks is its Phase variable, a float: the block reads it
 * once, carries it in double precision from frame to frame, and rounds it to float when it
 * stores it back at the end of the block, so a client that reads Phase and sets it back
 * continues exactly where the unit would have. */
inline double vx_phase_begin(const VariablePort &port) {
    return static_cast<double>(vx_load_float(port.value));
}
inline void vx_phase_end(VariablePort &port, double phase) {
    vx_store_float(port.value, static_cast<float>(phase));
}

/* Wider-vector builds of a unit function. A unit whose per-frame work vectorises writes its
 * block once as an always-inline body and builds it three times: UnitFunction for the base
 * instruction set, and AVX2 and AVX-512 versions. The arithmetic is the same IEEE operations
 * in the same order in every build (no contraction into fused multiply-adds, no reordering),
 * so every build computes the same bits; only the width of the registers differs. Its
 * VXU_Load<Name> stores the build the processor runs best, up to vx_simd_limit(), which
 * tests lower to run the narrower builds. */
enum : int { VX_SIMD_BASE = 0, VX_SIMD_AVX2 = 1, VX_SIMD_AVX512 = 2 };
inline int &vx_simd_limit() {
    static int limit = VX_SIMD_AVX512;
    return limit;
}
#if VX_X86_VECTOR_BUILDS
#define VX_TARGET_AVX2 __attribute__((target("avx2")))
#define VX_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))
inline int vx_simd_level() {
    int level = VX_SIMD_BASE;
    if (__builtin_cpu_supports("avx2")) level = VX_SIMD_AVX2;
    if (level == VX_SIMD_AVX2 && __builtin_cpu_supports("avx512f") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512bw"))
        level = VX_SIMD_AVX512;
    return level < vx_simd_limit() ? level : vx_simd_limit();
}
#else
#define VX_TARGET_AVX2
#define VX_TARGET_AVX512
inline int vx_simd_level() { return VX_SIMD_BASE; }
#endif
/* Defines UnitFunction, UnitFunctionAvx2 and UnitFunctionAvx512 from an always-inline
 * `template <int Level> Body(VexaContext *, VexaUnit *)`, and `PickUnitFunction()` that
 * returns the one to run. */
#define VX_UNIT_FUNCTION_BUILDS(Body)                                                       \
    void UnitFunction(VexaContext *context, VexaUnit *unit) {                              \
        Body<VX_SIMD_BASE>(context, unit);                                                 \
    }                                                                                      \
    VX_TARGET_AVX2 void UnitFunctionAvx2(VexaContext *context, VexaUnit *unit) {           \
        Body<VX_SIMD_AVX2>(context, unit);                                                 \
    }                                                                                      \
    VX_TARGET_AVX512 void UnitFunctionAvx512(VexaContext *context, VexaUnit *unit) {       \
        Body<VX_SIMD_AVX512>(context, unit);                                               \
    }                                                                                      \
    VexaUnitFunc PickUnitFunction() {                                                      \
        switch (vx_simd_level()) {                                                         \
        case VX_SIMD_AVX512: return UnitFunctionAvx512;                                    \
        case VX_SIMD_AVX2: return UnitFunctionAvx2;                                        \
        default: return UnitFunction;                                                      \
        }                                                                                  \
    }
#define VX_ALWAYS_INLINE inline __attribute__((always_inline))

/* Vectors of the 8 frames of a block. They live in registers inside always-inline code and
 * never cross a call, so the calling convention for such vectors does not matter here (the
 * build turns off GCC's note about that convention, -Wno-psabi). The Windows build asks for
 * no more than 16-byte alignment, since its compiler cannot realign the stack for wider
 * spills (it also runs only the base builds). */
#if defined(_WIN32)
#define VX_BLOCK_ALIGN __attribute__((aligned(16)))
#else
#define VX_BLOCK_ALIGN
#endif
typedef double VxBlockD __attribute__((vector_size(64))) VX_BLOCK_ALIGN;
typedef float VxBlockF __attribute__((vector_size(32))) VX_BLOCK_ALIGN;
typedef int32_t VxBlockI __attribute__((vector_size(32))) VX_BLOCK_ALIGN;
typedef int64_t VxBlockL __attribute__((vector_size(64))) VX_BLOCK_ALIGN;
VX_ALWAYS_INLINE VxBlockF vx_load_block(const float *values) {
    VxBlockF v;
    __builtin_memcpy(&v, values, sizeof v);
    return v;
}
VX_ALWAYS_INLINE void vx_store_block(float *values, const VxBlockF &v) {
    __builtin_memcpy(values, &v, sizeof v);
}
VX_ALWAYS_INLINE VxBlockD vx_widen(const VxBlockF &v) { return __builtin_convertvector(v, VxBlockD); }
VX_ALWAYS_INLINE VxBlockF vx_round(const VxBlockD &v) { return __builtin_convertvector(v, VxBlockF); }

#endif /* VX_UNIT_H */
