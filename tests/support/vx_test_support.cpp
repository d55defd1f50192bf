#include "velto_units.h"
#include "vx_test_support.h"

#include "vx_catalog.h"
#include "vx_unit.h"

namespace vxtest {

void UseBuild(int level) {
    vx_simd_limit() = level;
#define VX_TEST_RELOAD(Name) VXU_Load##Name();
    VX_UNIT_CATALOGUE(VX_TEST_RELOAD)
#undef VX_TEST_RELOAD
}

int MaxBuild() {
    const int saved = vx_simd_limit();
    vx_simd_limit() = VX_SIMD_AVX512;
    const int level = vx_simd_level();
    vx_simd_limit() = saved;
    return level;
}

void EngineTest::StartEngine() {
    ctx = Vexa_CreateContext();
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    int32_t flags = VX_FLAG_NO_DEVICE;
    ASSERT_EQ(Vexa_StartDevices(ctx, flags, frameRate, -1, 0, 0, outputChannels), 0);
}

void EngineTest::StopEngine() {
    if (ctx == nullptr) return;
    EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations still outstanding";
    Vexa_DeleteContext(ctx);
    ctx = nullptr;
}

int32_t EngineTest::Unit(uint32_t typeID, int32_t initArgument) {
    int32_t token = Vexa_CreateUnit(ctx, typeID, 0, initArgument);
    EXPECT_GT(token, 0) << "Vexa_CreateUnit(0x" << std::hex << typeID << ") failed: " << std::dec
                        << token;
    return token;
}

void EngineTest::Set(int32_t unit, uint32_t portID, double value, int32_t part) {
    int32_t result = Vexa_SetPort(ctx, unit, portID, part, value);
    EXPECT_TRUE(result == 0 || result == VXWARN_ALREADY_CONNECTED) << "Vexa_SetPort: " << result;
}

void EngineTest::Start(int32_t unit) { EXPECT_EQ(Vexa_StartUnit(ctx, unit), 0); }

double EngineTest::Get(int32_t unit, uint32_t portID, int32_t part) {
    double value = 0;
    EXPECT_EQ(Vexa_ReadPort(ctx, unit, portID, part, &value), 0);
    return value;
}

std::vector<float> EngineTest::Render(int32_t numTicks) {
    std::vector<float> out(static_cast<size_t>(numTicks) * 64 * outputChannels, -99.0f);
    EXPECT_EQ(Vexa_RenderTicks(ctx, nullptr, out.data(), numTicks), 0);
    return out;
}

std::vector<float> EngineTest::Record(int32_t unit, uint32_t portID, int32_t numTicks,
                                      int32_t part) {
    int32_t probe = Unit(VEXA_UNIT_CHANNEL_OUT, 0);
    EXPECT_EQ(Vexa_ConnectUnits(ctx, unit, portID, part, probe, VEXA_PORT_INPUT, 0), 0);
    Start(unit);
    Start(probe);
    std::vector<float> out = Render(numTicks);
    std::vector<float> channel0;
    for (size_t i = 0; i < out.size(); i += outputChannels) channel0.push_back(out[i]);
    return channel0;
}

} // namespace vxtest
