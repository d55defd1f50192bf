/*
 * atomic_slink.cpp - a single-producer single-consumer linked list with a sentinel.
 *
 * The list always keeps one node: removal hands out the old head once its successor is
 * known. The producer completes a node, links it from the old tail (release) and then makes
 * it the tail (release); the consumer reads the tail (acquire) before following the head's
 * link (acquire).
 */
#include "vx_base.h"

int32_t ASLINK_Init(AtomicSLink *list, DLLNode *sentinel) {
    vx_store_release(list->head, sentinel);
    vx_store_release(list->tail, sentinel);
    return 0;
}

void ASLINK_AddNode(AtomicSLink *list, DLLNode *node) {
    DLLNode *tail = vx_load(list->tail);
    vx_store_release(tail->next, node);
    vx_store_release(list->tail, node);
}

DLLNode *ASLINK_RemoveNode(AtomicSLink *list) {
    DLLNode *head = vx_load(list->head);
    DLLNode *tail = vx_load_acquire(list->tail);
    if (head == tail) return nullptr;
    DLLNode *next = vx_load_acquire(head->next);
    vx_store_release(list->head, next);
    return head;
}

DLLNode *ASLINK_NextReadable(AtomicSLink *list) { return vx_load_acquire(list->head); }
