// The one list container: order, links at both ends, ownership.
#include <gtest/gtest.h>

#include <vector>

#include "kit/linked_list.h"

using idlewarden::LinkedList;

namespace {

// An item that counts its own destructions, so that ownership is visible.
struct Tracked {
    int value;
    std::vector<int>* destroyed;
    ~Tracked() { destroyed->push_back(value); }
};

struct ListTest : ::testing::Test {
    std::vector<int> destroyed;
    LinkedList<Tracked> list;

    void fill(std::initializer_list<int> values) {
        for (int v : values) ASSERT_TRUE(list.append(new Tracked{v, &destroyed}));
    }
    auto* nodeOf(int value) {
        return list.findFirst([value](const Tracked& t) { return t.value == value; });
    }
    // Walks forwards and backwards and checks that both walks and the
    // count agree; returns the values in order.
    std::vector<int> values() {
        std::vector<int> forward, backward;
        const ListNodeCheck check = checkLinks();
        EXPECT_TRUE(check.ok) << check.why;
        for (auto* n = list.firstNode; n != nullptr; n = n->nextNode) forward.push_back(n->item->value);
        for (auto* n = list.lastNode; n != nullptr; n = n->prevNode) backward.insert(backward.begin(), n->item->value);
        EXPECT_EQ(forward, backward);
        EXPECT_EQ(forward.size(), list.nodeCount);
        return forward;
    }

    struct ListNodeCheck {
        bool ok;
        const char* why;
    };
    ListNodeCheck checkLinks() const {
        const bool empty = list.firstNode == nullptr;
        if (empty != (list.lastNode == nullptr) || empty != (list.nodeCount == 0))
            return {false, "emptiness disagrees"};
        if (empty) return {true, ""};
        if (list.firstNode->prevNode != nullptr) return {false, "first has a prev"};
        if (list.lastNode->nextNode != nullptr) return {false, "last has a next"};
        uint32_t seen = 0;
        for (auto* n = list.firstNode; n != nullptr; n = n->nextNode) {
            if (++seen > list.nodeCount) return {false, "more nodes than counted (circular?)"};
            if (n->nextNode != nullptr && n->nextNode->prevNode != n) return {false, "next->prev is not the node"};
            if (n->nextNode == nullptr && n != list.lastNode) return {false, "chain ends before last"};
        }
        return {true, ""};
    }
};

TEST_F(ListTest, NewListIsEmptyAndSearchesFindNothing) {
    EXPECT_EQ(values(), std::vector<int>{});
    EXPECT_EQ(nodeOf(1), nullptr);
    EXPECT_FALSE(list.removeFirst([](const Tracked&) { return true; }));
    list.clear();
    EXPECT_EQ(values(), std::vector<int>{});
}

TEST_F(ListTest, AppendKeepsOrderAndDuplicates) {
    fill({3, 1, 3, 2});
    EXPECT_EQ(values(), (std::vector<int>{3, 1, 3, 2}));
    EXPECT_TRUE(destroyed.empty());
}

struct RemoveCase {
    const char* what;
    std::initializer_list<int> start;
    int removed;
    std::vector<int> left;
};

TEST_F(ListTest, RemoveFixesBothEnds) {
    const RemoveCase cases[] = {
        {"only", {1}, 1, {}},           {"first", {1, 2, 3}, 1, {2, 3}},  {"middle", {1, 2, 3}, 2, {1, 3}},
        {"last", {1, 2, 3}, 3, {1, 2}}, {"first of two", {1, 2}, 1, {2}}, {"last of two", {1, 2}, 2, {1}},
    };
    for (const RemoveCase& c : cases) {
        SCOPED_TRACE(c.what);
        list.clear();
        destroyed.clear();
        fill(c.start);
        list.remove(nodeOf(c.removed));
        EXPECT_EQ(values(), c.left);
        EXPECT_EQ(destroyed, std::vector<int>{c.removed});
        // The list goes on working at both ends.
        fill({9});
        std::vector<int> after = c.left;
        after.push_back(9);
        EXPECT_EQ(values(), after);
        EXPECT_EQ(list.lastNode->item->value, 9);
        EXPECT_EQ(list.firstNode->item->value, after.front());
    }
}

TEST_F(ListTest, RemoveFirstTakesOnlyTheFrontMatch) {
    fill({1, 5, 2, 5, 3});
    auto isFive = [](const Tracked& t) { return t.value == 5; };
    // Both fives carry the same value; the one nearer the front is the second node.
    auto* frontFive = list.firstNode->nextNode;
    auto* backFive = frontFive->nextNode->nextNode;
    EXPECT_EQ(list.findFirst(isFive), frontFive);
    EXPECT_TRUE(list.removeFirst(isFive));
    EXPECT_EQ(list.findFirst(isFive), backFive);
    EXPECT_EQ(values(), (std::vector<int>{1, 2, 5, 3}));
    EXPECT_TRUE(list.removeFirst(isFive));
    EXPECT_EQ(values(), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(list.removeFirst(isFive));
    EXPECT_EQ(values(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(destroyed, (std::vector<int>{5, 5}));
}

TEST_F(ListTest, WalkMayRemoveTheNodeItStandsOn) {
    fill({1, 2, 3});
    std::vector<int> visited;
    auto* node = list.firstNode;
    while (node != nullptr) {
        auto* next = node->nextNode;
        visited.push_back(node->item->value);
        if (node->item->value != 2) list.remove(node);
        node = next;
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(values(), std::vector<int>{2});
    EXPECT_EQ(list.firstNode, list.lastNode);
    EXPECT_EQ(destroyed, (std::vector<int>{1, 3}));
}

TEST_F(ListTest, WalkMayRemoveEveryNode) {
    fill({1, 2, 3, 4});
    for (auto* node = list.firstNode; node != nullptr;) {
        auto* next = node->nextNode;
        list.remove(node);
        node = next;
    }
    EXPECT_EQ(values(), std::vector<int>{});
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(ListTest, ClearDeletesEachItemOnceAndLeavesTheListUsable) {
    fill({1, 2, 3});
    list.clear();
    EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(values(), std::vector<int>{});
    list.clear();
    EXPECT_EQ(destroyed.size(), 3u);
    fill({4});
    EXPECT_EQ(values(), std::vector<int>{4});
    EXPECT_EQ(list.firstNode, list.lastNode);
}

TEST(ListLifetime, DestroyingTheListDeletesItsItems) {
    std::vector<int> destroyed;
    {
        LinkedList<Tracked> list;
        list.append(new Tracked{7, &destroyed});
        list.append(new Tracked{8, &destroyed});
    }
    EXPECT_EQ(destroyed, (std::vector<int>{7, 8}));
}

}  // namespace
