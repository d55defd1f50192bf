/*
 * vx_recursive_units.h - the unit types whose state feeds back into their output (filters,
 * lags, delays, followers, the mass-spring), each with port settings that make it ring: the
 * units whose behaviour in silence the numeric test and the denormal benchmark check.
 */
#ifndef VX_RECURSIVE_UNITS_H
#define VX_RECURSIVE_UNITS_H

#include <cstdint>
#include <vector>

#include "velto_units.h"
#include "vx_unit.h"

namespace vxtest {

struct PortSetting {
    uint32_t port;
    double value;
};

struct RecursiveUnit {
    const char *name;
    uint32_t typeID;
    std::vector<PortSetting> settings;
};

inline const std::vector<RecursiveUnit> &RecursiveUnits() {
    static const std::vector<RecursiveUnit> units = {
        {"Filter1o1p", VEXA_UNIT_FILTER1O1P, {{PORTID_A0, 0.05}, {PORTID_B1, -0.95}}},
        {"Filter1o1p1z",
         VEXA_UNIT_FILTER1O1P1Z,
         {{PORTID_A0, 0.05}, {PORTID_A1, 0.0}, {PORTID_B1, -0.95}}},
        {"Filter1o1z", VEXA_UNIT_FILTER1O1Z, {}},
        {"Filter2o2p",
         VEXA_UNIT_FILTER2O2P,
         {{PORTID_A0, 0.01}, {PORTID_B1, -1.8}, {PORTID_B2, 0.81}}},
        {"Filter2o2p2z",
         VEXA_UNIT_FILTER2O2P2Z,
         {{PORTID_A0, 0.01},
          {PORTID_A1, 0.02},
          {PORTID_A2, 0.01},
          {PORTID_B1, -1.8},
          {PORTID_B2, 0.81}}},
        {"FilterLowPass", VEXA_UNIT_FILTER_LOW_PASS, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterHighPass", VEXA_UNIT_FILTER_HIGH_PASS, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterBandPass", VEXA_UNIT_FILTER_BAND_PASS, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterBandStop", VEXA_UNIT_FILTER_BAND_STOP, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterPeakingEQ", VEXA_UNIT_FILTER_PEAKING_EQ, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterLowShelf", VEXA_UNIT_FILTER_LOW_SHELF, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterHighShelf", VEXA_UNIT_FILTER_HIGH_SHELF, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterSVF", VEXA_UNIT_FILTER_SVF, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterOldSVF", VEXA_UNIT_FILTER_OLD_SVF, {{PORTID_FREQUENCY, 200.0}}},
        {"LagLinear", VEXA_UNIT_LAG_LINEAR, {{PORTID_TIME, 0.5}}},
        {"LagExp", VEXA_UNIT_LAG_EXP, {{PORTID_HALF_LIFE, 0.05}}},
        {"PeakFollower", VEXA_UNIT_PEAK_FOLLOWER, {{PORTID_HALF_LIFE, 0.05}}},
        {"MassSpring", VEXA_UNIT_MASS_SPRING, {{PORTID_STIFFNESS, 0.01}, {PORTID_DAMPING, 0.01}}},
        {"Delay", VEXA_UNIT_DELAY, {}},
        {"DelayInterp", VEXA_UNIT_DELAY_INTERP, {{PORTID_DELAY, 0.5}}},
    };
    return units;
}

} // namespace vxtest

#endif /* VX_RECURSIVE_UNITS_H */
