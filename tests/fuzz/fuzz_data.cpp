/*
 * fuzz_data.cpp - a libFuzzer target for the data calls: samples, envelopes and tables created,
 * written and read (directly, through the byte-limited envelope copy and through the Java-style
 * array variants), regions queued on and cleared from the queue ports of the players and
 * recorders, and tables attached to and detached from table ports, with batches computed, port
 * values set, units started and stopped, and things deleted in between, on a context started
 * without a device (and a second one, used now and then, for tokens of the wrong context).
 *
 * The unit types come from the catalogue: every type with a queue or table port, and now and
 * then any other type. Sizes, first frames, frame counts, array offsets and lengths and byte
 * limits are picked around the edges of the thing they address (0, 1, one short, exact, one
 * over, sums that wrap around 32 bits, huge values); creation sizes are small or just above
 * what the engine accepts.
 *
 * The target keeps a model of every thing it made: its kind, size, channels and the contents
 * as last written. Every data call's result is checked against the contract of velto.h for the
 * arguments given: 0 when every argument is valid, otherwise one of the errors that apply (in
 * whatever order the engine checks them). Every read must return what the model holds (except
 * for samples that a recorder may have written into), and after every table write the table
 * must hold exactly the model's values. Buffers are exactly as large as the contract requires
 * for the arguments given, so that any access outside them is the engine's fault; other calls
 * must return a code of the error table. At the end every context must terminate with no
 * engine allocation outstanding and no thing left. AddressSanitizer and
 * UndefinedBehaviorSanitizer catch the rest.
 */
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

#include "fuzz_support.h"
#include "vx_internal.h"

namespace {

using namespace velto_fuzz;

/* Bounds of one input, as in fuzz_api: calls made, and ticks computed on both contexts. */
constexpr int kMaxSteps = 256;
constexpr int32_t kMaxTicks = 64;

/* The largest thing made here has kMaxFrames frames; no buffer of a call ever needs more than
 * kMaxFrames + 1 frames, since a count above the size of every thing must be refused. */
constexpr uint32_t kMaxFrames = 4096;
constexpr uint32_t kMaxArray = 4 * (kMaxFrames + 1) + 64; /* values of a Java-style array */

constexpr float kShortToSignal = 3.0517578125e-5f; /* 1/32768, as the tables store shorts */

/* The unit types: those with a queue or table port, and all of them. */
struct Types {
    std::vector<const UnitInfo *> data;
    std::vector<const UnitInfo *> all;
    std::vector<uint32_t> portIDs; /* every port ID of the catalogue */
};

const Types &GetTypes() {
    static Types *types = [] {
        auto *t = new Types;
        VexaContext *ctx = Vexa_CreateContext();
        Vexa_Initialize(ctx);
        /* The descriptors are static: they outlive the context. */
        for (const UnitInfo *info = ctx->vxf_UnitTypes; info != nullptr; info = info->next) {
            t->all.push_back(info);
            bool data = false;
            for (int i = 0; i < info->numPorts; i++) {
                data |= (info->ports[i].portKind & (PORT_QUEUE | PORT_TABLE)) != 0;
                t->portIDs.push_back(info->ports[i].portID);
            }
            if (data) t->data.push_back(info);
        }
        Vexa_Terminate(ctx);
        Vexa_DeleteContext(ctx);
        if (t->data.empty()) Fail("no unit type with a queue or table port", 0);
        return t;
    }();
    return *types;
}

const PortInfo *FindPort(const UnitInfo *info, uint32_t portID) {
    for (int i = 0; i < info->numPorts; i++)
        if (info->ports[i].portID == portID) return &info->ports[i];
    return nullptr;
}

/* The results a call may give: none allowed means it must succeed; otherwise it must fail with
 * one of the codes allowed (each one an error that applies to the arguments given). */
class Expect {
  public:
    void Allow(int32_t code) { mask_ |= Bit(code); }
    bool Clean() const { return mask_ == 0; }

    int32_t Check(const char *what, int32_t r) const {
        Trace(what, r);
        if (mask_ == 0 ? r == 0 : Allowed(r)) return r;
        Report(what, r);
    }

    /* For calls that return a token when they succeed. */
    int32_t CheckToken(const char *what, int32_t r) const {
        Trace(what, r);
        if (mask_ == 0 ? r > 0 : Allowed(r)) return r;
        Report(what, r);
    }

  private:
    static uint64_t Bit(int32_t code) { return uint64_t{1} << (-code - 60); }
    bool Allowed(int32_t r) const { return IsErrorCode(r) && (mask_ & Bit(r)) != 0; }

    [[noreturn]] void Report(const char *what, int32_t r) const {
        std::fprintf(stderr, "velto fuzz target: %s: expected", what);
        if (mask_ == 0) std::fprintf(stderr, " success");
        for (int32_t code = VXERR_INVALID_TOKEN_TYPE; code <= VXERR_INVALID_DEVICE; code++)
            if ((mask_ & Bit(code)) != 0) std::fprintf(stderr, " %d", code);
        std::fprintf(stderr, "\n");
        Fail(what, r);
    }

    uint64_t mask_ = 0;
};

/* A thing the target made, as the model knows it. */
struct Thing {
    int32_t token = 0;
    uint8_t kind = VXT_UNIT;
    bool live = true;
    const UnitInfo *info = nullptr; /* units */
    uint32_t frames = 0;            /* data: frames (values of a table) */
    int32_t channels = 1;           /* samples */
    bool recorded = false;          /* a sample queued on a recorder: the engine writes into it */
    std::vector<uint8_t> contents;  /* data: the bytes as last written; zero when created */

    size_t FrameBytes() const {
        return kind == VXT_SAMPLE ? 2u * channels : kind == VXT_ENVELOPE ? 16u : 4u;
    }
};

struct Engine {
    VexaContext *ctx = nullptr;
    std::deque<Thing> things; /* stable addresses */
    bool started = false;
    int32_t flags = 0;
    double frameRate = 44100.0;
};

class Session {
  public:
    explicit Session(Input &in) : in_(in) {}

    void Run() {
        Open(0);
        /* A deleted context; its pointer must be refused (unless its block came back as the
         * second context, which the checks then treat as that context). */
        dead_ = Vexa_CreateContext();
        Vexa_DeleteContext(dead_);
        for (int steps = 0; steps < kMaxSteps && !in_.Empty(); steps++) Step();
        for (int i = 0; i < 2; i++)
            if (engines_[i].ctx != nullptr) Close(i);
    }

