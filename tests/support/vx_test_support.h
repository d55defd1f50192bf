/*
 * vx_test_support.h - a small fixture for engine tests: a context started in no-device
 * mode, unit creation that fails the test on error, and offline rendering that records a
 * unit's output frame by frame through a ChannelOut unit.
 */
#ifndef VX_TEST_SUPPORT_H
#define VX_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <vector>

#include "velto.h"

namespace vxtest {

/* What the peer-lock calls answer on a context without host services (never initialised, or
 * terminated): the Linux host says its services are not initialised, the Windows host that
 * the engine is not running. */
#if defined(_WIN32)
constexpr int32_t NO_HOST_RECORD = VXERR_NOT_RUNNING;
#else
constexpr int32_t NO_HOST_RECORD = VXERR_HOST_INIT;
#endif

/* Unit functions come in builds for wider vectors (base, AVX2, AVX-512). UseBuild has every
 * loader pick its build again with the given level as the limit; MaxBuild is the widest build
 * the processor runs. */
void UseBuild(int level);
int MaxBuild();

class EngineTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;
    double frameRate = 44100.0;
    int32_t outputChannels = 2;

    void SetUp() override { StartEngine(); }
    void TearDown() override { StopEngine(); }

    void StartEngine();
    void StopEngine(); /* expects Vexa_Terminate to report no outstanding allocation */

    /* Creates a unit and fails the test when creation fails. */
    int32_t Unit(uint32_t typeID, int32_t initArgument = 0);
    void Set(int32_t unit, uint32_t portID, double value, int32_t part = 0);
    void Start(int32_t unit);
    double Get(int32_t unit, uint32_t portID, int32_t part = 0);

    /* Renders numTicks ticks and returns the interleaved output (outputChannels wide). */
    std::vector<float> Render(int32_t numTicks);

    /* Connects output `portID` part `part` of `unit` to a new ChannelOut on channel 0,
     * starts both (the probe after the unit, so it reads this block's values), renders
     * numTicks ticks and returns channel 0, one value per frame. The unit must be created
     * but may already be running. */
    std::vector<float> Record(int32_t unit, uint32_t portID, int32_t numTicks, int32_t part = 0);
};

} // namespace vxtest

#endif
