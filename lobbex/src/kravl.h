// A height-balanced (AVL) binary search tree of data pointers, ordered by the caller's compare.
// The timers keep their expiry order in it.
#pragma once

struct KRAVL_NODE {
    KRAVL_NODE* left;
    KRAVL_NODE* right;
    int balance; // height of the right subtree minus that of the left: -1, 0 or +1
    void* data;
};

typedef int (*KRAVL_COMPARE)(const void* a, const void* b);
typedef void (*KRAVL_DATA_FN)(void* data);
typedef int (*KRAVL_WALK_FN)(void* data); // 0 stops the walk

// compare(data, node data): below 0 goes left, above 0 right, 0 replaces the node's data
// (replaced(old) first, when given). 1 when stored, 0 when out of memory.
int KrAvlInsert(KRAVL_NODE** root, KRAVL_COMPARE compare, void* data, KRAVL_DATA_FN replaced);
// compare(node data, key): above 0 goes left, below 0 right, 0 removes that entry (deleted(its
// data) once, when given). 1 when an entry was removed, 0 when none matched.
int KrAvlDelete(KRAVL_NODE** root, KRAVL_COMPARE compare, const void* key, KRAVL_DATA_FN deleted);
// compare(key, node data); the data found or null.
void* KrAvlFind(KRAVL_NODE* root, KRAVL_COMPARE compare, const void* key);
// In order; stops when visit returns 0. 1 when the walk went through.
int KrAvlWalk(KRAVL_NODE* root, KRAVL_WALK_FN visit);
// Post-order: visit(data) when given, and every node freed.
void KrAvlFreeAll(KRAVL_NODE** root, KRAVL_DATA_FN visit);