  private:
    /* ---- Contexts ---------------------------------------------------------------------- */

    void Open(int i) {
        Engine &e = engines_[i];
        e.ctx = Vexa_CreateContext();
        if (e.ctx == nullptr) Fail("Vexa_CreateContext", 0);
        Expect().Check("Vexa_Initialize", Vexa_Initialize(e.ctx));
        static const double kRates[] = {44100.0, 8000.0, 96000.0, 1.0,
                                        std::numeric_limits<double>::quiet_NaN(), 22050.0};
        const uint8_t how = in_.U8();
        e.flags = VX_FLAG_NO_DEVICE;
        e.frameRate = kRates[(how >> 4) % 6];
        StartEngine(e, how & 3, (how >> 2) & 3);
    }

    void StartEngine(Engine &e, int32_t inChannels, int32_t outChannels) {
        Expect().Check("Vexa_StartDevices",
                       Vexa_StartDevices(e.ctx, e.flags, e.frameRate, inChannels > 0 ? 0 : -1,
                                         inChannels, outChannels > 0 ? 0 : -1, outChannels));
        e.started = true;
    }

    /* Ends the engine of a context completely: nothing it allocated may be left. */
    void EndEngine(Engine &e) {
        for (int i = 0; i < 100 && e.ctx->vxf_InitCount > 1; i++)
            Expect().Check("Vexa_Terminate", Vexa_Terminate(e.ctx));
        if (e.ctx->vxf_InitCount != 1) Fail("Vexa_Terminate never brings the engine down", e.ctx->vxf_InitCount);
        const int32_t left = Vexa_Terminate(e.ctx);
        if (left != 0) Fail("last Vexa_Terminate (allocations left)", left);
        if (e.ctx->vxf_AllocCount != 0) Fail("allocations left after termination", e.ctx->vxf_AllocCount);
        if (Vexa_GetObjectCount(e.ctx) != 0) Fail("things left after termination", Vexa_GetObjectCount(e.ctx));
        for (Thing &t : e.things) t.live = false;
        e.started = false;
    }

    void Close(int i) {
        EndEngine(engines_[i]);
        Vexa_DeleteContext(engines_[i].ctx);
        engines_[i].ctx = nullptr;
    }

    /* The engine a call addresses (the second one is opened on first use), and the context
     * pointer it passes: mostly that engine's, sometimes null or the deleted one. */
    int EngineOf(uint8_t which) {
        const int i = which % 8 == 7 ? 1 : 0;
        if (engines_[i].ctx == nullptr) Open(i);
        return i;
    }

    VexaContext *PointerFor(uint8_t which, int i) {
        switch ((which >> 3) % 16) {
        case 14: return nullptr;
        case 15: return dead_;
        default: return engines_[i].ctx;
        }
    }

    /* The engine a pointer names, or -1. */
    int Named(VexaContext *ctx) const {
        for (int i = 0; i < 2; i++)
            if (ctx != nullptr && ctx == engines_[i].ctx) return i;
        return -1;
    }

    /* ---- Tokens ------------------------------------------------------------------------ */

    Thing *FindLive(int i, int32_t token) {
        for (Thing &t : engines_[i].things)
            if (t.live && t.token == token) return &t;
        return nullptr;
    }

    Thing *PickThing(std::deque<Thing> &things, bool wantLive, int kind, uint8_t selector) {
        int count = 0;
        for (const Thing &t : things)
            if (t.live == wantLive && (kind < 0 || t.kind == kind)) count++;
        if (count == 0) return nullptr;
        int n = selector % count;
        for (Thing &t : things)
            if (t.live == wantLive && (kind < 0 || t.kind == kind) && n-- == 0) return &t;
        return nullptr;
    }

    /* A token for a call on engine i that wants a thing of `kind`: mostly a live one of that
     * kind, else one of another kind, a deleted one, one of the other context, one with a bit
     * changed, 0, or made up. */
    int32_t Token(int i, int kind) {
        Engine &e = engines_[i];
        const uint8_t how = in_.U8();
        const uint8_t selector = in_.U8();
        Thing *t = nullptr;
        switch (how % 16) {
        case 10: t = PickThing(e.things, true, -1, selector); break;
        case 11: t = PickThing(e.things, false, -1, selector); break;
        case 12: t = PickThing(engines_[i ^ 1].things, true, -1, selector); break;
        case 13:
            t = PickThing(e.things, true, kind, selector);
            if (t != nullptr) return t->token ^ (1 << (in_.U8() % 32));
            return -1;
        case 14: return 0;
        case 15: return in_.U8() & 1 ? static_cast<int32_t>(in_.U32()) : static_cast<int32_t>(in_.U8()) - 8;
        default: t = PickThing(e.things, true, kind, selector); break;
        }
        if (t == nullptr) t = PickThing(e.things, true, -1, selector);
        return t != nullptr ? t->token : 0x00010000;
    }

    /* What the engine must say about a token that should name a thing of `kind` on engine i;
     * returns that thing when it does. */
    Thing *ExpectThing(Expect &expect, int i, int32_t token, int kind) {
        Thing *t = FindLive(i, token);
        if (t == nullptr) {
            expect.Allow(VXERR_INVALID_TOKEN);
            const int32_t bits = static_cast<int32_t>(engines_[i].ctx->vxc_ID & 0x7F);
            if (token > 0 && ((token >> 24) & 0x7F) != bits) expect.Allow(VXERR_WRONG_CONTEXT);
            return nullptr;
        }
        if (kind >= 0 && t->kind != kind) {
            expect.Allow(VXERR_INVALID_TOKEN_TYPE);
            return nullptr;
        }
        return t;
    }

    /* A port ID for a unit: mostly one of its ports of the kinds wanted, else any of its ports,
     * any port of the catalogue, or a made-up one. */
    uint32_t PortID(const Thing *unit, uint8_t kinds) {
        const uint8_t how = in_.U8();
        const uint8_t selector = in_.U8();
        if (unit != nullptr && unit->info != nullptr && how % 16 < 13) {
            const UnitInfo *info = unit->info;
            int count = 0;
            for (int k = 0; k < info->numPorts; k++) count += (info->ports[k].portKind & kinds) != 0;
            if (count > 0 && how % 16 < 11) {
                int n = selector % count;
                for (int k = 0; k < info->numPorts; k++)
                    if ((info->ports[k].portKind & kinds) != 0 && n-- == 0) return info->ports[k].portID;
            }
            if (info->numPorts > 0) return info->ports[selector % info->numPorts].portID;
        }
        const auto &ids = GetTypes().portIDs;
        if (how % 16 < 15) return ids[(selector + 256u * in_.U8()) % ids.size()];
        return in_.U32();
    }

