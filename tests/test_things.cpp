/* Contexts, things and tokens: token layout and validation, the thing table, the reference
 * protocol between the front end and the back end, context validation and the table under
 * several client threads. */
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "velto_units.h"
#include "vx_internal.h"
#include "vx_test_support.h"

namespace {

/* An initialised context that is not started: no batch runs unless a test drives the back
 * end itself with VexaB_ProcessCommandsFromFront. */
class ThingsTest : public ::testing::Test {
  protected:
    VexaContext *ctx = nullptr;

    void SetUp() override {
        ctx = Vexa_CreateContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(Vexa_Initialize(ctx), 0);
    }
    void TearDown() override {
        EXPECT_EQ(Vexa_Terminate(ctx), 0) << "engine allocations still outstanding";
        Vexa_DeleteContext(ctx);
    }

    int32_t ContextBits() const { return static_cast<int32_t>(ctx->vxc_ID & 0x7F) << 24; }
    int32_t NewThing(uint8_t kind = VXT_SAMPLE) {
        return VexaF_CreateThing(ctx, sizeof(VexaDataThing), kind);
    }
    /* Runs the back end's share of the bridge once, as the start of a batch does. */
    void RunBackEnd() { VexaB_ProcessCommandsFromFront(ctx); }
};

TEST_F(ThingsTest, FirstThingGetsSlotZeroSerialOne) {
    int32_t token = NewThing();
    EXPECT_EQ(token, ContextBits() | 0x00010000);
    VexaThing *thing = VexaF_ThingFromToken(ctx, token);
    ASSERT_NE(thing, nullptr);
    EXPECT_EQ(thing->vxt_Token, token);
    EXPECT_EQ(thing->vxt_RefCount, 1);
    EXPECT_EQ(thing->vxt_ReleaseCount, 0);
    EXPECT_EQ(thing->vxt_Type, VXT_SAMPLE);
    EXPECT_EQ(thing->vxt_Node.next, &thing->vxt_Node);
    EXPECT_EQ(thing->vxt_Node.previous, &thing->vxt_Node);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(NewThing(), ContextBits() | 0x00010001); /* next free slot */
}

TEST_F(ThingsTest, SerialsCountUpInAReusedSlotAndWrapFrom255To1) {
    std::vector<int32_t> serials;
    for (int i = 0; i < 260; i++) {
        int32_t token = NewThing();
        ASSERT_GT(token, 0);
        ASSERT_EQ(token & 0x7FF, 0) << "the slot is reused at once after deletion";
        serials.push_back((token >> 16) & 0xFF);
        ASSERT_EQ(Vexa_Delete(ctx, token), 0);
        EXPECT_EQ(Vexa_Delete(ctx, token), VXERR_INVALID_TOKEN) << "deleted token still valid";
    }
    for (int i = 0; i < 255; i++) EXPECT_EQ(serials[i], i + 1);
    EXPECT_EQ(serials[255], 1) << "serial 0 is never used";
    EXPECT_EQ(serials[259], 5);
}

TEST_F(ThingsTest, TokenValidationErrors) {
    int32_t token = NewThing(VXT_ENVELOPE);
    VexaThing *thing = reinterpret_cast<VexaThing *>(&token); /* any non-null value */
    struct Case {
        int32_t token;
        int32_t result;
    } cases[] = {
        {0, VXERR_INVALID_TOKEN},
        {-1, VXERR_INVALID_TOKEN},
        {INT32_MIN | token, VXERR_INVALID_TOKEN},       /* negative */
        {token + 1, VXERR_INVALID_TOKEN},               /* empty slot */
        {token + 0x10000, VXERR_INVALID_TOKEN},         /* stale serial */
        {token ^ 0x01000000, VXERR_WRONG_CONTEXT},      /* other context bits */
        {token | 0x0800, VXERR_INVALID_TOKEN},          /* bits 11-15: never in a token */
        {token | 0x8000, VXERR_INVALID_TOKEN},
        {token + 2048, VXERR_INVALID_TOKEN},
        {token, 0},
    };
    for (const Case &c : cases) {
        thing = reinterpret_cast<VexaThing *>(&token);
        EXPECT_EQ(VexaF_ValidateToken(ctx, c.token, &thing), c.result) << std::hex << c.token;
        if (c.result == 0) {
            EXPECT_EQ(thing, VexaF_ThingFromToken(ctx, token));
        } else {
            EXPECT_EQ(thing, nullptr) << "the out-value is cleared on error";
        }
    }
    /* Wrong kind: -100, and the out-value still holds the thing. */
    EXPECT_EQ(VexaF_ValidateThing(ctx, token, VXT_SAMPLE, &thing), VXERR_INVALID_TOKEN_TYPE);
    EXPECT_EQ(thing, VexaF_ThingFromToken(ctx, token));
    EXPECT_EQ(VexaF_ValidateThing(ctx, token, VXT_ENVELOPE, &thing), 0);
    EXPECT_EQ(VexaF_ValidateThing(ctx, token + 1, VXT_ENVELOPE, &thing), VXERR_INVALID_TOKEN);
    EXPECT_EQ(thing, nullptr);
}

TEST_F(ThingsTest, TokenOfAnotherContextWithSameSlotAndSerialIsWrongContext) {
    VexaContext *other = Vexa_CreateContext();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(Vexa_Initialize(other), 0);
    int32_t mine = NewThing();
    int32_t theirs = VexaF_CreateThing(other, sizeof(VexaDataThing), VXT_SAMPLE);
    ASSERT_EQ(mine & 0xFFFFFF, theirs & 0xFFFFFF);
    ASSERT_NE(mine, theirs);
    EXPECT_EQ(Vexa_Delete(ctx, theirs), VXERR_WRONG_CONTEXT);
    EXPECT_EQ(Vexa_Delete(other, mine), VXERR_WRONG_CONTEXT);
    /* Another slot of the other context: not here at all. */
    EXPECT_EQ(Vexa_Delete(ctx, VexaF_CreateThing(other, sizeof(VexaDataThing), VXT_SAMPLE)),
              VXERR_INVALID_TOKEN);
    EXPECT_EQ(Vexa_Terminate(other), 0);
    Vexa_DeleteContext(other);
}

TEST_F(ThingsTest, TableFullAtThe2049thThingAndAFreedSlotIsReused) {
    std::vector<int32_t> tokens;
    for (int i = 0; i < VX_MAX_THINGS; i++) {
        int32_t token = NewThing();
        ASSERT_GT(token, 0) << "thing " << i;
        ASSERT_EQ(token & 0x7FF, i);
        tokens.push_back(token);
    }
    int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    EXPECT_EQ(NewThing(), VXERR_TOO_MANY_TOKENS);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs) << "nothing allocated for a refused thing";
    EXPECT_EQ(Vexa_GetObjectCount(ctx), VX_MAX_THINGS);

