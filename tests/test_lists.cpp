/* The engine's containers: the doubly linked list, the single-producer single-consumer
 * FIFO and the back-to-front linked list. */
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "vx_internal.h"

namespace {

/* A list's elements, in order, checked in both directions. */
std::vector<DLLNode *> Elements(DLLNode *list) {
    std::vector<DLLNode *> forward;
    for (DLLNode *node = list->next; node != list; node = node->next) forward.push_back(node);
    std::vector<DLLNode *> backward;
    for (DLLNode *node = list->previous; node != list; node = node->previous)
        backward.insert(backward.begin(), node);
    EXPECT_EQ(forward, backward) << "next and previous links disagree";
    return forward;
}

bool IsDetached(const DLLNode &node) { return node.next == &node && node.previous == &node; }

class ListTest : public ::testing::Test {
  protected:
    DLLNode head{};
    DLLNode other{};
    DLLNamedNode nodes[5]{};
    void SetUp() override {
        DLL_InitList(&head);
        DLL_InitList(&other);
        for (DLLNamedNode &n : nodes) DLL_InitNode(&n.node);
    }
    DLLNode *N(int i) { return &nodes[i].node; }
};

TEST_F(ListTest, RemoveFirstOnEmptyListReturnsNullAndStaysEmpty) {
    EXPECT_EQ(DLL_RemoveFirst(&head), nullptr);
    EXPECT_EQ(DLL_IsEmpty(&head), 1);
    EXPECT_TRUE(IsDetached(head));
    EXPECT_EQ(DLL_CountNodes(&head), 0);
}

TEST_F(ListTest, InsertBeforeHeadOfEmptyListMakesFirstAndLast) {
    DLL_InsertBefore(&head, N(0));
    EXPECT_EQ(head.next, N(0));
    EXPECT_EQ(head.previous, N(0));
    EXPECT_EQ(DLL_IsEmpty(&head), 0);
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0)}));
}

TEST_F(ListTest, InsertBeforeAppendsAndInsertAfterPlacesNextToNode) {
    DLL_InsertBefore(&head, N(0));
    DLL_InsertBefore(&head, N(2));
    DLL_InsertAfter(N(0), N(1));
    DLL_InsertAfter(&head, N(3)); /* after the head: new first element */
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(3), N(0), N(1), N(2)}));
    EXPECT_EQ(DLL_RemoveFirst(&head), N(3));
    EXPECT_TRUE(IsDetached(*N(3)));
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(1), N(2)}));
}

TEST_F(ListTest, RemovedNodeIsAnEmptyListAndCanBeInsertedAgain) {
    for (int i = 0; i < 3; i++) DLL_InsertBefore(&head, N(i));
    DLL_Remove(N(1));
    EXPECT_TRUE(IsDetached(*N(1)));
    EXPECT_EQ(DLL_IsEmpty(N(1)), 1);
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(2)}));
    DLL_Remove(N(1)); /* on no list: unchanged */
    EXPECT_TRUE(IsDetached(*N(1)));
    DLL_InsertBefore(&head, N(1));
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(2), N(1)}));
}

TEST_F(ListTest, AddListToTailMovesAllElementsInOrder) {
    DLL_InsertBefore(&head, N(0));
    DLL_InsertBefore(&head, N(1));
    for (int i = 2; i < 5; i++) DLL_InsertBefore(&other, N(i));
    DLL_AddListToTail(&head, &other);
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(1), N(2), N(3), N(4)}));
    EXPECT_EQ(DLL_CountNodes(&head), 5);
    EXPECT_EQ(DLL_IsEmpty(&other), 1);
    EXPECT_TRUE(IsDetached(other));
    EXPECT_EQ(DLL_CountNodes(&other), 0);
}

TEST_F(ListTest, AddListToTailWithEmptyListsOnEitherSide) {
    DLL_AddListToTail(&head, &other); /* both empty */
    EXPECT_TRUE(IsDetached(head));
    EXPECT_TRUE(IsDetached(other));
    DLL_InsertBefore(&other, N(0));
    DLL_InsertBefore(&other, N(1));
    DLL_AddListToTail(&head, &other); /* onto an empty list */
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(1)}));
    DLL_AddListToTail(&head, &other); /* an empty source changes nothing */
    EXPECT_EQ(Elements(&head), (std::vector<DLLNode *>{N(0), N(1)}));
}

TEST_F(ListTest, SearchesByNameAndIdTakeTheFirstMatch) {
    const char *names[5] = {"osc", "filter", "osc", nullptr, "lag"};
    for (int i = 0; i < 5; i++) {
        nodes[i].name = names[i];
        nodes[i].id = 10 + i % 3; /* 10 11 12 10 11 */
        DLL_InsertBefore(&head, N(i));
    }
    DLLNode *found = reinterpret_cast<DLLNode *>(&found);
    /* Same text in a different buffer: names compare by bytes, not by pointer. */
    char oscCopy[] = "osc";
    EXPECT_EQ(DLL_FindNodeByName(&head, oscCopy, &found), 1);
    EXPECT_EQ(found, N(0));
    EXPECT_EQ(DLL_CountNodesByName(&head, oscCopy), 2);
    EXPECT_EQ(DLL_CountNodesByName(&head, "os"), 0);
    EXPECT_EQ(DLL_FindNodeByName(&head, "missing", &found), 0);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(DLL_FindNodeByID(&head, 11, &found), 1);
    EXPECT_EQ(found, N(1));
    EXPECT_EQ(DLL_FindNodeByID(&head, 99, &found), 0);
    EXPECT_EQ(found, nullptr);
}

