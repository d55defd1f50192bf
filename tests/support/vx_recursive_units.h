/*
 * vx_recursive_units.h - the unit types whose state feeds back into their output (filters,
 * lags, delays, followers, the mass-spring), each with port settings that make it ring: the
 * units whose behaviour in silence the numeric test and the denormal benchmark check.
 */
#ifndef VX_RECURSIVE_UNITS_H
#define VX_RECURSIVE_UNITS_H

#include <cstdint>
#include <vector>

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
        {"Filter1o1p", 0x01be3660, {{PORTID_A0, 0.05}, {PORTID_B1, -0.95}}},
        {"Filter1o1p1z", 0x023e5660, {{PORTID_A0, 0.05}, {PORTID_A1, 0.0}, {PORTID_B1, -0.95}}},
        {"Filter1o1z", 0x01be5e60, {}},
        {"Filter2o2p", 0x01be36e2, {{PORTID_A0, 0.01}, {PORTID_B1, -1.8}, {PORTID_B2, 0.81}}},
        {"Filter2o2p2z", 0x023e76e2,
         {{PORTID_A0, 0.01},
          {PORTID_A1, 0.02},
          {PORTID_A2, 0.01},
          {PORTID_B1, -1.8},
          {PORTID_B2, 0.81}}},
        {"FilterLowPass", 0x05d4f996, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterHighPass", 0x05c132fa, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterBandPass", 0x05c125ee, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterBandStop", 0x05b485e2, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterPeakingEQ", 0x05716532, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterLowShelf", 0x058fe72e, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterHighShelf", 0x05589f9e, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterSVF", 0x06117edc, {{PORTID_FREQUENCY, 200.0}}},
        {"FilterOldSVF", 0x06119b8b, {{PORTID_FREQUENCY, 200.0}}},
        {"LagLinear", 0x01f25aee, {{PORTID_TIME, 0.5}}},
        {"LagExp", 0x05829f02, {{PORTID_HALF_LIFE, 0.05}}},
        {"PeakFollower", 0x05f2d79e, {{PORTID_HALF_LIFE, 0.05}}},
        {"MassSpring", 0x0534c2cf, {{PORTID_STIFFNESS, 0.01}, {PORTID_DAMPING, 0.01}}},
        {"Delay", 0x0141b8de, {}},
        {"DelayInterp", 0x053e880c, {{PORTID_DELAY, 0.5}}},
    };
    return units;
}

} // namespace vxtest

#endif /* VX_RECURSIVE_UNITS_H */