    ASSERT_EQ(Vexa_Delete(ctx, tokens[777]), 0);
    int32_t again = NewThing();
    EXPECT_EQ(again, ContextBits() | (2 << 16) | 777);
    EXPECT_EQ(NewThing(), VXERR_TOO_MANY_TOKENS);
}

/* Deleting empties the slot at once, but the record lives until the back end lets go of
 * it, and the front end frees it when the back-to-front list hands it over. The list keeps
 * its last node, so the back end follows a returned thing with a spacer of its own: the thing
 * is freed by the next call, not only once something else comes back. */
TEST_F(ThingsTest, FreeingWaitsUntilTheBackEndHandsTheThingBack) {
    int32_t first = NewThing();
    int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    ASSERT_EQ(Vexa_Delete(ctx, first), 0);
    EXPECT_EQ(Vexa_Delete(ctx, first), VXERR_INVALID_TOKEN);
    /* Vexa_GetObjectCount takes back what came back first; nothing has. */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "counted until freed, not until deleted";

    RunBackEnd(); /* releases the client's hold and returns the thing, then a spacer */
    EXPECT_EQ(ctx->vxs_BackToFront.tail, &ctx->vxs_Spacers[0]);
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    /* The bridge's first sentinel and the thing are freed; the spacer stays on the list. */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs - 2);

    int32_t second = NewThing();
    EXPECT_EQ(second & 0x7FF, 0) << "the deleted thing's slot is free again";
    ASSERT_EQ(Vexa_Delete(ctx, second), 0);
    RunBackEnd(); /* the second spacer follows: the first is still the list's last node */
    EXPECT_EQ(ctx->vxs_BackToFront.tail, &ctx->vxs_Spacers[1]);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(ctx->vxs_SpacerInList[0], 0) << "the front end took the first spacer back";

    /* With both spacers on the list, a third thing waits for the end of the next batch. */
    int32_t third = NewThing();
    VexaThing *thirdThing = VexaF_ThingFromToken(ctx, third);
    ASSERT_EQ(Vexa_Delete(ctx, third), 0);
    ctx->vxs_SpacerInList[0] = 1; /* as if the front end had not yet taken it back */
    RunBackEnd();
    EXPECT_EQ(ctx->vxs_BackToFront.tail, &thirdThing->vxt_Node);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the thing is the list's last node";
    ctx->vxs_SpacerInList[0] = 0;
    VexaB_FollowReturnedThing(ctx); /* what the end of a batch does */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
}

