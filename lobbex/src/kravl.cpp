// The AVL tree of kravl.h: insertion, deletion (a node with two children takes its in-order
// predecessor's data), search, in-order walk and post-order release, with single and double
// rotations keeping every node's balance within -1..+1.
#include "kravl.h"

#include <cstdlib>

namespace {

// Rotations for a node whose left subtree has become two levels higher. Returns whether the
// subtree's height fell back by one (it always does after an insertion; after a deletion it
// stays when the left child was balanced).
bool FixLeftHeavy(KRAVL_NODE** p) {
    KRAVL_NODE* node = *p;
    KRAVL_NODE* left = node->left;
    if (left->balance <= 0) { // single right rotation
        node->left = left->right;
        left->right = node;
        bool shorter = left->balance != 0;
        if (left->balance == 0) {
            node->balance = -1;
            left->balance = +1;
        } else {
            node->balance = 0;
            left->balance = 0;
        }
        *p = left;
        return shorter;
    }
    KRAVL_NODE* pivot = left->right; // double rotation
    left->right = pivot->left;
    node->left = pivot->right;
    pivot->left = left;
    pivot->right = node;
    node->balance = pivot->balance == -1 ? +1 : 0;
    left->balance = pivot->balance == +1 ? -1 : 0;
    pivot->balance = 0;
    *p = pivot;
    return true;
}

bool FixRightHeavy(KRAVL_NODE** p) {
    KRAVL_NODE* node = *p;
    KRAVL_NODE* right = node->right;
    if (right->balance >= 0) { // single left rotation
        node->right = right->left;
        right->left = node;
        bool shorter = right->balance != 0;
        if (right->balance == 0) {
            node->balance = +1;
            right->balance = -1;
        } else {
            node->balance = 0;
            right->balance = 0;
        }
        *p = right;
        return shorter;
    }
    KRAVL_NODE* pivot = right->left; // double rotation
    right->left = pivot->right;
    node->right = pivot->left;
    pivot->right = right;
    pivot->left = node;
    node->balance = pivot->balance == +1 ? -1 : 0;
    right->balance = pivot->balance == -1 ? +1 : 0;
    pivot->balance = 0;
    *p = pivot;
    return true;
}

// Returns 0 when out of memory; *grew tells whether the subtree became higher.
int Insert(KRAVL_NODE** p, KRAVL_COMPARE compare, void* data, KRAVL_DATA_FN replaced, bool* grew) {
    KRAVL_NODE* node = *p;
    if (!node) {
        node = static_cast<KRAVL_NODE*>(std::calloc(1, sizeof(KRAVL_NODE)));
        if (!node) return 0;
        node->data = data;
        *p = node;
        *grew = true;
        return 1;
    }
    int c = compare(data, node->data);
    if (c == 0) {
        if (replaced) replaced(node->data);
        node->data = data;
        *grew = false;
        return 1;
    }
    if (c < 0) {
        if (!Insert(&node->left, compare, data, replaced, grew)) return 0;
        if (*grew) {
            if (node->balance == +1) {
                node->balance = 0;
                *grew = false;
            } else if (node->balance == 0) {
                node->balance = -1;
            } else {
                FixLeftHeavy(p);
                *grew = false;
            }
        }
    } else {
        if (!Insert(&node->right, compare, data, replaced, grew)) return 0;
        if (*grew) {
            if (node->balance == -1) {
                node->balance = 0;
                *grew = false;
            } else if (node->balance == 0) {
                node->balance = +1;
            } else {
                FixRightHeavy(p);
                *grew = false;
            }
        }
    }
    return 1;
}

// After the left subtree of *p became one lower; *shrunk tells whether *p did too.
void LeftShrank(KRAVL_NODE** p, bool* shrunk) {
    KRAVL_NODE* node = *p;
    if (node->balance == -1) {
        node->balance = 0; // still shrunk
    } else if (node->balance == 0) {
        node->balance = +1;
        *shrunk = false;
    } else {
        *shrunk = FixRightHeavy(p);
    }
}

void RightShrank(KRAVL_NODE** p, bool* shrunk) {
    KRAVL_NODE* node = *p;
    if (node->balance == +1) {
        node->balance = 0;
    } else if (node->balance == 0) {
        node->balance = -1;
        *shrunk = false;
    } else {
        *shrunk = FixLeftHeavy(p);
    }
}

// Unlinks the rightmost node of the subtree and hands back its data.
void* RemoveMax(KRAVL_NODE** p, bool* shrunk) {
    KRAVL_NODE* node = *p;
    if (node->right) {
        void* data = RemoveMax(&node->right, shrunk);
        if (*shrunk) RightShrank(p, shrunk);
        return data;
    }
    void* data = node->data;
    *p = node->left;
    std::free(node);
    *shrunk = true;
    return data;
}

int Delete(KRAVL_NODE** p, KRAVL_COMPARE compare, const void* key, KRAVL_DATA_FN deleted, bool* shrunk) {
    KRAVL_NODE* node = *p;
    if (!node) {
        *shrunk = false;
        return 0;
    }
    int c = compare(node->data, key);
    if (c > 0) {
        if (!Delete(&node->left, compare, key, deleted, shrunk)) return 0;
        if (*shrunk) LeftShrank(p, shrunk);
        return 1;
    }
    if (c < 0) {
        if (!Delete(&node->right, compare, key, deleted, shrunk)) return 0;
        if (*shrunk) RightShrank(p, shrunk);
        return 1;
    }
    if (deleted) deleted(node->data);
    if (!node->left || !node->right) {
        *p = node->left ? node->left : node->right;
        std::free(node);
        *shrunk = true;
        return 1;
    }
    node->data = RemoveMax(&node->left, shrunk);
    if (*shrunk) LeftShrank(p, shrunk);
    return 1;
}

}  // namespace

int KrAvlInsert(KRAVL_NODE** root, KRAVL_COMPARE compare, void* data, KRAVL_DATA_FN replaced) {
    bool grew = false;
    return Insert(root, compare, data, replaced, &grew);
}

int KrAvlDelete(KRAVL_NODE** root, KRAVL_COMPARE compare, const void* key, KRAVL_DATA_FN deleted) {
    bool shrunk = false;
    return Delete(root, compare, key, deleted, &shrunk);
}

void* KrAvlFind(KRAVL_NODE* root, KRAVL_COMPARE compare, const void* key) {
    while (root) {
        int c = compare(key, root->data);
        if (c == 0) return root->data;
        root = c < 0 ? root->left : root->right;
    }
    return nullptr;
}

int KrAvlWalk(KRAVL_NODE* root, KRAVL_WALK_FN visit) {
    if (!root) return 1;
    if (!KrAvlWalk(root->left, visit)) return 0;
    if (!visit(root->data)) return 0;
    return KrAvlWalk(root->right, visit);
}

void KrAvlFreeAll(KRAVL_NODE** root, KRAVL_DATA_FN visit) {
    KRAVL_NODE* node = *root;
    if (!node) return;
    KrAvlFreeAll(&node->left, visit);
    KrAvlFreeAll(&node->right, visit);
    if (visit) visit(node->data);
    std::free(node);
    *root = nullptr;
}
