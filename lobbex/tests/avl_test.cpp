// The AVL tree: random insertions and deletions checked against an ordered set and against the
// balance invariant after every step; replacing, finding, walking and freeing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "kravl.h"

namespace {

int CompareInts(const void* a, const void* b) {
    intptr_t x = (intptr_t)a, y = (intptr_t)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

// Height of the subtree, checking order bounds and every stored balance on the way; -1 when
// something is wrong.
int CheckedHeight(const KRAVL_NODE* node, intptr_t low, intptr_t high) {
    if (!node) return 0;
    intptr_t v = (intptr_t)node->data;
    if (v <= low || v >= high) return -1;
    int left = CheckedHeight(node->left, low, v), right = CheckedHeight(node->right, v, high);
    if (left < 0 || right < 0) return -1;
    if (right - left != node->balance || node->balance < -1 || node->balance > 1) return -1;
    return 1 + std::max(left, right);
}

std::vector<intptr_t> g_walked;
int Collect(void* data) {
    g_walked.push_back((intptr_t)data);
    return 1;
}
int StopAtTen(void* data) {
    g_walked.push_back((intptr_t)data);
    return (intptr_t)data < 10;
}
std::vector<intptr_t> g_dropped;
void Drop(void* data) {
    g_dropped.push_back((intptr_t)data);
}

TEST(AvlTree, StaysOrderedAndBalancedUnderRandomInsertsAndDeletes) {
    std::mt19937 random(2024);
    KRAVL_NODE* root = nullptr;
    std::set<intptr_t> model;
    for (int step = 0; step < 4000; ++step) {
        intptr_t key = 1 + (intptr_t)(random() % 500);
        if (random() % 3 != 0) {
            ASSERT_EQ(KrAvlInsert(&root, CompareInts, (void*)key, nullptr), 1);
            model.insert(key);
        } else {
            g_dropped.clear();
            int removed = KrAvlDelete(&root, CompareInts, (void*)key, Drop);
            ASSERT_EQ(removed, (int)model.erase(key));
            ASSERT_EQ(g_dropped, removed ? std::vector<intptr_t>{key} : std::vector<intptr_t>{});
        }
        ASSERT_GE(CheckedHeight(root, 0, 1 << 20), 0) << "step " << step;
    }
    g_walked.clear();
    EXPECT_EQ(KrAvlWalk(root, Collect), 1);
    EXPECT_EQ(g_walked, std::vector<intptr_t>(model.begin(), model.end()));
    const int height = CheckedHeight(root, 0, 1 << 20);
    EXPECT_LE(height, 1.45 * std::log2(model.size() + 2)) << "an AVL tree's height bound";
    for (intptr_t k : model) EXPECT_EQ((intptr_t)KrAvlFind(root, CompareInts, (void*)k), k);
    EXPECT_EQ(KrAvlFind(root, CompareInts, (void*)(intptr_t)100000), nullptr);
    g_dropped.clear();
    KrAvlFreeAll(&root, Drop);
    EXPECT_EQ(root, nullptr);
    std::sort(g_dropped.begin(), g_dropped.end());
    EXPECT_EQ(g_dropped, std::vector<intptr_t>(model.begin(), model.end()));
}

TEST(AvlTree, EqualKeysReplaceAndTheWalkStopsWhenAsked) {
    KRAVL_NODE* root = nullptr;
    for (intptr_t k : {5, 12, 8, 20, 1, 10}) KrAvlInsert(&root, CompareInts, (void*)k, nullptr);
    g_dropped.clear();
    KrAvlInsert(&root, CompareInts, (void*)(intptr_t)8, Drop);
    EXPECT_EQ(g_dropped, std::vector<intptr_t>{8}) << "the replaced data is handed back";
    g_walked.clear();
    EXPECT_EQ(KrAvlWalk(root, StopAtTen), 0);
    EXPECT_EQ(g_walked, (std::vector<intptr_t>{1, 5, 8, 10}));
    EXPECT_EQ(KrAvlDelete(&root, CompareInts, (void*)(intptr_t)99, Drop), 0);
    KrAvlFreeAll(&root, nullptr);
}

}  // namespace