TEST_F(ThingsTest, FrontEndHoldsKeepAThingUntilTheLastOneIsDropped) {
    int32_t token = NewThing();
    VexaThing *thing = VexaF_ThingFromToken(ctx, token);
    VexaF_AddReference(thing); /* e.g. a circuit or a table port */
    EXPECT_EQ(thing->vxt_RefCount, 2);
    ASSERT_EQ(Vexa_Delete(ctx, token), 0);
    RunBackEnd();
    EXPECT_EQ(thing->vxt_ReleaseCount, 1);
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1);
    EXPECT_EQ(VexaF_DecrementReference(ctx, thing), 0); /* the last hold: freed at once */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
}

TEST_F(ThingsTest, DataBlockIsFreedWithTheThing) {
    int32_t token = NewThing(VXT_TABLE);
    VexaDataThing *table = reinterpret_cast<VexaDataThing *>(VexaF_ThingFromToken(ctx, token));
    int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    table->vxt_Data = VexaF_AllocateMemory(ctx, 64, "Vexa_CreateTable");
    ASSERT_NE(table->vxt_Data, nullptr);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs + 1);
    EXPECT_EQ(VexaF_FreeThing(ctx, &table->header), 0); /* freed without being deleted */
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs - 1);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    EXPECT_EQ(VexaF_ThingFromToken(ctx, token), nullptr) << "the free empties a live slot";
}

TEST_F(ThingsTest, QueuedNodesComeFromThePoolUnchangedOrNewAndZeroed) {
    int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    CommandNode *node = static_cast<CommandNode *>(
        VexaF_AllocateQueuedNode(ctx, &ctx->vxf_FreeCommandNodes, sizeof(CommandNode)));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs + 1);
    EXPECT_EQ(node->node.next, &node->node);
    EXPECT_EQ(node->node.previous, &node->node);
    EXPECT_EQ(node->time, 0);
    EXPECT_EQ(node->thing, nullptr);
    node->time = 1234;
    DLL_InsertBefore(&ctx->vxf_FreeCommandNodes, &node->node);
    CommandNode *again = static_cast<CommandNode *>(
        VexaF_AllocateQueuedNode(ctx, &ctx->vxf_FreeCommandNodes, sizeof(CommandNode)));
    EXPECT_EQ(again, node);
    EXPECT_EQ(again->time, 1234) << "a pooled node is not cleared";
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs + 1);
    EXPECT_EQ(DLL_IsEmpty(&ctx->vxf_FreeCommandNodes), 1);
    VexaF_FreeMemory(ctx, again);
}

