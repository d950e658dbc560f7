// Tests of the intrusive list: sequences of adds and removes checked by walking both ways, the
// empty-list shape, and removal during a walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/lst.h"

namespace {

// An element with its links first, as the list's users lay them out.
struct Item {
    ListNode link;
    int id;
};

// Ids from head to tail by the usual walk; also checks that walking back from the tail end gives
// the same order and that the end nodes keep their fixed links.
std::vector<int> Walk(const ListHeader& header) {
    std::vector<int> forward;
    for (const ListNode* n = header.headEnd.successor; n->successor; n = n->successor) {
        forward.push_back(reinterpret_cast<const Item*>(n)->id);
        if (forward.size() > 100) break;
    }
    std::vector<int> backward;
    for (const ListNode* n = header.tailEnd.predecessor; n->predecessor; n = n->predecessor) {
        backward.insert(backward.begin(), reinterpret_cast<const Item*>(n)->id);
        if (backward.size() > 100) break;
    }
    EXPECT_EQ(forward, backward) << "links disagree";
    EXPECT_EQ(header.headEnd.predecessor, nullptr);
    EXPECT_EQ(header.tailEnd.successor, nullptr);
    return forward;
}

void ExpectEmpty(const ListHeader& header) {
    EXPECT_EQ(header.headEnd.successor, &header.tailEnd);
    EXPECT_EQ(header.tailEnd.predecessor, &header.headEnd);
    EXPECT_EQ(header.tailEnd.successor, nullptr);
    EXPECT_EQ(LST_Count(&header), 0u);
}

TEST(LstList, SequencesOfAddsAndRemoves) {
    struct Case {
        const char* ops;  // "H3" add item 3 at the head, "T3" at the tail, "R3" remove item 3
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"H1", {1}},
        {"T1", {1}},
        {"H1 H2 H3", {3, 2, 1}},
        {"T1 T2 T3", {1, 2, 3}},
        {"T1 H2 T3 H4", {4, 2, 1, 3}},
        {"T1 T2 T3 R2", {1, 3}},
        {"T1 T2 T3 R1", {2, 3}},
        {"T1 T2 T3 R3", {1, 2}},
        {"T1 R1", {}},
        {"H1 R1 T2", {2}},
        {"T1 T2 R1 R2 H3", {3}},
        {"T1 T2 T3 R1 R2 R3", {}},
        {"T1 T2 T3 R3 T3 R1 H1", {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("ops \"") + c.ops + "\"");
        ListHeader header;
        LST_Init(&header);
        Item items[10] = {};
        for (int i = 0; i < 10; ++i) items[i].id = i;
        const std::string ops = c.ops;
        for (size_t p = 0; p + 1 < ops.size(); p += 3) {
            Item* item = &items[ops[p + 1] - '0'];
            if (ops[p] == 'H') LST_AddHead(&header, &item->link);
            if (ops[p] == 'T') LST_AddTail(&header, &item->link);
            if (ops[p] == 'R') LST_Remove(&item->link);
        }
        EXPECT_EQ(Walk(header), c.expected);
        EXPECT_EQ(LST_Count(&header), c.expected.size());
        if (c.expected.empty()) {
            ExpectEmpty(header);
        }
    }
}

TEST(LstList, OneElementHasTheSameShapeFromEitherEnd) {
    ListHeader byHead, byTail;
    LST_Init(&byHead);
    LST_Init(&byTail);
    ExpectEmpty(byHead);
    Item a{{nullptr, nullptr}, 1}, b{{nullptr, nullptr}, 2};
    LST_AddHead(&byHead, &a.link);
    LST_AddTail(&byTail, &b.link);
    for (auto [header, item] : {std::pair{&byHead, &a}, std::pair{&byTail, &b}}) {
        EXPECT_EQ(header->headEnd.successor, &item->link);
        EXPECT_EQ(header->tailEnd.predecessor, &item->link);
        EXPECT_EQ(item->link.successor, &header->tailEnd);
        EXPECT_EQ(item->link.predecessor, &header->headEnd);
        EXPECT_EQ(LST_Count(header), 1u);
    }
    // Removing the only element empties the list again; the element keeps its links.
    LST_Remove(&a.link);
    ExpectEmpty(byHead);
    EXPECT_EQ(a.link.successor, &byHead.tailEnd);
    EXPECT_EQ(a.link.predecessor, &byHead.headEnd);
}

TEST(LstList, RemovingDuringAWalkStepsOnAndUnlinkedNodesAreHarmless) {
    ListHeader header;
    LST_Init(&header);
    Item items[6] = {};
    for (int i = 0; i < 6; ++i) {
        items[i].id = i;
        LST_AddTail(&header, &items[i].link);
    }
    // Drop the even ids while walking: the removed node still leads to its old successor.
    for (ListNode* n = header.headEnd.successor; n->successor; n = n->successor) {
        if (reinterpret_cast<Item*>(n)->id % 2 == 0) LST_Remove(n);
    }
    EXPECT_EQ(Walk(header), (std::vector<int>{1, 3, 5}));

    // A zero-filled record that was never added has no neighbours to change.
    Item loose{};
    LST_Remove(&loose.link);
    EXPECT_EQ(Walk(header), (std::vector<int>{1, 3, 5}));

    // A node moves from one list to another.
    ListHeader other;
    LST_Init(&other);
    LST_Remove(&items[3].link);
    LST_AddHead(&other, &items[3].link);
    EXPECT_EQ(Walk(header), (std::vector<int>{1, 5}));
    EXPECT_EQ(Walk(other), (std::vector<int>{3}));
}

}  // namespace
