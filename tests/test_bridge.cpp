/* The bridge between the client threads and the back end: sending, the back end's
 * execution of entries, the return of nodes and things, posted errors and the pools. */
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "vx_internal.h"

namespace {

class BridgeTest : public ::testing::Test {
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
    int32_t Allocs() { return Vexa_Debug(ctx, VEXA_DEBUG_ALLOCATIONS, 0); }
    /* A node as the back end hands it back. */
    DLLNode *NewNode() {
        return static_cast<DLLNode *>(
            VexaF_AllocateQueuedNode(ctx, &ctx->vxf_FreeCommandNodes, sizeof(CommandNode)));
    }
    int32_t Pending() {
        AtomicFIFO &fifo = ctx->vxs_FrontToBack;
        return static_cast<int32_t>((fifo.writeIndex - fifo.readIndex) & (2 * fifo.numEntries - 1));
    }
};

TEST_F(BridgeTest, FirstNodeReturnedStaysUntilAnotherFollows) {
    int32_t allocs = Allocs();
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(Allocs(), allocs) << "nothing returned yet: the sentinel stays";

    DLLNode *first = NewNode();
    VexaS_SendToFront(ctx, first, B2F_COMMAND_NODE);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(Allocs(), allocs) << "the sentinel is freed, the new node is still held";
    EXPECT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 0);

    DLLNode *second = NewNode();
    VexaS_SendToFront(ctx, second, B2F_COMMAND_NODE);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    ASSERT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 1);
    EXPECT_EQ(ctx->vxf_FreeCommandNodes.next, first);

    /* The terminate's bridge teardown processes the node still held. */
    EXPECT_EQ(VexaS_TermBridge(ctx), 0);
    ASSERT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 2);
    EXPECT_EQ(ctx->vxf_FreeCommandNodes.previous, second);
    EXPECT_EQ(VexaS_InitBridge(ctx), 0); /* so that the fixture can terminate normally */
}

TEST_F(BridgeTest, ReturnKindsDecideWhereNodesGo) {
    DLLNode *command = NewNode();
    DLLNode *queue = NewNode();
    DLLNode *freed = NewNode();
    DLLNode *last = NewNode();
    int32_t allocs = Allocs();
    VexaS_SendToFront(ctx, command, B2F_COMMAND_NODE);
    VexaS_SendToFront(ctx, queue, B2F_QUEUE_NODE);
    VexaS_SendToFront(ctx, freed, B2F_FREE_NODE);
    VexaS_SendToFront(ctx, last, B2F_COMMAND_NODE);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(Allocs(), allocs - 2) << "the sentinel and the B2F_FREE_NODE node are freed";
    ASSERT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 1);
    ASSERT_EQ(DLL_CountNodes(&ctx->vxf_FreeQueueNodes), 1);
    EXPECT_EQ(ctx->vxf_FreeQueueNodes.next, queue);
    EXPECT_EQ(queue->next, &ctx->vxf_FreeQueueNodes) << "links re-initialised for the pool";

    /* The node pools are emptied by VexaF_FreeFreeNodes. */
    VexaF_FreeFreeNodes(ctx);
    EXPECT_EQ(DLL_IsEmpty(&ctx->vxf_FreeCommandNodes), 1);
    EXPECT_EQ(DLL_IsEmpty(&ctx->vxf_FreeQueueNodes), 1);
    EXPECT_EQ(Allocs(), allocs - 4);
}

TEST_F(BridgeTest, UnknownReturnKindStopsProcessingAtThatNode) {
    DLLNode *bad = NewNode();
    DLLNode *good = NewNode();
    DLLNode *last = NewNode();
    VexaS_SendToFront(ctx, bad, 9);
    VexaS_SendToFront(ctx, good, B2F_COMMAND_NODE);
    VexaS_SendToFront(ctx, last, B2F_COMMAND_NODE);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), VXERR_B2F_INTERNAL);
    EXPECT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 0) << "stopped at the bad node";
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(DLL_CountNodes(&ctx->vxf_FreeCommandNodes), 1);
    VexaF_FreeMemory(ctx, bad); /* the engine does not know what it was */
}

TEST_F(BridgeTest, PostedBackEndErrorSurfacesOnceInTheNextCall) {
    ASSERT_EQ(VexaS_SendToBack(ctx, 7, nullptr), 0); /* not a front-to-back kind */
    int32_t token = VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE);
    VexaThing *thing = VexaF_ThingFromToken(ctx, token);
    ASSERT_EQ(Vexa_Delete(ctx, token), 0);
    VexaB_ProcessCommandsFromFront(ctx);
    EXPECT_EQ(Pending(), 0) << "the back end goes on after a bad entry";
    EXPECT_EQ(thing->vxt_ReleaseCount, 1) << "the entry behind the bad one was executed";
    EXPECT_EQ(Vexa_Delete(ctx, 0), VXERR_F2B_INTERNAL) << "the next call reports it";
    EXPECT_EQ(Vexa_Delete(ctx, 0), VXERR_INVALID_TOKEN) << "and no later call";
    EXPECT_EQ(Vexa_CheckEngineErrors(ctx), 0);
}