TEST_F(ThingsTest, SerialsSurviveTerminateAndInitialise) {
    int32_t before = NewThing();
    ASSERT_EQ(Vexa_Terminate(ctx), 0);
    ASSERT_EQ(Vexa_Initialize(ctx), 0);
    VexaThing *thing = nullptr;
    EXPECT_EQ(VexaF_ValidateToken(ctx, before, &thing), VXERR_INVALID_TOKEN);
    int32_t after = NewThing();
    EXPECT_EQ(after & 0x7FF, before & 0x7FF);
    EXPECT_EQ((after >> 16) & 0xFF, ((before >> 16) & 0xFF) + 1);
}

/* Both sides drop their last hold at the same moment, many times over: exactly one of them
 * frees the thing (a double free or a leak would show in the allocation count, and under
 * the sanitizers). */
TEST_F(ThingsTest, SimultaneousFrontDecrementAndBackReleaseFreeOnce) {
    int32_t allocs = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
    int frontFrees = 0;
    for (int round = 0; round < 300; round++) {
        int32_t token = NewThing();
        ASSERT_GT(token, 0);
        VexaThing *thing = VexaF_ThingFromToken(ctx, token);
        VexaF_AddReference(thing);
        ASSERT_EQ(Vexa_Delete(ctx, token), 0);
        const int32_t before = Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0);
        /* The two sides swap threads every round, so that each wins the race often. */
        auto release = [&] { RunBackEnd(); };              /* the client's hold */
        auto drop = [&] { VexaF_DecrementReference(ctx, thing); }; /* the other hold */
        std::atomic<int> ready{0};
        std::thread other([&] {
            ready++;
            while (ready.load() < 2) std::this_thread::yield();
            if (round % 2) release(); else drop();
        });
        ready++;
        while (ready.load() < 2) std::this_thread::yield();
        if (round % 2) drop(); else release();
        other.join();
        /* Freed by the front end at once, or handed back by the back end and freed below. */
        if (Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0) == before - 1) frontFrees++;
        EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
        EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
    }
    /* The sentinel is gone, every thing is freed: nothing freed twice or leaked. */
    EXPECT_EQ(Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0), allocs - 1);
    ::testing::Test::RecordProperty("front_end_frees", frontFrees);
    ::testing::Test::RecordProperty("back_end_frees", 300 - frontFrees);
}

/* Tokens carry 7 bits of the context's number. Once 128 more contexts had been created, a
 * live context took another live context's tokens for its own (setting a port or deleting
 * through them acted on its own thing in the same slot). While fewer than 128 contexts are
 * alive, a new context now gets a number whose low 7 bits no live context uses. */
TEST_F(ThingsTest, LiveContextsNeverShareTheirTokenBits) {
    const int32_t mine = NewThing();
    for (int i = 0; i < 300; i++) { /* more than twice round the 7 bits */
        VexaContext *context = Vexa_CreateContext();
        ASSERT_NE(context, nullptr);
        ASSERT_NE(context->vxc_ID & 0x7F, ctx->vxc_ID & 0x7F) << "context " << i;
        ASSERT_EQ(Vexa_Initialize(context), 0);
        const int32_t theirs = VexaF_CreateThing(context, sizeof(VexaDataThing), VXT_SAMPLE);
        ASSERT_EQ(theirs & 0xFFFFFF, mine & 0xFFFFFF) << "same slot and serial";
        EXPECT_EQ(Vexa_Delete(context, mine), VXERR_WRONG_CONTEXT);
        EXPECT_EQ(Vexa_Delete(ctx, theirs), VXERR_WRONG_CONTEXT);
        EXPECT_EQ(Vexa_Terminate(context), 0);
        Vexa_DeleteContext(context);
    }
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the own thing was never deleted";

    /* 127 others alive at once: all 128 numbers differ in their low bits. */
    std::vector<VexaContext *> others;
    std::set<uint32_t> bits = {ctx->vxc_ID & 0x7F};
    for (int i = 0; i < 127; i++) {
        others.push_back(Vexa_CreateContext());
        ASSERT_NE(others.back(), nullptr);
        EXPECT_TRUE(bits.insert(others.back()->vxc_ID & 0x7F).second) << "context " << i;
    }
    for (VexaContext *context : others) Vexa_DeleteContext(context);
}