    /* What the engine must say about a port of a live unit that should be of `kinds`; returns
     * the port when it is one. */
    static const PortInfo *ExpectPort(Expect &expect, const Thing *unit, uint32_t portID, uint8_t kinds) {
        const PortInfo *port = FindPort(unit->info, portID);
        if (port == nullptr) {
            expect.Allow(VXERR_NOT_FOUND);
            return nullptr;
        }
        if ((port->portKind & kinds) == 0) {
            expect.Allow(VXERR_INVALID_PORT_TYPE);
            return nullptr;
        }
        return port;
    }

    /* ---- Arguments --------------------------------------------------------------------- */

    /* Frames of a new thing: small, at block edges, 0, or just above what a thing of
     * `frameBytes` bytes a frame may have (larger sizes would really be allocated). */
    uint32_t NewFrames(uint32_t frameBytes) {
        static const uint32_t kEdges[] = {1, 2, 3, 7, 8, 9, 63, 64, 65, 127, 128, 129, 511, 512, 513, 4095, 4096};
        const uint8_t how = in_.U8();
        if (how < 140) return 1 + how % 64;
        if (how < 200) return kEdges[how % (sizeof(kEdges) / sizeof(kEdges[0]))];
        if (how < 215) return 0;
        if (how < 240 && frameBytes > 0) return 0x7FFFFFFFu / frameBytes + 1;
        static const uint32_t kHuge[] = {0x80000000u, 0xFFFFFFFFu, 0x40000000u, 0x7FFFFFFFu};
        return kHuge[how % 4];
    }

    /* A first frame in a thing of `total` frames: inside, at the edges, past the end, huge. */
    uint32_t First(uint32_t total) {
        const uint8_t how = in_.U8();
        switch (how % 12) {
        case 0:
        case 1:
        case 2: return 0;
        case 3: return total == 0 ? 0 : total - 1;
        case 4: return total;
        case 5: return total + 1;
        case 6: return 0x80000000u;
        case 7: return 0xFFFFFFFFu;
        default: return total == 0 ? 0 : in_.U16() % total;
        }
    }

    /* A frame count from `first` in a thing of `total` frames: 0, 1, what is left, one short,
     * one over, the whole size, one that wraps first + count around 32 bits, huge. */
    uint32_t Count(uint32_t total, uint32_t first) {
        const uint32_t room = first <= total ? total - first : 0;
        const uint8_t how = in_.U8();
        switch (how % 14) {
        case 0: return 0;
        case 1: return 1;
        case 2: return room == 0 ? 0 : room - 1;
        case 3:
        case 4: return room;
        case 5: return room + 1;
        case 6: return total;
        case 7: return total + 1;
        case 8: return first == 0 ? 0xFFFFFFFFu : 0u - first; /* first + count = 2^32 */
        case 9: return 0x7FFFFFFFu;
        case 10: return 0xFFFFFFFFu;
        default: return room == 0 ? in_.U8() % 4 : 1 + in_.U16() % room;
        }
    }

    /* Out of range in the sense of the copy calls: the frames do not all lie in the thing. */
    static bool OutsideCopy(uint32_t total, uint32_t first, uint32_t count) {
        return first > total || count > total || uint64_t{first} + count > total;
    }

    /* Out of range in the sense of the queue calls: the region is empty or not in the thing. */
    static bool OutsideRegion(uint32_t total, uint32_t first, uint32_t count) {
        return first >= total || count == 0 || count > total || uint64_t{first} + count > total;
    }

    /* A Java-style array for `needed` values after an offset counted in units of `scale`
     * values: the offset and the length, each exact, off by one or beyond. */
    struct Array {
        uint32_t offset;
        uint32_t length;
    };
    Array JavaArray(uint64_t needed, uint32_t scale) {
        const uint32_t lead = in_.U8() % 4 == 0 ? 0 : in_.U8() % 16;
        const uint64_t exact = uint64_t{lead} * scale + needed;
        uint64_t length;
        switch (in_.U8() % 8) {
        case 3: length = exact == 0 ? 0 : exact - 1; break;
        case 4: length = exact + 1; break;
        case 5: length = 0; break;
        case 6: length = in_.U8() % 64; break;
        case 7: length = uint64_t{lead} * scale; break;
        default: length = exact; break;
        }
        Array a;
        a.length = static_cast<uint32_t>(std::min<uint64_t>(length, kMaxArray));
        switch (in_.U8() % 10) {
        case 6: a.offset = a.length / scale; break;
        case 7: a.offset = a.length / scale + 1; break;
        case 8: a.offset = in_.U8() & 1 ? 0x80000000u : 0x7FFFFFFFu; break;
        case 9: a.offset = 0xFFFFFFFFu; break;
        default: a.offset = lead; break;
        }
        return a;
    }

    double Number() {
        static const double kValues[] = {
            0.0, 1.0, -1.0, 0.5, 2.0, 440.0, 22050.0, 44100.0, 1e-3, 1e6, 1e30, -1e30,
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), 1e-310, 3.5e38, -3.5e38,
            std::numeric_limits<double>::max(), 2147483648.0, -0.0, 0.999, 32768.0, 1e-5};
        const uint8_t how = in_.U8();
        if (how < 200) return kValues[how % (sizeof(kValues) / sizeof(kValues[0]))];
        uint64_t bits = in_.U64();
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

    int32_t Tick(int i) {
        const uint8_t how = in_.U8();
        const int32_t now = engines_[i].ctx->vxb_TickCount;
        if (how < 200) return now + static_cast<int32_t>(how % 48) - 8;
        if (how < 230) return static_cast<int32_t>(in_.U32());
        return now + INT32_MAX / 2 + (how & 3);
    }

    int32_t Ticks(int32_t wanted) {
        if (wanted <= 0) return wanted;
        const int32_t granted = std::min(wanted, ticksLeft_);
        ticksLeft_ -= granted;
        return granted;
    }

    /* ---- The calls --------------------------------------------------------------------- */

