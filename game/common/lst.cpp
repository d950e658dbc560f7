// Intrusive doubly linked lists with two end nodes in the header.
#include "common/lst.h"

void LST_Init(ListHeader* header) {
    header->headEnd.successor = &header->tailEnd;
    header->headEnd.predecessor = nullptr;
    header->tailEnd.successor = nullptr;
    header->tailEnd.predecessor = &header->headEnd;
}

void LST_AddHead(ListHeader* header, ListNode* node) {
    ListNode* first = header->headEnd.successor;
    node->successor = first;
    node->predecessor = &header->headEnd;
    first->predecessor = node;
    header->headEnd.successor = node;
}

void LST_AddTail(ListHeader* header, ListNode* node) {
    ListNode* last = header->tailEnd.predecessor;
    node->successor = &header->tailEnd;
    node->predecessor = last;
    last->successor = node;
    header->tailEnd.predecessor = node;
}

void LST_Remove(ListNode* node) {
    if (node->predecessor) node->predecessor->successor = node->successor;
    if (node->successor) node->successor->predecessor = node->predecessor;
}

uint32_t LST_Count(const ListHeader* header) {
    uint32_t count = 0;
    for (const ListNode* n = header->headEnd.successor; n->successor; n = n->successor) ++count;
    return count;
}
