// Intrusive doubly linked lists: the links live at the start of each element, and the header holds
// two end nodes, so inserting and removing never test for the ends and removal needs no reference
// to the list. A walk starts at the head and runs until a node's successor is null:
//     for (ListNode* n = header->headEnd.successor; n->successor; n = n->successor) ...
#pragma once
#include <cstdint>

struct ListNode {
    ListNode* successor;
    ListNode* predecessor;
};

// headEnd.successor is the first element (or &tailEnd when empty), headEnd.predecessor is null;
// tailEnd.successor is always null, tailEnd.predecessor is the last element (or &headEnd).
// The header holds its own address: it must not be copied or moved while the list is in use.
struct ListHeader {
    ListNode headEnd;
    ListNode tailEnd;
};

void LST_Init(ListHeader* header);
void LST_AddHead(ListHeader* header, ListNode* node);
void LST_AddTail(ListHeader* header, ListNode* node);
// Unlinks the node from whatever list holds it. The node's own links are kept, so a walk that
// removes the node it stands on can still step to the successor. Removing a node twice, after its
// neighbours have changed, corrupts the list.
void LST_Remove(ListNode* node);
uint32_t LST_Count(const ListHeader* header);