TEST_F(BridgeTest, EntriesRunInOrderOnTheBackEnd) {
    std::vector<VexaThing *> things;
    for (int i = 0; i < 3; i++) {
        int32_t token = VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE);
        things.push_back(VexaF_ThingFromToken(ctx, token));
        ASSERT_EQ(Vexa_Delete(ctx, token), 0);
    }
    EXPECT_EQ(Pending(), 3);
    VexaB_ProcessCommandsFromFront(ctx);
    EXPECT_EQ(Pending(), 0);
    /* Returned in the order they were released, each followed by a spacer while one is free:
     * sentinel, thing 0, spacer 0, thing 1, spacer 1, thing 2 (both spacers are on the list). */
    DLLNode *expected[] = {&things[0]->vxt_Node, &ctx->vxs_Spacers[0], &things[1]->vxt_Node,
                           &ctx->vxs_Spacers[1], &things[2]->vxt_Node};
    DLLNode *node = ctx->vxs_BackToFront.head;
    for (DLLNode *want : expected) {
        node = node->next;
        EXPECT_EQ(node, want);
    }
    EXPECT_EQ(ctx->vxs_BackToFront.tail, &things[2]->vxt_Node);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(ctx->vxf_ThingCount, 1) << "the last thing waits for a spacer";
    EXPECT_EQ(ctx->vxs_BackToFront.head, &things[2]->vxt_Node);
    VexaB_FollowReturnedThing(ctx); /* the end of the next batch */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 0);
}

/* With no audio thread, a full FIFO is drained on the sending thread. */
TEST_F(BridgeTest, FullFifoWithoutStreamIsDrainedByTheSender) {
    std::vector<int32_t> tokens;
    for (uint32_t i = 0; i <= VX_F2B_ENTRIES; i++)
        tokens.push_back(VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE));
    for (uint32_t i = 0; i < VX_F2B_ENTRIES; i++) ASSERT_EQ(Vexa_Delete(ctx, tokens[i]), 0);
    EXPECT_EQ(AFIFO_IsFull(&ctx->vxs_FrontToBack), 1);
    EXPECT_EQ(Vexa_Delete(ctx, tokens[VX_F2B_ENTRIES]), 0) << "the 1025th entry is sent";
    EXPECT_EQ(Pending(), 1);
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    /* 1023 of the first 1024 released things are freed; the last released one stays on the
     * list and the 1025th still waits in the FIFO. */
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 2);
}

TEST(BridgeSetupTest, InitAllocatesTheSentinelAndTermFreesIt) {
    VexaContext *ctx = Vexa_CreateContext();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(VexaS_InitBridge(ctx), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, 1);
    EXPECT_EQ(ctx->vxs_FrontToBack.numEntries, VX_F2B_ENTRIES);
    EXPECT_EQ(ctx->vxs_FrontToBack.entrySize, sizeof(FrontToBackEntry));
    EXPECT_EQ(ctx->vxs_FrontToBack.entries, ctx->vxs_FrontToBackEntries);
    EXPECT_EQ(ctx->vxs_BackToFront.head, ctx->vxs_BackToFront.tail);
    EXPECT_EQ(VexaS_TermBridge(ctx), 0);
    EXPECT_EQ(ctx->vxf_AllocCount, 0);
    Vexa_DeleteContext(ctx);
}

/* The back end releases things on its own thread while the front end keeps draining the
 * returned ones: every thing is freed once, none is lost. */
TEST_F(BridgeTest, BackEndThreadReturnsThingsWhileTheFrontEndDrains) {
    constexpr int kThings = 1500;
    std::vector<VexaThing *> things;
    for (int i = 0; i < kThings; i++) {
        int32_t token = VexaF_CreateThing(ctx, sizeof(VexaDataThing), VXT_SAMPLE);
        ASSERT_GT(token, 0);
        things.push_back(VexaF_ThingFromToken(ctx, token));
    }
    std::thread back([&] {
        for (VexaThing *thing : things) VXLL_UnReference(ctx, thing);
    });
    while (Vexa_GetObjectCount(ctx) > 1) ASSERT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    back.join();
    EXPECT_EQ(VexaF_ProcessCommandsFromBack(ctx), 0);
    EXPECT_EQ(Vexa_GetObjectCount(ctx), 1) << "the last one returned stays on the list";
    /* These things were freed without a deletion, so their slots were emptied by the free;
     * the slot of the last one is still taken. */
    int32_t live = 0;
    for (VexaThing *thing : ctx->vxf_Things) live += thing != nullptr;
    EXPECT_EQ(live, 1);
}

} // namespace