    void Step() {
        const uint8_t op = in_.U8();
        const uint8_t which = in_.U8();
        const int i = EngineOf(which);
        VexaContext *ctx = PointerFor(which, i);
        const bool valid = Named(ctx) == i;
        switch (op % 40) {
        case 0:
        case 1: Create(ctx, i, valid); break;
        case 2:
        case 3: SampleCopy(ctx, i, valid); break;
        case 4: SampleCopyJava(ctx, i, valid); break;
        case 5:
        case 6: EnvelopeCopy(ctx, i, valid); break;
        case 7: EnvelopeCopyLimited(ctx, i, valid); break;
        case 8: EnvelopeCopyJava(ctx, i, valid); break;
        case 9:
        case 10: TableWrite(ctx, i, valid); break;
        case 11: TableWriteJava(ctx, i, valid); break;
        case 12:
        case 13:
        case 14: CreateUnit(ctx, i, valid); break;
        case 15:
        case 16:
        case 17: QueueData(ctx, i, valid); break;
        case 18: ClearQueue(ctx, i, valid); break;
        case 19:
        case 20: UseTable(ctx, i, valid); break;
        case 21:
        case 22: Delete(ctx, i, valid); break;
        case 27: StartStop(ctx, i); break;
        case 28:
        case 29: SetPort(ctx, i); break;
        case 30: SignalType(ctx, i); break;
        case 31: Connect(ctx, i); break;
        case 32: ReadQueuePort(ctx, i); break;
        case 33: Lifecycle(i); break;
        case 34: {
            const int32_t count = Vexa_GetObjectCount(ctx);
            if (!valid) {
                if (count != VXERR_INVALID_CONTEXT) Fail("Vexa_GetObjectCount of an invalid context", count);
                break;
            }
            /* Deleted things may still be held; live ones all exist. */
            int32_t live = 0;
            for (const Thing &t : engines_[i].things) live += t.live;
            if (count < live) Fail("Vexa_GetObjectCount (fewer than the live things)", count);
            break;
        }
        case 35: Code("Vexa_SleepForTicks", Vexa_SleepForTicks(ctx, Ticks(static_cast<int32_t>(in_.U8() % 24) - 4)));
            break;
        default: Render(i, Ticks(static_cast<int32_t>(in_.U8() % 6)));
            break;
        }
    }

    void Create(VexaContext *ctx, int i, bool valid) {
        const uint8_t kind = 1 + in_.U8() % 3;
        Expect expect;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        int32_t channels = 1;
        uint32_t frameBytes;
        if (kind == VXT_SAMPLE) {
            static const int32_t kOdd[] = {0, 3, -1, 257, 258, INT32_MIN, 16};
            const uint8_t how = in_.U8();
            channels = how < 224 ? 1 + how % 2 : kOdd[how % 7];
            frameBytes = channels == 1 || channels == 2 ? 2u * channels : 0;
        } else {
            frameBytes = kind == VXT_ENVELOPE ? 16 : 4;
        }
        const uint32_t frames = NewFrames(frameBytes);
        if (valid && (frames == 0 || frameBytes == 0 || uint64_t{frames} * frameBytes > INT32_MAX))
            expect.Allow(VXERR_OUT_OF_RANGE);
        int32_t token;
        if (kind == VXT_SAMPLE) {
            token = expect.CheckToken("Vexa_CreateSample", Vexa_CreateSample(ctx, frames, channels));
        } else if (kind == VXT_ENVELOPE) {
            token = expect.CheckToken("Vexa_CreateEnvelope", Vexa_CreateEnvelope(ctx, frames));
        } else {
            token = expect.CheckToken("Vexa_CreateTable", Vexa_CreateTable(ctx, frames));
        }
        if (token <= 0) return;
        Thing t;
        t.token = token;
        t.kind = kind;
        t.frames = frames;
        t.channels = channels;
        t.contents.assign(static_cast<size_t>(frames) * t.FrameBytes(), 0);
        engines_[i].things.push_back(std::move(t));
    }

    /* Checks a read against the model, or takes a write into it. */
    static void Compare(const char *what, const Thing *t, uint32_t first, const void *data, uint64_t bytes) {
        if (bytes == 0 || (t->kind == VXT_SAMPLE && t->recorded)) return;
        if (std::memcmp(t->contents.data() + first * t->FrameBytes(), data, bytes) != 0)
            Fail(what, -1); /* the frames read are not those last written */
    }

    static void Take(Thing *t, uint32_t first, const void *data, uint64_t bytes) {
        if (bytes > 0) std::memcpy(t->contents.data() + first * t->FrameBytes(), data, bytes);
    }

    void SampleCopy(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_SAMPLE);
        Expect expect;
        Thing *t = nullptr;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else t = ExpectThing(expect, i, token, VXT_SAMPLE);
        const uint32_t total = t != nullptr ? t->frames : kMaxFrames;
        const int32_t channels = t != nullptr ? t->channels : 2;
        const uint32_t first = First(total), count = Count(total, first);
        const bool write = in_.U8() & 1, null = in_.U8() % 16 == 0;
        const uint64_t bytes = uint64_t{count} * 2 * channels;
        if (t != nullptr && (OutsideCopy(total, first, count) || (null && count > 0)))
            expect.Allow(VXERR_OUT_OF_RANGE);
        const int16_t pattern[3] = {static_cast<int16_t>(in_.U16()), static_cast<int16_t>(in_.U16()), -32768};
        Buffer<int16_t> buffer(static_cast<size_t>(channels) * std::min(count, kMaxFrames + 1), pattern, 3);
        int16_t *data = null ? nullptr : buffer.data();
        if (write) {
            if (expect.Check("Vexa_WriteSample", Vexa_WriteSample(ctx, token, first, data, count)) == 0 && t)
                Take(t, first, data, bytes);
        } else {
            if (expect.Check("Vexa_ReadSample", Vexa_ReadSample(ctx, token, first, data, count)) == 0 && t)
                Compare("Vexa_ReadSample (contents)", t, first, data, bytes);
        }
    }

