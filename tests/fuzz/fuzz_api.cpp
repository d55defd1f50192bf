/*
 * fuzz_api.cpp - a libFuzzer target that turns its input into a sequence of calls of the C
 * interface with arbitrary arguments, on two contexts started without a device, with batches
 * computed in between.
 *
 * Tokens are taken from those handed out so far (live or deleted), from the other context,
 * bent by a bit, or made up; port IDs come from the catalogue's port tables or are made up;
 * ticks, parts, sizes, flags, signal types, offsets and values (NaN, infinities, huge and
 * denormal numbers included) come from the input. Buffers are always as large as the C
 * interface requires for the arguments given, so any read or write outside them is the
 * engine's fault. Sizes of created objects stay small (or so large that they must be refused),
 * so that the run never just exhausts memory. An input makes at most kMaxSteps calls and
 * computes at most kMaxTicks ticks, so that each one is cheap and the fuzzer spends its time
 * on many different sequences rather than on long ones.
 *
 * Every result must be a code of the error table (or the value the call documents), and at
 * the end every context must terminate with no engine allocation outstanding; otherwise the
 * target aborts. AddressSanitizer and UndefinedBehaviorSanitizer catch the rest.
 */
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "fuzz_support.h"
#include "vx_internal.h"

namespace {

using namespace velto_fuzz;

/* Bounds of one input, so that each stays cheap: at most kMaxSteps calls, and at most
 * kMaxTicks ticks computed by its renders and sleeps on both contexts together (requests beyond
 * that compute none, but the call is still made). A longer input only adds more of the same;
 * depth comes from the corpus, not from the length of one input. */
constexpr int kMaxSteps = 256;
constexpr int32_t kMaxTicks = 64;

/* Largest number of frames a created object may have here; larger creations use sizes whose
 * byte count exceeds what the engine accepts. */
constexpr uint32_t kMaxFrames = 4096;

struct Catalogue {
    std::vector<uint32_t> types;
    std::vector<uint32_t> ports;
};

const Catalogue &GetCatalogue() {
    static Catalogue *catalogue = [] {
        auto *c = new Catalogue;
        VexaContext *ctx = Vexa_CreateContext();
        Vexa_Initialize(ctx);
        for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next) {
            c->types.push_back(info->typeID);
            for (int i = 0; i < info->numPorts; i++) c->ports.push_back(info->ports[i].portID);
        }
        Vexa_Terminate(ctx);
        Vexa_DeleteContext(ctx);
        return c;
    }();
    return *catalogue;
}

class Session {
  public:
    explicit Session(Input &in) : in_(in) {}

    void Run() {
        for (VexaContext *&ctx : contexts_) {
            ctx = Vexa_CreateContext();
            if (ctx == nullptr) Fail("Vexa_CreateContext", 0);
            Code("Vexa_Initialize", Vexa_Initialize(ctx));
            Start(ctx);
        }
        /* A deleted context: its pointer must be refused, never read. No context is created
         * after it during this run, so its block is not reused meanwhile. */
        dead_ = Vexa_CreateContext();
        Vexa_DeleteContext(dead_);

        for (int steps = 0; steps < kMaxSteps && !in_.Empty(); steps++) {
            Step();
            if (Tracing())
                for (int i = 0; i < 2; i++)
                    std::fprintf(stderr, "context %d: init %d start %d things %d allocations %d\n", i,
                                 contexts_[i]->vxf_InitCount, contexts_[i]->vxf_StartCount,
                                 contexts_[i]->vxf_ThingCount, contexts_[i]->vxf_AllocCount);
        }

        for (VexaContext *ctx : contexts_) Finish(ctx);
    }

  private:
    VexaContext *Ctx(uint8_t selector) {
        switch (selector % 16) {
        case 14: return nullptr;
        case 15: return dead_;
        default: return contexts_[selector & 1];
        }
    }

    VexaContext *Live(int index) { return contexts_[index & 1]; }