/* Unit creation takes no peer lock, so client threads create things while another deletes;
 * the table stays consistent: every token distinct, valid and naming its own thing. */
TEST_F(ThingsTest, ConcurrentCreationAndDeletionKeepTheTableConsistent) {
    constexpr int kThreads = 4, kPerThread = 300;
    std::vector<std::vector<int32_t>> kept(kThreads);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; i++) {
                int32_t token = NewThing();
                if (token <= 0) {
                    failures++;
                    continue;
                }
                if (i % 2 == 0) {
                    if (Vexa_Delete(ctx, token) != 0) failures++;
                } else {
                    kept[t].push_back(token);
                }
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    std::set<int32_t> distinct;
    for (const auto &list : kept) {
        for (int32_t token : list) {
            distinct.insert(token);
            VexaThing *thing = nullptr;
            ASSERT_EQ(VexaF_ValidateToken(ctx, token, &thing), 0);
            EXPECT_EQ(thing->vxt_Token, token);
        }
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread / 2));
    int32_t live = 0;
    for (VexaThing *thing : ctx->vxf_Things) live += thing != nullptr;
    EXPECT_EQ(live, kThreads * kPerThread / 2);
    /* Deleted ones are still counted until the back end lets them go. */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), kThreads * kPerThread);
}

/* ---- Contexts ----------------------------------------------------------------------- */

TEST(ContextTest, InvalidPointersAreRejectedWithoutBeingRead) {
    EXPECT_EQ(Vexa_GetObjectCount(nullptr), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_Delete(nullptr, 1), VXERR_INVALID_CONTEXT);
    Vexa_DeleteContext(nullptr);

    /* A deleted context: its block is gone; under AddressSanitizer any read of it would
     * be reported. */
    VexaContext *deleted = Vexa_CreateContext();
    ASSERT_NE(deleted, nullptr);
    EXPECT_EQ(Vexa_GetObjectCount(deleted), 0);
    Vexa_DeleteContext(deleted);
    EXPECT_EQ(Vexa_GetObjectCount(deleted), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_Delete(deleted, 0x00010000), VXERR_INVALID_CONTEXT);
    EXPECT_EQ(Vexa_GetTrace(deleted), VXERR_INVALID_CONTEXT);
    Vexa_DeleteContext(deleted); /* ignored */

    /* A block that looks like a context but was never issued. */
    std::vector<uint32_t> fake(sizeof(VexaContext) / 4 + 1, 0);
    fake[0] = VX_CONTEXT_MAGIC;
    VexaContext *forged = reinterpret_cast<VexaContext *>(fake.data());
    EXPECT_EQ(VexaF_ValidateContext(forged), nullptr);
    EXPECT_EQ(Vexa_GetObjectCount(forged), VXERR_INVALID_CONTEXT);
}

TEST(ContextTest, ContextStartsZeroedWithMagicAndIncreasingNumber) {
    VexaContext *a = Vexa_CreateContext();
    VexaContext *b = Vexa_CreateContext();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->vxc_Magic, VX_CONTEXT_MAGIC);
    EXPECT_EQ(b->vxc_ID, a->vxc_ID + 1);
    EXPECT_EQ(a->vxf_InitCount, 0);
    EXPECT_EQ(a->vxf_Host, nullptr);
    EXPECT_EQ(a->vxf_AllocCount, 0);
    EXPECT_EQ(VexaF_ValidateContext(a), a);
    Vexa_DeleteContext(a);
    Vexa_DeleteContext(b);
}