    void SampleCopyJava(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_SAMPLE);
        Expect expect;
        Thing *t = nullptr;
        const Thing *guess = valid ? FindLive(i, token) : nullptr;
        const bool known = guess != nullptr && guess->kind == VXT_SAMPLE;
        const uint32_t total = known ? guess->frames : kMaxFrames;
        const int32_t channels = known ? guess->channels : 2;
        const uint32_t first = First(total), count = Count(total, first);
        const uint64_t needed = uint64_t{count} * channels;
        const Array a = JavaArray(needed, 1);
        const bool write = in_.U8() & 1, null = in_.U8() % 16 == 0;
        if (!valid) {
            expect.Allow(VXERR_INVALID_CONTEXT);
        } else if (a.offset > a.length) {
            expect.Allow(VXERR_OUT_OF_RANGE);
        } else if ((t = ExpectThing(expect, i, token, VXT_SAMPLE)) != nullptr) {
            if (OutsideCopy(total, first, count) || needed > a.length - a.offset || (null && count > 0))
                expect.Allow(VXERR_OUT_OF_RANGE);
        }
        const int16_t pattern[2] = {static_cast<int16_t>(in_.U16()), static_cast<int16_t>(in_.U16())};
        Buffer<int16_t> array(a.length, pattern, 2);
        int16_t *base = null ? nullptr : array.data();
        if (write) {
            if (expect.Check("Vexa_WriteSampleJava",
                             Vexa_WriteSampleJava(ctx, token, first, count, base, a.offset, a.length)) == 0 &&
                t != nullptr && count > 0)
                Take(t, first, base + a.offset, needed * 2);
        } else {
            if (expect.Check("Vexa_ReadSampleJava",
                             Vexa_ReadSampleJava(ctx, token, first, count, base, a.offset, a.length)) == 0 &&
                t != nullptr && count > 0)
                Compare("Vexa_ReadSampleJava (contents)", t, first, base + a.offset, needed * 2);
        }
    }

    void EnvelopePattern(double (&pattern)[4]) {
        for (double &v : pattern) v = Number();
    }

    void EnvelopeCopy(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_ENVELOPE);
        Expect expect;
        Thing *t = nullptr;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else t = ExpectThing(expect, i, token, VXT_ENVELOPE);
        const uint32_t total = t != nullptr ? t->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        const bool write = in_.U8() & 1, null = in_.U8() % 16 == 0;
        if (t != nullptr && (OutsideCopy(total, first, count) || (null && count > 0)))
            expect.Allow(VXERR_OUT_OF_RANGE);
        double pattern[4];
        EnvelopePattern(pattern);
        Buffer<double> buffer(2 * static_cast<size_t>(std::min(count, kMaxFrames + 1)), pattern, 4);
        double *data = null ? nullptr : buffer.data();
        const uint64_t bytes = uint64_t{count} * 16;
        if (write) {
            if (expect.Check("Vexa_WriteEnvelope", Vexa_WriteEnvelope(ctx, token, first, data, count)) == 0 && t)
                Take(t, first, data, bytes);
        } else {
            if (expect.Check("Vexa_ReadEnvelope", Vexa_ReadEnvelope(ctx, token, first, data, count)) == 0 && t)
                Compare("Vexa_ReadEnvelope (contents)", t, first, data, bytes);
        }
    }

    /* Vexa_ReadWriteEnvelope with a buffer of exactly maxBytes bytes (or of the bytes the copy
     * takes, when that is less). */
    void EnvelopeCopyLimited(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_ENVELOPE);
        Expect expect;
        Thing *t = nullptr;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else t = ExpectThing(expect, i, token, VXT_ENVELOPE);
        const uint32_t total = t != nullptr ? t->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        const uint64_t bytes = uint64_t{count} * 16;
        const uint64_t bounded = uint64_t{std::min(count, kMaxFrames + 1)} * 16;
        uint32_t maxBytes;
        switch (in_.U8() % 8) {
        case 0: maxBytes = bytes > 16 ? static_cast<uint32_t>(std::min<uint64_t>(bytes - 1, UINT32_MAX)) : 0; break;
        case 1: maxBytes = bytes > 8 ? static_cast<uint32_t>(std::min<uint64_t>(bytes - 8, UINT32_MAX)) : 0; break;
        case 2: maxBytes = static_cast<uint32_t>(std::min<uint64_t>(bytes + 1, UINT32_MAX)); break;
        case 3: maxBytes = 0; break;
        case 4: maxBytes = UINT32_MAX; break;
        case 5: maxBytes = in_.U16(); break;
        default: maxBytes = static_cast<uint32_t>(std::min<uint64_t>(bytes, UINT32_MAX)); break;
        }
        const bool write = in_.U8() & 1, null = in_.U8() % 16 == 0;
        if (t != nullptr && (OutsideCopy(total, first, count) || bytes > maxBytes || (null && count > 0)))
            expect.Allow(VXERR_OUT_OF_RANGE);
        double pattern[4];
        EnvelopePattern(pattern);
        Buffer<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(maxBytes, bounded)),
                               reinterpret_cast<const uint8_t *>(pattern), sizeof(pattern));
        uint8_t *data = null ? nullptr : buffer.data();
        const int32_t r = expect.Check("Vexa_ReadWriteEnvelope",
                                       Vexa_ReadWriteEnvelope(ctx, token, first, count, data, maxBytes, write));
        if (r != 0 || t == nullptr) return;
        if (write) Take(t, first, data, bytes);
        else Compare("Vexa_ReadWriteEnvelope (contents)", t, first, data, bytes);
    }

    void EnvelopeCopyJava(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_ENVELOPE);
        Expect expect;
        Thing *t = nullptr;
        const Thing *guess = valid ? FindLive(i, token) : nullptr;
        const bool known = guess != nullptr && guess->kind == VXT_ENVELOPE;
        const uint32_t total = known ? guess->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        const uint64_t needed = uint64_t{count} * 2; /* doubles */
        const Array a = JavaArray(needed, 2);        /* the offset counts frames */
        const bool write = in_.U8() & 1, null = in_.U8() % 16 == 0;
        const uint64_t skipped = uint64_t{a.offset} * 2;
        if (!valid) {
            expect.Allow(VXERR_INVALID_CONTEXT);
        } else if (skipped > a.length) {
            expect.Allow(VXERR_OUT_OF_RANGE);
        } else if ((t = ExpectThing(expect, i, token, VXT_ENVELOPE)) != nullptr) {
            if (OutsideCopy(total, first, count) || needed > a.length - skipped || (null && count > 0))
                expect.Allow(VXERR_OUT_OF_RANGE);
        }
        double pattern[4];
        EnvelopePattern(pattern);
        Buffer<double> array(a.length, pattern, 4);
        double *base = null ? nullptr : array.data();
        if (write) {
            if (expect.Check("Vexa_WriteEnvelopeJava",
                             Vexa_WriteEnvelopeJava(ctx, token, first, count, base, a.offset, a.length)) == 0 &&
                t != nullptr && count > 0)
                Take(t, first, base + skipped, needed * 8);
        } else {
            if (expect.Check("Vexa_ReadEnvelopeJava",
                             Vexa_ReadEnvelopeJava(ctx, token, first, count, base, a.offset, a.length)) == 0 &&
                t != nullptr && count > 0)
                Compare("Vexa_ReadEnvelopeJava (contents)", t, first, base + skipped, needed * 8);
        }
    }

    /* The value a table stores for a double (Windows clips). */
    static float TableValue(double value) {
        if (VX_HOST_CLIPS_TABLE_DOUBLES) value = value > 1.0 ? 1.0 : value < -1.0 ? -1.0 : value;
        return static_cast<float>(value);
    }

    /* Takes written values into the model and checks that the table holds exactly the model's
     * values: the values written, and nothing changed around them. */
    void TakeTable(int i, Thing *t, uint32_t first, const int16_t *shorts, const double *doubles, uint32_t count) {
        float *model = reinterpret_cast<float *>(t->contents.data()) + first;
        for (uint32_t k = 0; k < count; k++)
            model[k] = shorts != nullptr ? static_cast<float>(shorts[k]) * kShortToSignal : TableValue(doubles[k]);
        const VexaDataThing *table =
            reinterpret_cast<const VexaDataThing *>(VexaF_ThingFromToken(engines_[i].ctx, t->token));
        if (table == nullptr || table->vxt_NumFrames != t->frames ||
            std::memcmp(table->vxt_Data, t->contents.data(), t->contents.size()) != 0)
            Fail("a table write (the table does not hold the values written)", t->token);
    }

    void TableWrite(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_TABLE);
        Expect expect;
        Thing *t = nullptr;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else t = ExpectThing(expect, i, token, VXT_TABLE);
        const uint32_t total = t != nullptr ? t->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        const bool shorts = in_.U8() & 1, null = in_.U8() % 16 == 0;
        if (t != nullptr && (OutsideCopy(total, first, count) || (null && count > 0)))
            expect.Allow(VXERR_OUT_OF_RANGE);
        const size_t n = std::min(count, kMaxFrames + 1);
        if (shorts) {
            const int16_t pattern[3] = {static_cast<int16_t>(in_.U16()), -32768, 32767};
            Buffer<int16_t> values(n, pattern, 3);
            const int16_t *data = null ? nullptr : values.data();
            if (expect.Check("Vexa_WriteTable", Vexa_WriteTable(ctx, token, first, data, count)) == 0 && t)
                TakeTable(i, t, first, data, nullptr, count);
        } else {
            double pattern[4];
            EnvelopePattern(pattern);
            Buffer<double> values(n, pattern, 4);
            const double *data = null ? nullptr : values.data();
            if (expect.Check("Vexa_WriteTableDoubles", Vexa_WriteTableDoubles(ctx, token, first, data, count)) == 0 && t)
                TakeTable(i, t, first, nullptr, data, count);
        }
    }

    void TableWriteJava(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, VXT_TABLE);
        Expect expect;
        Thing *t = nullptr;
        const Thing *guess = valid ? FindLive(i, token) : nullptr;
        const bool known = guess != nullptr && guess->kind == VXT_TABLE;
        const uint32_t total = known ? guess->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        const Array a = JavaArray(count, 1);
        const bool shorts = in_.U8() & 1, null = in_.U8() % 16 == 0;
        if (!valid) {
            expect.Allow(VXERR_INVALID_CONTEXT);
        } else if (a.offset > a.length) {
            expect.Allow(VXERR_OUT_OF_RANGE);
        } else if ((t = ExpectThing(expect, i, token, VXT_TABLE)) != nullptr) {
            if (OutsideCopy(total, first, count) || count > a.length - a.offset || (null && count > 0))
                expect.Allow(VXERR_OUT_OF_RANGE);
        }
        if (shorts) {
            const int16_t pattern[2] = {static_cast<int16_t>(in_.U16()), static_cast<int16_t>(in_.U16())};
            Buffer<int16_t> array(a.length, pattern, 2);
            const int16_t *base = null ? nullptr : array.data();
            if (expect.Check("Vexa_WriteTableJava",
                             Vexa_WriteTableJava(ctx, token, first, count, base, a.offset, a.length)) == 0 && t)
                TakeTable(i, t, first, base == nullptr ? nullptr : base + a.offset, nullptr, count);
        } else {
            double pattern[4];
            EnvelopePattern(pattern);
            Buffer<double> array(a.length, pattern, 4);
            const double *base = null ? nullptr : array.data();
            if (expect.Check("Vexa_WriteTableDoublesJava",
                             Vexa_WriteTableDoublesJava(ctx, token, first, count, base, a.offset, a.length)) == 0 && t)
                TakeTable(i, t, first, nullptr, base == nullptr ? nullptr : base + a.offset, count);
        }
    }

    void CreateUnit(VexaContext *ctx, int i, bool valid) {
        const Types &types = GetTypes();
        const uint8_t how = in_.U8();
        const bool dataType = how % 8 != 0;
        const UnitInfo *info = dataType ? types.data[in_.U8() % types.data.size()]
                                        : types.all[in_.U8() % types.all.size()];
        const int32_t rate = how % 32 == 9 ? 1 : 0;
        const int32_t argument = static_cast<int32_t>(in_.U8() % 20) - 2;
        int32_t token;
        if (dataType) { /* the data units take no init argument */
            Expect expect;
            if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
            else if (rate != 0) expect.Allow(VXERR_INVALID_RATE);
            token = expect.CheckToken("Vexa_CreateUnit", Vexa_CreateUnit(ctx, info->typeID, rate, argument));
        } else {
            token = Value("Vexa_CreateUnit", Vexa_CreateUnit(ctx, info->typeID, rate, argument));
        }
        if (token <= 0) return;
        Thing t;
        t.token = token;
        t.kind = VXT_UNIT;
        t.info = info;
        engines_[i].things.push_back(std::move(t));
        if (how & 0x40) Code("Vexa_StartUnit", Vexa_StartUnit(ctx, token));
    }

    void QueueData(VexaContext *ctx, int i, bool valid) {
        const int32_t unitToken = Token(i, VXT_UNIT);
        Thing *unit = valid ? FindLive(i, unitToken) : nullptr;
        if (unit != nullptr && unit->kind != VXT_UNIT) unit = nullptr;
        const uint32_t portID = PortID(unit, PORT_QUEUE);
        /* Mostly data of the kind the port plays. */
        const PortInfo *queue = unit != nullptr ? FindPort(unit->info, portID) : nullptr;
        int wanted = in_.U8() % 2 ? VXT_SAMPLE : VXT_ENVELOPE;
        if (queue != nullptr && (queue->portKind & PORT_QUEUE) && in_.U8() % 4 != 0) wanted = queue->queueData;
        const int32_t dataToken = Token(i, wanted);
        Thing *known = valid ? FindLive(i, dataToken) : nullptr;
        const uint32_t total = known != nullptr && known->kind != VXT_UNIT ? known->frames : kMaxFrames;
        const uint32_t first = First(total), count = Count(total, first);
        static const uint32_t kFlags[] = {0, VEXA_QUEUE_LOOP, VEXA_QUEUE_AUTO_STOP, VEXA_QUEUE_REPLACEABLE,
                                          VEXA_QUEUE_LOOP | VEXA_QUEUE_REPLACEABLE,
                                          VEXA_QUEUE_AUTO_STOP | VEXA_QUEUE_REPLACEABLE,
                                          VEXA_QUEUE_LOOP | VEXA_QUEUE_AUTO_STOP, 0xFFFFFFFFu};
        const uint8_t how = in_.U8();
        const uint32_t flags = how < 240 ? kFlags[how % 8] : in_.U32();
        const bool timed = in_.U8() & 1;
        const int32_t time = timed && valid ? Tick(i) : 0;

        Expect expect;
        Thing *data = nullptr;
        if (!valid) {
            expect.Allow(VXERR_INVALID_CONTEXT);
        } else if ((unit = ExpectThing(expect, i, unitToken, VXT_UNIT)) != nullptr &&
                   (queue = ExpectPort(expect, unit, portID, PORT_QUEUE)) != nullptr) {
            /* A sample is looked for first, then an envelope; the error of the second look
             * is the one given. */
            data = FindLive(i, dataToken);
            if (data == nullptr) {
                ExpectThing(expect, i, dataToken, VXT_ENVELOPE);
            } else if (data->kind != VXT_SAMPLE && data->kind != VXT_ENVELOPE) {
                expect.Allow(VXERR_INVALID_TOKEN_TYPE);
                data = nullptr;
            } else if (data->kind != queue->queueData) {
                expect.Allow(VXERR_INVALID_DATA_TYPE);
            } else if (data->kind == VXT_SAMPLE &&
                       data->channels != static_cast<int32_t>(queue->defaultValue + 0.1f)) {
                expect.Allow(VXERR_CHANNELS_MISMATCH);
            } else if (OutsideRegion(data->frames, first, count)) {
                expect.Allow(VXERR_OUT_OF_RANGE);
            }
        }
        const int32_t r =
            timed ? expect.Check("Vexa_QueueDataAt", Vexa_QueueDataAt(ctx, time, unitToken, portID, dataToken,
                                                                     first, count, flags))
                  : expect.Check("Vexa_QueueData",
                                 Vexa_QueueData(ctx, unitToken, portID, dataToken, first, count, flags));
        /* A recorder writes into the sample from now on. */
        if (r == 0 && data != nullptr && (unit->info->sharing & VX_WRITES_SAMPLES) != 0) data->recorded = true;
    }

    void ClearQueue(VexaContext *ctx, int i, bool valid) {
        const int32_t unitToken = Token(i, VXT_UNIT);
        Thing *unit = valid ? FindLive(i, unitToken) : nullptr;
        if (unit != nullptr && unit->kind != VXT_UNIT) unit = nullptr;
        const uint32_t portID = PortID(unit, PORT_QUEUE);
        const bool timed = in_.U8() & 1;
        const int32_t time = timed && valid ? Tick(i) : 0;
        Expect expect;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else if ((unit = ExpectThing(expect, i, unitToken, VXT_UNIT)) != nullptr)
            ExpectPort(expect, unit, portID, PORT_QUEUE);
        if (timed)
            expect.Check("Vexa_ClearDataQueueAt", Vexa_ClearDataQueueAt(ctx, time, unitToken, portID));
        else
            expect.Check("Vexa_ClearDataQueue", Vexa_ClearDataQueue(ctx, unitToken, portID));
    }

    void UseTable(VexaContext *ctx, int i, bool valid) {
        const int32_t unitToken = Token(i, VXT_UNIT);
        Thing *unit = valid ? FindLive(i, unitToken) : nullptr;
        if (unit != nullptr && unit->kind != VXT_UNIT) unit = nullptr;
        const uint32_t portID = PortID(unit, PORT_TABLE);
        const uint8_t how = in_.U8();
        static const int32_t kParts[] = {1, -1, 2, INT32_MIN, INT32_MAX};
        const int32_t part = how < 230 ? 0 : kParts[how % 5];
        const int32_t tableToken = in_.U8() % 8 == 0 ? 0 : Token(i, VXT_TABLE);
        Expect expect;
        if (!valid) {
            expect.Allow(VXERR_INVALID_CONTEXT);
        } else if (part != 0) {
            expect.Allow(VXERR_OUT_OF_RANGE);
        } else if ((unit = ExpectThing(expect, i, unitToken, VXT_UNIT)) != nullptr &&
                   ExpectPort(expect, unit, portID, PORT_TABLE) != nullptr && tableToken != 0) {
            ExpectThing(expect, i, tableToken, VXT_TABLE);
        }
        expect.Check("Vexa_UseTable", Vexa_UseTable(ctx, unitToken, portID, part, tableToken));
    }

    void Delete(VexaContext *ctx, int i, bool valid) {
        const int32_t token = Token(i, static_cast<int>(in_.U8() % 4));
        Expect expect;
        Thing *t = nullptr;
        if (!valid) expect.Allow(VXERR_INVALID_CONTEXT);
        else t = ExpectThing(expect, i, token, -1);
        if (expect.Check("Vexa_Delete", Vexa_Delete(ctx, token)) == 0 && t != nullptr) t->live = false;
    }

    /* Renders with buffers of exactly the size the context's channel counts require. */
    void Render(int i, int32_t numTicks) {
        Engine &e = engines_[i];
        VexaContext *ctx = e.ctx;
        const size_t frames = numTicks > 0 ? static_cast<size_t>(numTicks) * 64 : 0;
        const int32_t ins = ctx->vxf_InputChannels > 0 ? ctx->vxf_InputChannels : 0;
        const int32_t outs = ctx->vxf_OutputChannels > 0 ? ctx->vxf_OutputChannels : 0;
        const uint8_t how = in_.U8();
        static const float kInput[] = {0.75f, -0.5f, 1.0f, -1.0f, 0.25f};
        Buffer<float> input(how & 1 ? frames * ins : 0, kInput, 5);
        Buffer<float> output(how & 2 ? frames * outs : 0, 0.0f);
        Expect expect;
        if (!e.started) expect.Allow(VXERR_NOT_STARTED);
        expect.Check("Vexa_RenderTicks", Vexa_RenderTicks(ctx, how & 1 ? input.data() : nullptr,
                                                          how & 2 ? output.data() : nullptr, numTicks));
    }

    /* Units: any live unit (or another token) of the engine. */
    Thing *UnitOf(int i, int32_t token) {
        Thing *t = FindLive(i, token);
        return t != nullptr && t->kind == VXT_UNIT ? t : nullptr;
    }

    void StartStop(VexaContext *ctx, int i) {
        const int32_t token = Token(i, VXT_UNIT);
        const bool live = Named(ctx) == i;
        switch (in_.U8() % 4) {
        case 0: Code("Vexa_StartUnit", Vexa_StartUnit(ctx, token)); break;
        case 1: Code("Vexa_StopUnit", Vexa_StopUnit(ctx, token)); break;
        case 2: Code("Vexa_StartUnitAt", Vexa_StartUnitAt(ctx, live ? Tick(i) : 0, token)); break;
        default: Code("Vexa_StopUnitAt", Vexa_StopUnitAt(ctx, live ? Tick(i) : 0, token)); break;
        }
    }

    int32_t Part(const Thing *unit, uint32_t portID) {
        const uint8_t how = in_.U8();
        const PortInfo *port = unit != nullptr ? FindPort(unit->info, portID) : nullptr;
        if (how < 220) return port != nullptr ? how % port->numParts : 0;
        if (how < 240) return port != nullptr ? port->numParts : 1;
        return static_cast<int32_t>(in_.U32());
    }

    void SetPort(VexaContext *ctx, int i) {
        const int32_t token = Token(i, VXT_UNIT);
        Thing *unit = UnitOf(i, token);
        const uint32_t portID = PortID(unit, PORT_INPUT | PORT_VARIABLE);
        const int32_t part = Part(unit, portID);
        const double value = Number();
        if (in_.U8() & 1 && Named(ctx) == i)
            Code("Vexa_SetPortAt", Vexa_SetPortAt(ctx, Tick(i), token, portID, part, value));
        else
            Code("Vexa_SetPort", Vexa_SetPort(ctx, token, portID, part, value));
    }

    void SignalType(VexaContext *ctx, int i) {
        const int32_t token = Token(i, VXT_UNIT);
        Thing *unit = UnitOf(i, token);
        const uint32_t portID = PortID(unit, PORT_INPUT | PORT_VARIABLE | PORT_QUEUE);
        const int32_t part = Part(unit, portID);
        const uint8_t how = in_.U8();
        if (how & 1) {
            const int32_t type = how < 240 ? (how >> 1) % 8 : static_cast<int32_t>(in_.U32());
            Code("Vexa_SetPortSignalType", Vexa_SetPortSignalType(ctx, token, portID, part, type));
        } else {
            const int32_t r = Value("Vexa_GetPortSignalType", Vexa_GetPortSignalType(ctx, token, portID, part));
            if (r > 7) Fail("Vexa_GetPortSignalType", r);
        }
    }

    void Connect(VexaContext *ctx, int i) {
        const int32_t from = Token(i, VXT_UNIT);
        Thing *source = UnitOf(i, from);
        const uint32_t out = PortID(source, PORT_OUTPUT);
        const int32_t outPart = Part(source, out);
        if (in_.U8() % 4 == 0) {
            Code("Vexa_DisconnectUnits", Vexa_DisconnectUnits(ctx, from, out, outPart));
            return;
        }
        const int32_t to = Token(i, VXT_UNIT);
        Thing *dest = UnitOf(i, to);
        const uint32_t in = PortID(dest, PORT_INPUT);
        const int32_t inPart = Part(dest, in);
        Code("Vexa_ConnectUnits", Vexa_ConnectUnits(ctx, from, out, outPart, to, in, inPart));
    }

    void ReadQueuePort(VexaContext *ctx, int i) {
        const int32_t token = Token(i, VXT_UNIT);
        Thing *unit = UnitOf(i, token);
        const uint32_t portID = PortID(unit, PORT_QUEUE | PORT_OUTPUT);
        const int32_t part = in_.U8() % 8 == 0 ? Part(unit, portID) : 0;
        int32_t frames = -5;
        const int32_t r = Code("Vexa_ReadPortFrames", Vexa_ReadPortFrames(ctx, token, portID, part,
                                                                          in_.U8() % 8 == 0 ? nullptr : &frames));
        const int32_t g = Vexa_GetPortFrames(ctx, token, portID, part);
        if (g < -2 || (r == 0 && frames != -5 && g != (frames == -1 ? -2 : frames)))
            Fail("Vexa_GetPortFrames (not the count read)", g);
        double value = 0.0;
        Code("Vexa_ReadPort", Vexa_ReadPort(ctx, token, portID, part, &value));
    }

    void Lifecycle(int i) {
        Engine &e = engines_[i];
        switch (in_.U8() % 4) {
        case 0: /* stop and start again: the things stay */
            Expect().Check("Vexa_Stop", Vexa_Stop(e.ctx));
            e.started = false;
            if (in_.U8() % 4 != 0) StartEngine(e, in_.U8() % 3, in_.U8() % 3);
            break;
        case 1: /* a second initialisation, balanced */
            Expect().Check("Vexa_Initialize", Vexa_Initialize(e.ctx));
            Expect().Check("Vexa_Terminate", Vexa_Terminate(e.ctx));
            break;
        case 2: /* a shared start, balanced */
            if (!e.started) break;
            Expect().Check("Vexa_StartDevices (shared)",
                           Vexa_StartDevices(e.ctx, e.flags, e.frameRate, e.ctx->vxf_InputChannels > 0 ? 0 : -1,
                                             e.ctx->vxf_InputChannels, e.ctx->vxf_OutputChannels > 0 ? 0 : -1,
                                             e.ctx->vxf_OutputChannels));
            Expect().Check("Vexa_Stop", Vexa_Stop(e.ctx));
            break;
        default: /* the end of the engine with everything in it, and a new one */
            EndEngine(e);
            Expect().Check("Vexa_Initialize", Vexa_Initialize(e.ctx));
            StartEngine(e, in_.U8() % 3, in_.U8() % 3);
            break;
        }
    }

    Input &in_;
    Engine engines_[2];
    VexaContext *dead_ = nullptr;
    int32_t ticksLeft_ = kMaxTicks;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    GetTypes();
    UseBuildFor(data, size);
    Input in(data, size);
    Session session(in);
    session.Run();
    return 0;
}