    int32_t Token() {
        const uint8_t how = in_.U8();
        const auto &own = tokens_[how & 1];
        switch ((how >> 1) % 8) {
        case 0:
        case 1:
        case 2:
            if (!own.empty()) return own[in_.U8() % own.size()];
            return 0x00010000;
        case 3: { /* a token of the other context */
            const auto &other = tokens_[(how & 1) ^ 1];
            return other.empty() ? 0x01010000 : other[in_.U8() % other.size()];
        }
        case 4: /* a real token with one bit changed */
            if (!own.empty()) return own[in_.U8() % own.size()] ^ (1 << (in_.U8() % 32));
            return -1;
        case 5: return static_cast<int32_t>(in_.U32());
        case 6: return 0;
        default: return static_cast<int32_t>(in_.U8()) - 8;
        }
    }

    uint32_t TypeID() {
        const auto &types = GetCatalogue().types;
        const uint8_t how = in_.U8();
        if (how < 240 && !types.empty()) return types[how % types.size()];
        return in_.U32();
    }

    uint32_t PortID() {
        const auto &ports = GetCatalogue().ports;
        const uint8_t how = in_.U8();
        if (how < 240 && !ports.empty()) return ports[(how + 256u * in_.U8()) % ports.size()];
        return in_.U32();
    }

    int32_t Part() {
        const uint8_t how = in_.U8();
        if (how < 200) return how % 4;
        if (how < 230) return -static_cast<int32_t>(how % 3) - 1;
        return static_cast<int32_t>(in_.U32());
    }

    int32_t Tick(VexaContext *ctx) {
        const uint8_t how = in_.U8();
        const bool live = ctx != nullptr && (ctx == contexts_[0] || ctx == contexts_[1]);
        const int32_t now = live ? ctx->vxb_TickCount : 0;
        if (how < 200) return now + static_cast<int32_t>(how % 48) - 8;
        if (how < 240) return static_cast<int32_t>(in_.U32());
        return now + INT32_MAX / 2 + (how & 3);
    }

    double Number() {
        static const double kValues[] = {
            0.0, 1.0, -1.0, 0.5, 2.0, 440.0, 22050.0, 44100.0, 1e-3, 1e6, 1e30, -1e30,
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), 1e-310, 3.5e38, -3.5e38,
            std::numeric_limits<double>::max(), 2147483648.0, -0.0, 1e-45, 0.999, 32768.0};
        const uint8_t how = in_.U8();
        if (how < 200) return kValues[how % (sizeof(kValues) / sizeof(kValues[0]))];
        uint64_t bits = in_.U64();
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

    /* Frame counts and offsets: small, at the edges, or huge. */
    uint32_t Count() {
        static const uint32_t kEdges[] = {0,          1,          2,          7,
                                          64,         kMaxFrames, kMaxFrames + 1,
                                          0x40000000, 0x7FFFFFFF, 0x80000000,
                                          0xFFFFFFFF, 0xFFFFFFFE};
        const uint8_t how = in_.U8();
        if (how < 160) return how % 70;
        if (how < 230) return kEdges[how % (sizeof(kEdges) / sizeof(kEdges[0]))];
        return in_.U32();
    }

