/*
 * The public names: the earlier spellings of the queue flags and signal types stay aliases of
 * the VEXA_ ones, and a program can do without them; the names of velto_units.h are the IDs
 * the engine itself creates and addresses.
 */
#define VEXA_NO_OLD_NAMES
#include "velto.h"
#undef VEXA_NO_OLD_NAMES

#ifdef QUEUE_LOOP
#error "VEXA_NO_OLD_NAMES leaves the earlier names out"
#endif

#undef VELTO_H
#include "velto.h" /* again, with the earlier names */

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "velto_units.h"
#include "vx_test_support.h"

namespace {

static_assert(QUEUE_LOOP == VEXA_QUEUE_LOOP && QUEUE_AUTO_STOP == VEXA_QUEUE_AUTO_STOP &&
              QUEUE_REPLACEABLE == VEXA_QUEUE_REPLACEABLE);
static_assert(SIGNAL_SIGNED == VEXA_SIGNAL_SIGNED && SIGNAL_UNSIGNED == VEXA_SIGNAL_UNSIGNED &&
              SIGNAL_FREQUENCY == VEXA_SIGNAL_FREQUENCY &&
              SIGNAL_SAMPLE_RATE == VEXA_SIGNAL_SAMPLE_RATE &&
              SIGNAL_HALF_LIFE == VEXA_SIGNAL_HALF_LIFE && SIGNAL_TIME == VEXA_SIGNAL_TIME &&
              SIGNAL_SVF_FREQUENCY == VEXA_SIGNAL_SVF_FREQUENCY && SIGNAL_RAW == VEXA_SIGNAL_RAW);

using PublicNamesTest = vxtest::EngineTest;

/* A sine made with names alone sounds at its frequency. */
TEST_F(PublicNamesTest, ASineFromNamesAlone) {
    const int32_t osc = Unit(VEXA_UNIT_SINE_OSCILLATOR);
    Set(osc, VEXA_PORT_FREQUENCY, 441.0);
    Set(osc, VEXA_PORT_AMPLITUDE, 0.5);
    EXPECT_EQ(Vexa_SetPortSignalType(ctx, osc, VEXA_PORT_AMPLITUDE, 0, VEXA_SIGNAL_RAW), 0);
    const std::vector<float> frames = Record(osc, VEXA_PORT_OUTPUT, 100);
    /* 441 Hz at 44100 frames per second: a rising zero crossing every 100 frames. */
    int crossings = 0;
    float peak = 0.0f;
    for (size_t i = 1; i < frames.size(); i++) {
        if (frames[i - 1] < 0.0f && frames[i] >= 0.0f) crossings++;
        peak = std::max(peak, std::fabs(frames[i]));
    }
    EXPECT_NEAR(crossings, 64, 1);
    EXPECT_NEAR(peak, 0.5f, 1e-3f);
}

} // namespace
