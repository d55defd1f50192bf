/*
 * vx_unit.h - what every unit source needs: the engine types, the port IDs shared by the
 * unit library, and small helpers for reading ports inside a unit function.
 */
#ifndef VX_UNIT_H
#define VX_UNIT_H

#include <cstddef>

#include "vx_engine.h"

/* Port IDs (the engine stores no names; these are the IDs clients pass). */
enum : uint32_t {
    PORTID_INPUT = 0x000849b9,
    PORTID_INPUT_A = 0x0028c9b9,
    PORTID_INPUT_B = 0x002949b9,
    PORTID_INPUT_C = 0x0029c9b9,
    PORTID_OUTPUT = 0x004250f7,
    PORTID_SELECT = 0x0041187b,
    PORTID_GATE = 0x0000ea4f,
    PORTID_FADE = 0x0000e64e,
    PORTID_PAN = 0x00001ed8,
    PORTID_SET_LEVEL = 0x01d60953,
    PORTID_RESET_LEVEL = 0x01c26776,
    PORTID_SET_TRIGGER = 0x01842621,
    PORTID_LOWER_LIMIT = 0x01d24cee,
    PORTID_UPPER_LIMIT = 0x01d24b3f,
    PORTID_FREQUENCY = 0x01f2d76c,
    PORTID_AMPLITUDE = 0x02158ec1,
    PORTID_PHASE = 0x000751d0,
    PORTID_WIDTH = 0x0007849f,
    PORTID_Q = 0x00000051,
    PORTID_GAIN = 0x0000f98f,
    PORTID_SLOPE = 0x00074f73,
    PORTID_A0 = 0x000001c1,
    PORTID_A1 = 0x000001c9,
    PORTID_A2 = 0x000001d1,
    PORTID_B1 = 0x000001ca,
    PORTID_B2 = 0x000001d2,
    PORTID_HALF_LIFE = 0x01d22b1a,
    PORTID_CURRENT = 0x020e546b,
    PORTID_TIME = 0x0000e8dc,
    PORTID_DELAY = 0x0008706c,
    PORTID_PERIOD = 0x0039e1f8,
    PORTID_CONFIDENCE = 0x01cdb4c7,
    PORTID_RESONANCE = 0x01f06550,
    PORTID_LOW_PASS = 0x020c5184,
    PORTID_BAND_PASS = 0x020267b0,
    PORTID_HIGH_PASS = 0x02026e36,
    PORTID_STIFFNESS = 0x01d25249,
    PORTID_DAMPING = 0x01da8e8c,
    PORTID_BUS_INPUT = 0x02139392,
    PORTID_BUS_OUTPUT = 0x020216d4,
    PORTID_DATA = 0x0000e24c,
    PORTID_RATE = 0x0000ea5a,
    PORTID_TABLE = 0x000743dc,
    PORTID_BUSY_INPUT = 0x0203e854,
    PORTID_START_PULSE = 0x02867e12,
};

/* 32767/32768, the default of every Amplitude port. */
constexpr float VX_AMPLITUDE_DEFAULT = 32767.0f / 32768.0f;

/* Byte offset of a port record inside a unit's instance struct. */
#define VX_OFFSET(Struct, field) static_cast<uint16_t>(offsetof(Struct, field))

/* The 8 values an input part reads this block (its own values, or the connected output's). */
inline const float *vx_in(const InputPort &port) { return vx_load(port.source); }

/* A unit's instance struct from the unit record handed to its functions. */
template <typename T> inline T *vx_self(VexaUnit *unit) { return reinterpret_cast<T *>(unit); }

/* An oscillator's phase between blocks. The Phase variable holds the phase rounded to float,
 * as clients read and set it; the unit also keeps the exact double it stored, and as long as
 * the variable still holds that value rounded, it carries on from the double, so the sum of
 * increments is held in double precision from block to block. A value set by a client differs
 * from the rounded one and is taken as it is. */
struct VxCarriedPhase {
    double value;
};
inline double vx_phase_begin(const VariablePort &port, const VxCarriedPhase &carried) {
    const float stored = vx_load_float(port.value);
    return stored == static_cast<float>(carried.value) ? carried.value
                                                        : static_cast<double>(stored);
}
inline void vx_phase_end(VariablePort &port, VxCarriedPhase &carried, double phase) {
    carried.value = phase;
    vx_store_float(port.value, static_cast<float>(phase));
}

#endif /* VX_UNIT_H */