    /* Sizes of new objects: small, or large enough that the engine must refuse them. */
    uint32_t NewSize() {
        static const uint32_t kRefused[] = {0x40000000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
        const uint8_t how = in_.U8();
        if (how < 240) return (how * 17u + in_.U8()) % (kMaxFrames + 1);
        return kRefused[how % 4];
    }

    void Keep(VexaContext *ctx, int32_t token) {
        if (token <= 0) return;
        for (int i = 0; i < 2; i++)
            if (ctx == contexts_[i] && tokens_[i].size() < 4096) tokens_[i].push_back(token);
    }

    void Start(VexaContext *ctx) {
        const uint8_t how = in_.U8();
        int32_t flags = VX_FLAG_NO_DEVICE | (how & 0x20 ? VX_FLAG_INPUT : 0) |
                        (how & 0x40 ? VX_FLAG_NO_OUTPUT : 0) |
                        (how % 32 == 31 ? VX_FLAG_PRINT_OUTPUT : 0) | (how & 0x80 ? 0x100 : 0);
        const int32_t inChannels = (in_.U8() % 5) - (how % 61 == 60 ? 8 : 0);
        const int32_t outChannels = in_.U8() % 5;
        static const double kRates[] = {44100.0, 0.0, 1.5, 8000.0, 96000.0,
                                        std::numeric_limits<double>::quiet_NaN(), 1e300, -5.0};
        Code("Vexa_StartDevices",
             Vexa_StartDevices(ctx, flags, kRates[in_.U8() % 8], inChannels > 0 ? 0 : -1,
                               inChannels, outChannels > 0 ? 0 : -1, outChannels));
    }

    /* Ticks a render or sleep may compute: as asked while the input's budget lasts, then none.
     * Counts that are not positive pass unchanged. */
    int32_t Ticks(int32_t wanted) {
        if (wanted <= 0) return wanted;
        const int32_t granted = std::min(wanted, ticksLeft_);
        ticksLeft_ -= granted;
        return granted;
    }

    /* Renders with buffers of exactly the size the context's channel counts require. */
    void Render(VexaContext *ctx, int32_t numTicks, bool withInput, bool withOutput) {
        const size_t frames = numTicks > 0 ? static_cast<size_t>(numTicks) * 64 : 0;
        const int32_t ins = ctx->vxf_InputChannels > 0 ? ctx->vxf_InputChannels : 0;
        const int32_t outs = ctx->vxf_OutputChannels > 0 ? ctx->vxf_OutputChannels : 0;
        static const float kInput[] = {0.5f, -0.25f, 1.0f, 0.0f};
        Buffer<float> input(withInput ? frames * ins : 0, kInput, 4);
        Buffer<float> output(withOutput ? frames * outs : 0, 0.0f);
        Code("Vexa_RenderTicks",
             Vexa_RenderTicks(ctx, withInput ? input.data() : nullptr,
                              withOutput ? output.data() : nullptr, numTicks));
    }

    void Step() {
        const uint8_t op = in_.U8();
        const uint8_t which = in_.U8();
        VexaContext *ctx = Ctx(which);
        VexaContext *live = Live(which);
        switch (op % 48) {
        case 0: Keep(ctx, Value("Vexa_CreateUnit",
                                Vexa_CreateUnit(ctx, TypeID(), in_.U8() % 8 == 0 ? 1 : 0,
                                                static_cast<int32_t>(in_.U8() % 20) - 2)));
            break;
        case 1: {
            int32_t members[8];
            const int32_t n = in_.U8() % 9;
            for (int32_t i = 0; i < 8; i++) members[i] = Token();
            const int32_t declared = in_.U8() % 4 == 0 ? -static_cast<int32_t>(in_.U8()) : n;
            Keep(ctx, Value("Vexa_CreateCircuit",
                            Vexa_CreateCircuit(ctx, in_.U8() % 8 == 0 ? nullptr : members, declared,
                                               in_.U8() % 8 == 0 ? 1 : 0)));
            break;
        }
        case 2: Code("Vexa_Delete", Vexa_Delete(ctx, Token())); break;
        case 3: Code("Vexa_StartUnitAt", Vexa_StartUnitAt(ctx, Tick(ctx), Token())); break;
        case 4: Code("Vexa_StopUnitAt", Vexa_StopUnitAt(ctx, Tick(ctx), Token())); break;
        case 5: Code("Vexa_StartUnit", Vexa_StartUnit(ctx, Token())); break;
        case 6: Code("Vexa_StopUnit", Vexa_StopUnit(ctx, Token())); break;
        case 7:
        case 8: Code("Vexa_SetPortAt",
                     Vexa_SetPortAt(ctx, Tick(ctx), Token(), PortID(), Part(), Number()));
            break;
        case 9: Code("Vexa_SetPort", Vexa_SetPort(ctx, Token(), PortID(), Part(), Number())); break;
        case 10: {
            double value = 0.0;
            const bool null = in_.U8() % 8 == 0;
            Code("Vexa_ReadPort",
                 Vexa_ReadPort(ctx, Token(), PortID(), Part(), null ? nullptr : &value));
            break;
        }
        case 11: {
            const double r = Vexa_GetPort(ctx, Token(), PortID(), Part());
            if (r <= -1000000.0 + 100.0 && r >= -1000000.0 - 100.0)
                Code("Vexa_GetPort", static_cast<int32_t>(r + 1000000.0));
            break;
        }
        case 12: Value("Vexa_GetNumParts", Vexa_GetNumParts(ctx, Token(), PortID())); break;
        case 13: {
            int32_t frames = 0;
            Code("Vexa_ReadPortFrames",
                 Vexa_ReadPortFrames(ctx, Token(), PortID(), Part(),
                                     in_.U8() % 8 == 0 ? nullptr : &frames));
            const int32_t r = Vexa_GetPortFrames(ctx, Token(), PortID(), Part());
            if (r < -2) Fail("Vexa_GetPortFrames", r);
            break;
        }
        case 14: Code("Vexa_SetPortSignalType",
                      Vexa_SetPortSignalType(ctx, Token(), PortID(), Part(),
                                             static_cast<int32_t>(in_.U8()) - 4));
            break;
        case 15: Value("Vexa_GetPortSignalType",
                       Vexa_GetPortSignalType(ctx, Token(), PortID(), Part()));
            break;
        case 16:
        case 17: Code("Vexa_ConnectUnits", Vexa_ConnectUnits(ctx, Token(), PortID(), Part(),
                                                             Token(), PortID(), Part()));
            break;
        case 18: Code("Vexa_DisconnectUnits", Vexa_DisconnectUnits(ctx, Token(), PortID(), Part()));
            break;
        case 19: Code("Vexa_QueueDataAt",
                      Vexa_QueueDataAt(ctx, Tick(ctx), Token(), PortID(), Token(), Count(), Count(),
                                       in_.U8() | (in_.U8() % 16 == 0 ? in_.U32() : 0)));
            break;
        case 20: Code("Vexa_QueueData", Vexa_QueueData(ctx, Token(), PortID(), Token(), Count(),
                                                       Count(), in_.U8()));
            break;
        case 21: Code("Vexa_ClearDataQueueAt",
                      Vexa_ClearDataQueueAt(ctx, Tick(ctx), Token(), PortID()));
            break;
        case 22: Code("Vexa_ClearDataQueue", Vexa_ClearDataQueue(ctx, Token(), PortID())); break;
        case 23: {
            const uint32_t frames = NewSize();
            const int32_t channels = in_.U8() % 8 == 0 ? static_cast<int32_t>(in_.U8()) - 4
                                                      : 1 + in_.U8() % 2;
            Keep(ctx, Value("Vexa_CreateSample", Vexa_CreateSample(ctx, frames, channels)));
            break;
        }
        case 24: Keep(ctx, Value("Vexa_CreateEnvelope", Vexa_CreateEnvelope(ctx, NewSize()))); break;
        case 25: Keep(ctx, Value("Vexa_CreateTable", Vexa_CreateTable(ctx, NewSize()))); break;
        case 26: SampleCall(ctx); break;
        case 27: EnvelopeCall(ctx); break;
        case 28: TableCall(ctx); break;
        case 29: JavaCall(ctx); break;
        case 30: Code("Vexa_UseTable", Vexa_UseTable(ctx, Token(), PortID(), Part() % 2, Token()));
            break;
        case 31:
        case 32:
        case 33: Render(live, Ticks(static_cast<int32_t>(in_.U8() % 20) - 2), in_.U8() & 1,
                        in_.U8() & 1);
            break;
        case 34: {
            const int32_t ahead = Ticks(static_cast<int32_t>(in_.U8() % 40) - 8);
            if (in_.U8() & 1)
                Code("Vexa_SleepUntilTick", Vexa_SleepUntilTick(ctx, (ctx == live ? live->vxb_TickCount : 0) + ahead));
            else
                Code("Vexa_SleepForTicks", Vexa_SleepForTicks(ctx, ahead));
            break;
        }
        case 35: Code("Vexa_SetPriority",
                      Vexa_SetPriority(ctx, Token(), static_cast<int32_t>(in_.U8()) - 2));
            break;
        case 36: Value("Vexa_GetPriority", Vexa_GetPriority(ctx, Token())); break;
        case 37: Code("Vexa_CheckEngineErrors", Vexa_CheckEngineErrors(ctx)); break;
        case 38: Value("Vexa_GetObjectCount", Vexa_GetObjectCount(ctx)); break;
        case 39: Lifecycle(which); break;
        case 40: {
            const uint8_t code = in_.U8() % 8;
            const int32_t r = Vexa_Debug(ctx, code, static_cast<int32_t>(in_.U32()));
            if (code != 5 && r != -1) Code("Vexa_Debug", r);
            break;
        }
        case 41: /* the level is stored as given and read back as given */
            Vexa_SetTrace(ctx, static_cast<int32_t>(in_.U8() % 4) - 1);
            if (ctx != live && Vexa_GetTrace(ctx) != VXERR_INVALID_CONTEXT) Fail("Vexa_GetTrace", 0);
            break;
        case 42: {
            const int32_t size = static_cast<int32_t>(in_.U8()) - 8;
            std::vector<char> text(size > 0 ? size : 1);
            const int32_t r = Vexa_ErrorCodeToTextJava(static_cast<int32_t>(in_.U32()),
                                                       in_.U8() % 4 == 0 ? nullptr : text.data(), size);
            if (r < 0 || (size > 0 && r >= size)) Fail("Vexa_ErrorCodeToTextJava", r);
            if (Vexa_ErrorCodeToText(static_cast<int32_t>(in_.U32())) == nullptr)
                Fail("Vexa_ErrorCodeToText", 0);
            break;
        }
        case 43: /* counters and rates: any value, but an invalid context gives -63 */
            if (ctx != live) {
                if (Vexa_GetTickCount(ctx) != VXERR_INVALID_CONTEXT ||
                    Vexa_GetFrameRate(ctx) != VXERR_INVALID_CONTEXT ||
                    Vexa_GetUsage(ctx) != VXERR_INVALID_CONTEXT)
                    Fail("a counter of an invalid context", 0);
            } else {
                (void)Vexa_GetFrameCount(ctx);
                (void)Vexa_GetTickRate(ctx);
                (void)Vexa_GetUsage(ctx);
                Value("Vexa_GetFramesPerTick", Vexa_GetFramesPerTick(ctx));
            }
            break;
        default: /* the most common case: compute some ticks */
            Render(live, Ticks(in_.U8() % 8), true, true);
            break;
        }
    }

    void SampleCall(VexaContext *ctx) {
        const int32_t token = Token();
        const uint32_t start = Count(), frames = Count();
        const bool write = in_.U8() & 1, null = in_.U8() % 8 == 0;
        /* The C interface takes frames * channels values; two channels at most. */
        Buffer<int16_t> buffer(2 * static_cast<size_t>(std::min(frames, kMaxFrames + 1)),
                               static_cast<int16_t>(7));
        int16_t *data = null ? nullptr : buffer.data();
        Code(write ? "Vexa_WriteSample" : "Vexa_ReadSample",
             write ? Vexa_WriteSample(ctx, token, start, data, frames)
                   : Vexa_ReadSample(ctx, token, start, data, frames));
    }

    void EnvelopeCall(VexaContext *ctx) {
        const int32_t token = Token();
        const uint32_t start = Count(), frames = Count();
        const uint8_t kind = in_.U8() % 3;
        const double pattern[4] = {Number(), Number(), Number(), Number()};
        Buffer<double> buffer(2 * static_cast<size_t>(std::min(frames, kMaxFrames + 1)), pattern, 4);
        double *data = in_.U8() % 8 == 0 ? nullptr : buffer.data();
        if (kind == 0) {
            Code("Vexa_WriteEnvelope", Vexa_WriteEnvelope(ctx, token, start, data, frames));
        } else if (kind == 1) {
            Code("Vexa_ReadEnvelope", Vexa_ReadEnvelope(ctx, token, start, data, frames));
        } else {
            /* The byte buffer is as large as it says; the engine must not go beyond it. */
            const uint32_t maxBytes = in_.U8() % 4 == 0 ? in_.U32() % (buffer.size() * 8 + 1)
                                                        : static_cast<uint32_t>(buffer.size() * 8);
            Code("Vexa_ReadWriteEnvelope",
                 Vexa_ReadWriteEnvelope(ctx, token, start, frames, data, maxBytes, in_.U8() & 1));
        }
    }

    void TableCall(VexaContext *ctx) {
        const int32_t token = Token();
        const uint32_t start = Count(), frames = Count();
        const size_t n = std::min(frames, kMaxFrames + 1);
        if (in_.U8() & 1) {
            Buffer<int16_t> values(n, static_cast<int16_t>(in_.U32()));
            Code("Vexa_WriteTable", Vexa_WriteTable(ctx, token, start,
                                                    in_.U8() % 8 == 0 ? nullptr : values.data(), frames));
        } else {
            const double pattern[3] = {Number(), Number(), Number()};
            Buffer<double> values(n, pattern, 3);
            Code("Vexa_WriteTableDoubles",
                 Vexa_WriteTableDoubles(ctx, token, start, in_.U8() % 8 == 0 ? nullptr : values.data(),
                                        frames));
        }
    }

    /* The array variants: an array of `length` values, any offset and any frame count. */
    void JavaCall(VexaContext *ctx) {
        const int32_t token = Token();
        const uint32_t start = Count(), frames = Count(), offset = Count();
        const uint32_t length = in_.U8() % 4 == 0 ? 0 : in_.U8() + 256u * (in_.U8() % 16);
        const bool null = in_.U8() % 8 == 0;
        const uint8_t call = in_.U8() % 6;
        /* Only the array that the call takes is made. */
        const bool takesShorts = call == 0 || call == 1 || call == 4;
        Buffer<int16_t> shorts(takesShorts ? length : 0, static_cast<int16_t>(3));
        Buffer<double> doubles(takesShorts ? 0 : length, 0.25);
        int16_t *s = null ? nullptr : shorts.data();
        double *d = null ? nullptr : doubles.data();
        switch (call) {
        case 0: Code("Vexa_WriteSampleJava",
                     Vexa_WriteSampleJava(ctx, token, start, frames, s, offset, length));
            break;
        case 1: Code("Vexa_ReadSampleJava",
                     Vexa_ReadSampleJava(ctx, token, start, frames, s, offset, length));
            break;
        case 2: Code("Vexa_WriteEnvelopeJava",
                     Vexa_WriteEnvelopeJava(ctx, token, start, frames, d, offset, length));
            break;
        case 3: Code("Vexa_ReadEnvelopeJava",
                     Vexa_ReadEnvelopeJava(ctx, token, start, frames, d, offset, length));
            break;
        case 4: Code("Vexa_WriteTableJava",
                     Vexa_WriteTableJava(ctx, token, start, frames, s, offset, length));
            break;
        default: Code("Vexa_WriteTableDoublesJava",
                      Vexa_WriteTableDoublesJava(ctx, token, start, frames, d, offset, length));
            break;
        }
    }

    void Lifecycle(uint8_t which) {
        VexaContext *ctx = Live(which);
        switch (in_.U8() % 6) {
        case 0: Code("Vexa_Initialize", Vexa_Initialize(ctx)); break;
        case 1: {
            /* A terminate that ends the engine reports the allocations left: none. */
            const int32_t before = ctx->vxf_InitCount;
            const int32_t r = Vexa_Terminate(ctx);
            if (before == 1 && r != 0) Fail("Vexa_Terminate (allocations left)", r);
            Code("Vexa_Terminate", r > 0 ? 0 : r);
            break;
        }
        case 2: Start(ctx); break;
        case 3: Code("Vexa_Stop", Vexa_Stop(ctx)); break;
        case 4: /* no output device is looked up with 0x40, so PortAudio stays out of it */
            Code("Vexa_StartEngine",
                 Vexa_StartEngine(ctx, VX_FLAG_NO_DEVICE | VX_FLAG_NO_OUTPUT, 44100.0));
            break;
        default: {
            const int32_t before = ctx->vxf_InitCount;
            const int32_t r = Vexa_StopEngine(ctx);
            if (before == 1 && r != 0) Fail("Vexa_StopEngine (allocations left)", r);
            break;
        }
        }
    }

    /* Takes a context down completely and checks that nothing it allocated is left. */
    void Finish(VexaContext *ctx) {
        for (int i = 0; i < 1000 && ctx->vxf_InitCount > 1; i++)
            Code("Vexa_Terminate", Vexa_Terminate(ctx));
        if (ctx->vxf_InitCount > 1) Fail("Vexa_Terminate never brings the engine down", ctx->vxf_InitCount);
        if (ctx->vxf_InitCount == 1) {
            const int32_t r = Vexa_Terminate(ctx);
            if (r != 0) Fail("final Vexa_Terminate (allocations left)", r);
        }
        if (ctx->vxf_AllocCount != 0) Fail("allocations left after termination", ctx->vxf_AllocCount);
        if (Vexa_GetObjectCount(ctx) != 0) Fail("objects left after termination", Vexa_GetObjectCount(ctx));
        Vexa_DeleteContext(ctx);
    }

    Input &in_;
    VexaContext *contexts_[2] = {nullptr, nullptr};
    VexaContext *dead_ = nullptr;
    std::vector<int32_t> tokens_[2];
    int32_t ticksLeft_ = kMaxTicks;
};

/* Seeds that reach every unit type's block function: for each type, an input that creates a
 * unit of it and a sine oscillator, connects the sine to each of the unit's inputs in turn,
 * sets every input and variable part, starts both and computes ticks, changing signal types
 * and values between them; eight more units of the type run beside it, so that the plan puts
 * eight side by side and leaves one alone. The bytes follow the reads of Session step by step, so a change
 * to the input format must be followed here (VELTO_FUZZ_WRITE_SEEDS=DIR writes them). */
class SeedWriter {
  public:
    explicit SeedWriter(const Catalogue &catalogue) : catalogue_(catalogue) {}