TEST_F(ListTest, FindByNameOnEmptyListStoresNull) {
    DLLNode *found = &head;
    EXPECT_EQ(DLL_FindNodeByName(&head, "osc", &found), 0);
    EXPECT_EQ(found, nullptr);
    found = &head;
    EXPECT_EQ(DLL_FindNodeByID(&head, 0, &found), 0);
    EXPECT_EQ(found, nullptr);
}

/* ---- FIFO ---------------------------------------------------------------------------- */

TEST(FifoTest, InitAcceptsOnlyPowersOfTwoAndZero) {
    struct Case {
        uint32_t numEntries;
        int32_t result;
    } cases[] = {{1024, 0}, {1, 0}, {4, 0}, {0, 0}, {1000, -1}, {3, -1}, {6, -1}};
    for (const Case &c : cases) {
        AtomicFIFO fifo{77, 5, 6, nullptr, 9};
        int32_t entries[8];
        EXPECT_EQ(AFIFO_Init(&fifo, c.numEntries, sizeof(int32_t), entries), c.result)
            << c.numEntries;
        if (c.result == 0) {
            EXPECT_EQ(fifo.numEntries, c.numEntries);
            EXPECT_EQ(fifo.writeIndex, 0u);
            EXPECT_EQ(fifo.readIndex, 0u);
        } else { /* unchanged */
            EXPECT_EQ(fifo.numEntries, 77u);
            EXPECT_EQ(fifo.writeIndex, 5u);
            EXPECT_EQ(fifo.entries, nullptr);
        }
    }
}

TEST(FifoTest, ZeroEntriesIsFullAndEmptyAndOffersNothing) {
    AtomicFIFO fifo{};
    int32_t storage[1];
    ASSERT_EQ(AFIFO_Init(&fifo, 0, sizeof(int32_t), storage), 0);
    EXPECT_EQ(AFIFO_IsFull(&fifo), 1);
    EXPECT_EQ(AFIFO_IsEmpty(&fifo), 1);
    EXPECT_EQ(AFIFO_NextWritable(&fifo), nullptr);
    EXPECT_EQ(AFIFO_NextReadable(&fifo), nullptr);
    EXPECT_EQ(AFIFO_AdvanceWriter(&fifo), -1);
    EXPECT_EQ(AFIFO_AdvanceReader(&fifo), -1);
}

TEST(FifoTest, NoStorageOffersNoEntry) {
    AtomicFIFO fifo{};
    ASSERT_EQ(AFIFO_Init(&fifo, 4, sizeof(int32_t), nullptr), 0);
    EXPECT_EQ(AFIFO_NextWritable(&fifo), nullptr);
    EXPECT_EQ(AFIFO_NextReadable(&fifo), nullptr);
}

TEST(FifoTest, FourEntriesFillDrainAndWrapAtEight) {
    AtomicFIFO fifo{};
    int32_t storage[4] = {};
    ASSERT_EQ(AFIFO_Init(&fifo, 4, sizeof(int32_t), storage), 0);
    EXPECT_EQ(AFIFO_IsEmpty(&fifo), 1);
    EXPECT_EQ(AFIFO_AdvanceReader(&fifo), -1);
    int32_t nextValue = 0, expectValue = 0;
    for (int i = 0; i < 4; i++) {
        int32_t *entry = static_cast<int32_t *>(AFIFO_NextWritable(&fifo));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry, &storage[i]);
        *entry = nextValue++;
        EXPECT_EQ(AFIFO_AdvanceWriter(&fifo), 0);
    }
    EXPECT_EQ(AFIFO_IsFull(&fifo), 1);
    EXPECT_EQ(AFIFO_IsEmpty(&fifo), 0);
    EXPECT_EQ(AFIFO_NextWritable(&fifo), nullptr);
    EXPECT_EQ(AFIFO_AdvanceWriter(&fifo), -1);
    EXPECT_EQ(fifo.writeIndex, 4u);

    /* One read frees one entry; the indices run modulo 8 through several rounds. */
    for (int round = 0; round < 10; round++) {
        int32_t *read = static_cast<int32_t *>(AFIFO_NextReadable(&fifo));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(*read, expectValue++);
        EXPECT_EQ(AFIFO_AdvanceReader(&fifo), 0);
        EXPECT_EQ(AFIFO_IsFull(&fifo), 0);
        int32_t *entry = static_cast<int32_t *>(AFIFO_NextWritable(&fifo));
        ASSERT_NE(entry, nullptr);
        *entry = nextValue++;
        EXPECT_EQ(AFIFO_AdvanceWriter(&fifo), 0);
        EXPECT_EQ(AFIFO_IsFull(&fifo), 1);
        EXPECT_LT(fifo.writeIndex, 8u);
        EXPECT_LT(fifo.readIndex, 8u);
        EXPECT_EQ((fifo.writeIndex - fifo.readIndex) & 7u, 4u);
    }
    while (int32_t *read = static_cast<int32_t *>(AFIFO_NextReadable(&fifo))) {
        EXPECT_EQ(*read, expectValue++);
        AFIFO_AdvanceReader(&fifo);
    }
    EXPECT_EQ(expectValue, nextValue);
    EXPECT_EQ(AFIFO_IsEmpty(&fifo), 1);
}

