/*
 * dbl_list.cpp - intrusive circular doubly linked lists with a head node.
 *
 * A list head is a node of its own; an empty list, and a node that is on no list, point at
 * themselves in both directions. Nothing here allocates or locks, so both the client threads
 * and the audio thread use these operations on the lists they own.
 */
#include <cstring>

#include "vx_base.h"

void DLL_InitNode(DLLNode *node) {
    node->next = node;
    node->previous = node;
}

void DLL_InitList(DLLNode *list) { DLL_InitNode(list); }

int DLL_IsEmpty(const DLLNode *list) { return list->next == list ? 1 : 0; }

namespace {
void DLL_Connect(DLLNode *a, DLLNode *b) {
    a->next = b;
    b->previous = a;
}
} // namespace

void DLL_InsertAfter(DLLNode *node, DLLNode *newNode) {
    DLL_Connect(newNode, node->next);
    DLL_Connect(node, newNode);
}

void DLL_InsertBefore(DLLNode *node, DLLNode *newNode) {
    DLLNode *previous = node->previous;
    DLL_Connect(newNode, node);
    DLL_Connect(previous, newNode);
}

void DLL_Remove(DLLNode *node) {
    /* A node on no list points at itself, so this leaves it unchanged. */
    DLL_Connect(node->previous, node->next);
    DLL_InitNode(node);
}

DLLNode *DLL_RemoveFirst(DLLNode *list) {
    if (DLL_IsEmpty(list)) return nullptr;
    DLLNode *first = list->next;
    DLL_Remove(first);
    return first;
}

void DLL_AddListToTail(DLLNode *list, DLLNode *other) {
    if (DLL_IsEmpty(other)) return;
    DLLNode *otherFirst = other->next;
    DLLNode *otherLast = other->previous;
    DLLNode *listLast = list->previous;
    DLL_Connect(otherLast, list);
    DLL_Connect(listLast, otherFirst);
    DLL_InitList(other);
}

int32_t DLL_CountNodes(const DLLNode *list) {
    int32_t count = 0;
    for (const DLLNode *node = list->next; node != list; node = node->next) count++;
    return count;
}

namespace {
bool NameEquals(const DLLNode *node, const char *name) {
    const char *nodeName = reinterpret_cast<const DLLNamedNode *>(node)->name;
    if (nodeName == nullptr || name == nullptr) return nodeName == name;
    return std::strcmp(nodeName, name) == 0;
}
} // namespace

int DLL_FindNodeByName(DLLNode *list, const char *name, DLLNode **outNode) {
    *outNode = nullptr;
    for (DLLNode *node = list->next; node != list; node = node->next) {
        if (NameEquals(node, name)) {
            *outNode = node;
            return 1;
        }
    }
    return 0;
}

int DLL_FindNodeByID(DLLNode *list, int32_t id, DLLNode **outNode) {
    *outNode = nullptr;
    for (DLLNode *node = list->next; node != list; node = node->next) {
        if (reinterpret_cast<const DLLNamedNode *>(node)->id == id) {
            *outNode = node;
            return 1;
        }
    }
    return 0;
}

int32_t DLL_CountNodesByName(DLLNode *list, const char *name) {
    int32_t count = 0;
    for (DLLNode *node = list->next; node != list; node = node->next) {
        if (NameEquals(node, name)) count++;
    }
    return count;
}