    std::vector<uint8_t> ForType(size_t type, int32_t init, const UnitInfo *info) {
        bytes_.clear();
        for (int i = 0; i < 2; i++) Put({0x00, 0x00, 0x02, 0x00}); /* 44100 Hz, 2 outputs */
        const size_t sine = SineIndex();
        Put({0, 0, static_cast<uint8_t>(type), 1, static_cast<uint8_t>(init + 2)}); /* token 0 */
        Put({0, 0, static_cast<uint8_t>(sine), 1, 2});                            /* token 1 */
        for (int i = 0; i < kExtra; i++) /* tokens 2.. : enough of the type to fill lanes */
            Put({0, 0, static_cast<uint8_t>(type), 1, static_cast<uint8_t>(init + 2)});
        const uint32_t sineOutput = 0x004250f7u;
        for (int i = 0; i < info->numPorts; i++) {
            const PortInfo &port = info->ports[i];
            if (port.portKind & PORT_INPUT) { /* connect, compute, set its type, compute */
                Put({16, 0});
                Own(1);
                Port(sineOutput);
                Put({0});
                Own(0);
                Port(port.portID);
                Put({0});
            }
            if (port.portKind & (PORT_INPUT | PORT_VARIABLE)) {
                for (int part = 0; part < port.numParts && part < 4; part++) {
                    Put({9, 0});
                    Own(0);
                    Port(port.portID);
                    Put({static_cast<uint8_t>(part), static_cast<uint8_t>(3 + 2 * (i % 3))});
                }
            }
        }
        Put({5, 0});
        Own(1);
        Put({5, 0});
        Own(0);
        for (int i = 0; i < kExtra; i++) {
            Put({5, 0});
            Own(static_cast<uint8_t>(2 + i));
        }
        for (int round = 0; round < 6; round++) {
            Put({44, 0, 7}); /* compute 7 ticks */
            for (int i = 0; i < info->numPorts; i++) {
                const PortInfo &port = info->ports[i];
                if (!(port.portKind & PORT_INPUT)) continue;
                if (round % 2 == 0) { /* the next signal type (-4 + byte) */
                    Put({14, 0});
                    Own(0);
                    Port(port.portID);
                    Put({0, static_cast<uint8_t>(4 + round / 2)});
                } else if (round == 3) { /* back to a set value */
                    Put({18, 0});
                    Own(0);
                    Port(port.portID);
                    Put({0});
                }
            }
        }
        return bytes_;
    }