/* One producer thread and one consumer thread: every entry arrives once, in order, with the
 * contents written before it was published. */
TEST(FifoTest, ProducerAndConsumerThreadsPassEveryEntryInOrder) {
    struct Entry {
        uint32_t value;
        uint32_t check;
    };
    AtomicFIFO fifo{};
    Entry storage[16];
    ASSERT_EQ(AFIFO_Init(&fifo, 16, sizeof(Entry), storage), 0);
    constexpr uint32_t kCount = 200000;
    std::thread producer([&] {
        for (uint32_t i = 0; i < kCount; i++) {
            Entry *entry;
            while ((entry = static_cast<Entry *>(AFIFO_NextWritable(&fifo))) == nullptr)
                std::this_thread::yield();
            entry->value = i;
            entry->check = ~i;
            AFIFO_AdvanceWriter(&fifo);
        }
    });
    uint32_t expected = 0, bad = 0;
    while (expected < kCount) {
        Entry *entry = static_cast<Entry *>(AFIFO_NextReadable(&fifo));
        if (entry == nullptr) {
            std::this_thread::yield();
            continue;
        }
        if (entry->value != expected || entry->check != ~expected) bad++;
        expected++;
        AFIFO_AdvanceReader(&fifo);
    }
    producer.join();
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(AFIFO_IsEmpty(&fifo), 1);
}

/* ---- Back-to-front linked list ------------------------------------------------------ */

TEST(SLinkTest, RemovalReturnsTheOldHeadAndKeepsTheLastNode) {
    DLLNode sentinel{}, a{}, b{}, c{};
    AtomicSLink list{};
    EXPECT_EQ(ASLINK_Init(&list, &sentinel), 0);
    EXPECT_EQ(ASLINK_RemoveNode(&list), nullptr); /* empty: head equals tail */
    EXPECT_EQ(ASLINK_NextReadable(&list), &sentinel);

    ASLINK_AddNode(&list, &a);
    EXPECT_EQ(sentinel.next, &a);
    EXPECT_EQ(list.tail, &a);
    EXPECT_EQ(ASLINK_RemoveNode(&list), &sentinel); /* the first removal yields the sentinel */
    EXPECT_EQ(ASLINK_RemoveNode(&list), nullptr);   /* a stays until another node follows */
    EXPECT_EQ(ASLINK_NextReadable(&list), &a);

    ASLINK_AddNode(&list, &b);
    ASLINK_AddNode(&list, &c);
    EXPECT_EQ(ASLINK_RemoveNode(&list), &a);
    EXPECT_EQ(ASLINK_RemoveNode(&list), &b);
    EXPECT_EQ(ASLINK_RemoveNode(&list), nullptr);
    EXPECT_EQ(list.head, &c);
    EXPECT_EQ(list.tail, &c);
}

TEST(SLinkTest, AddingDoesNotClearTheNodesOwnLink) {
    DLLNode sentinel{}, a{};
    DLLNode stale{};
    a.next = &stale;
    AtomicSLink list{};
    ASLINK_Init(&list, &sentinel);
    ASLINK_AddNode(&list, &a);
    EXPECT_EQ(a.next, &stale);
}

/* The back end appends nodes while the front end removes them: every node but the last
 * arrives exactly once and in order, and its kind word is visible. */
TEST(SLinkTest, ProducerAndConsumerThreadsSeeEveryNodeInOrder) {
    constexpr int kCount = 50000;
    std::vector<DLLNode> nodes(kCount + 1);
    AtomicSLink list{};
    ASLINK_Init(&list, &nodes[0]);
    std::thread producer([&] {
        for (int i = 1; i <= kCount; i++) {
            nodes[i].previous = reinterpret_cast<DLLNode *>(static_cast<uintptr_t>(i));
            ASLINK_AddNode(&list, &nodes[i]);
        }
    });
    int expected = 0, bad = 0;
    while (expected < kCount) { /* node kCount stays on the list */
        DLLNode *node = ASLINK_RemoveNode(&list);
        if (node == nullptr) {
            std::this_thread::yield();
            continue;
        }
        if (node != &nodes[expected]) bad++;
        if (expected > 0 && reinterpret_cast<uintptr_t>(node->previous) !=
                                static_cast<uintptr_t>(expected))
            bad++;
        expected++;
    }
    producer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(ASLINK_RemoveNode(&list), nullptr);
    EXPECT_EQ(ASLINK_NextReadable(&list), &nodes[kCount]);
}

} // namespace