TEST(ContextTest, ContextNumbersAreUniqueAcrossThreads) {
    constexpr int kThreads = 4, kPerThread = 200;
    std::vector<std::vector<uint32_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; i++) {
                VexaContext *context = Vexa_CreateContext();
                if (context == nullptr) continue;
                ids[t].push_back(context->vxc_ID);
                Vexa_DeleteContext(context);
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    std::set<uint32_t> distinct;
    for (const auto &list : ids) distinct.insert(list.begin(), list.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
}

/* Deleting a context that is still initialised and started after its one terminate takes
 * the engine down completely; no engine block is left behind (the leak checker of the
 * sanitizer build sees any), and the things made in it are freed. */
TEST(ContextTest, DeleteTakesDownAnEngineInitialisedAndStartedSeveralTimes) {
    VexaContext *context = Vexa_CreateContext();
    ASSERT_NE(context, nullptr);
    ASSERT_EQ(Vexa_Initialize(context), 0);
    ASSERT_EQ(Vexa_Initialize(context), 0);
    ASSERT_EQ(Vexa_StartDevices(context, VX_FLAG_PRINT_OUTPUT, 44100.0, -1, 0, -1, 2), 0);
    ASSERT_EQ(Vexa_StartDevices(context, VX_FLAG_PRINT_OUTPUT, 44100.0, -1, 0, -1, 2), 0);
    EXPECT_GT(VexaF_CreateThing(context, sizeof(VexaDataThing), VXT_SAMPLE), 0);
    ASSERT_NE(context->vxf_OfflineBuffer, nullptr);
    Vexa_DeleteContext(context);
    EXPECT_EQ(VexaF_ValidateContext(context), nullptr);
}

/* A start on a context that was never initialised (or was terminated) was counted and opened
 * its stream (with a device, the callback then read a null command node); Vexa_Stop could not
 * balance it. Such starts are refused with -83 and open nothing. */
TEST(ContextTest, StartWithoutInitialisationIsRefusedAndOpensNothing) {
    VexaContext *context = Vexa_CreateContext();
    ASSERT_NE(context, nullptr);
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round == 0 ? "never initialised" : "terminated");
        EXPECT_EQ(Vexa_StartDevices(context, VX_FLAG_PRINT_OUTPUT, 44100.0, -1, 0, -1, 2),
                  VXERR_HOST_INIT);
        EXPECT_EQ(Vexa_StartDevices(context, VX_FLAG_NO_DEVICE, 44100.0, -1, 0, -1, 2),
                  VXERR_HOST_INIT);
        EXPECT_EQ(Vexa_StartDevices(context, 0, 44100.0, -1, 0, 0, 2), VXERR_HOST_INIT);
        EXPECT_EQ(Vexa_Start(context, 0, 44100.0), VXERR_HOST_INIT);
        EXPECT_EQ(context->vxf_StartCount, 0);
        EXPECT_EQ(context->vxf_OfflineBuffer, nullptr);
        EXPECT_EQ(context->vxf_Stream, nullptr);
        EXPECT_EQ(Vexa_Stop(context), VXERR_HOST_INIT);
        /* Creating a unit says the same before the first initialisation and after the last
         * termination (it said -87 before). */
        EXPECT_EQ(Vexa_CreateUnit(context, VEXA_UNIT_SINE_OSCILLATOR, 0, 0), VXERR_HOST_INIT);
        ASSERT_EQ(Vexa_Initialize(context), 0);
        ASSERT_EQ(Vexa_Terminate(context), 0);
    }
    Vexa_DeleteContext(context);
    EXPECT_EQ(VexaF_ValidateContext(context), nullptr);
}

} // namespace