  private:
    static constexpr int kExtra = 8;
    void Put(std::initializer_list<uint8_t> values) { bytes_.insert(bytes_.end(), values); }
    void Own(uint8_t index) { Put({0, index}); } /* Token(): the own context's token `index` */
    void Port(uint32_t portID) {                  /* PortID(): the catalogue entry of portID */
        const auto &ports = catalogue_.ports;
        size_t index = 0;
        while (ports[index] != portID) index++;
        for (uint32_t high = 0; high < 256; high++)
            for (uint32_t low = 0; low < 240; low++)
                if ((low + 256u * high) % ports.size() == index) {
                    Put({static_cast<uint8_t>(low), static_cast<uint8_t>(high)});
                    return;
                }
        Fail("no bytes name port", static_cast<int64_t>(portID));
    }
    size_t SineIndex() const {
        size_t index = 0;
        while (catalogue_.types[index] != 0x01f28b71u) index++;
        return index;
    }

    const Catalogue &catalogue_;
    std::vector<uint8_t> bytes_;
};

void WriteSeeds(const char *dir) {
    const Catalogue &catalogue = GetCatalogue();
    VexaContext *ctx = Vexa_CreateContext();
    Vexa_Initialize(ctx);
    Vexa_StartDevices(ctx, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, 0, 2);
    SeedWriter writer(catalogue);
    size_t index = 0;
    for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next, index++) {
        /* Delay lines need a length; other types take 0. */
        int32_t init = 16;
        const int32_t probe = Vexa_CreateUnit(ctx, info->typeID, 0, init);
        if (probe < 0) init = 0;
        else Vexa_Delete(ctx, probe);
        /* One seed per vector build: a harmless last step (reading the object count, two
         * bytes that add 2 to the sum modulo 3) repeated until the sum picks the build. */
        static const char *const kBuilds[] = {"base", "avx2", "avx512"};
        for (int build = 0; build < 3; build++) {
            std::vector<uint8_t> seed = writer.ForType(index, init, info);
            auto sum = [&] {
                uint32_t total = 0;
                for (uint8_t byte : seed) total += byte;
                return total % 3;
            };
            while (sum() != static_cast<uint32_t>(build)) seed.insert(seed.end(), {38, 0});
            char path[4096];
            std::snprintf(path, sizeof path, "%s/seed-type-%s-%s", dir, info->name, kBuilds[build]);
            FILE *file = std::fopen(path, "wb");
            if (file == nullptr) Fail("cannot write a seed", 0);
            std::fwrite(seed.data(), 1, seed.size(), file);
            std::fclose(file);
        }
    }
    Vexa_Terminate(ctx);
    Vexa_DeleteContext(ctx);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (const char *dir = std::getenv("VELTO_FUZZ_WRITE_SEEDS")) {
        WriteSeeds(dir);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    GetCatalogue();
    UseBuildFor(data, size);
    Input in(data, size);
    Session session(in);
    session.Run();
    return 0;
}
