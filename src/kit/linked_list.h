// LinkedList: the one collection of the module.
//
// A doubly linked list that owns its items: every item and every node is a
// separate heap object, nodes keep the order in which items were appended,
// and all searches walk from the front. No sentinel, no index, no sorting.
//
// Walking: read `firstNode` and follow `nextNode`. A walk may remove the node
// on which it stands (take its `nextNode` first, then `remove` it, then go on
// with the taken successor); it must not remove any other node.
//
// Moving: `unlink` and `appendNode` move a node with its item from one list
// to another without allocating or releasing anything.
//
// Memory: nodes are allocated without throwing. `append` is the only
// operation that allocates; if it cannot, it releases the item it was given
// and leaves the list as it was. No other operation can fail.
#pragma once

#include <cstdint>
#include <new>

namespace idlewarden {

template <typename T>
struct ListNode {
    T* item;
    ListNode* nextNode;
    ListNode* prevNode;
};

template <typename T>
struct LinkedList {
    using Node = ListNode<T>;

    Node* firstNode = nullptr;
    Node* lastNode = nullptr;
    uint32_t nodeCount = 0;

    LinkedList() = default;
    ~LinkedList() { clear(); }
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;

    // Takes ownership of `item` and puts it last. Returns false when no node
    // could be allocated; the item is then deleted and the list is unchanged.
    bool append(T* item) {
        Node* node = new (std::nothrow) Node{item, nullptr, nullptr};
        if (node == nullptr) {
            delete item;
            return false;
        }
        appendNode(node);
        return true;
    }

    // The first node, from the front, whose item passes `test`; null if none.
    template <typename Test>
    Node* findFirst(Test test) const {
        for (Node* node = firstNode; node != nullptr; node = node->nextNode) {
            if (test(*node->item)) return node;
        }
        return nullptr;
    }

    // Unlinks `node` (a node of this list) and deletes its item and the node.
    void remove(Node* node) {
        unlink(node);
        delete node->item;
        delete node;
    }

    // Takes `node` (a node of this list) out of the list and hands it to the
    // caller with its item, both still alive; `appendNode` puts it into a
    // list again. The node's own links are only read, so each end is fixed
    // against the neighbours as they were. Cannot fail.
    Node* unlink(Node* node) {
        if (node == lastNode) {
            lastNode = node->prevNode;
            if (lastNode != nullptr) lastNode->nextNode = nullptr;
        } else if (node->prevNode != nullptr) {
            node->prevNode->nextNode = node->nextNode;
        }
        if (node == firstNode) {
            firstNode = node->nextNode;
            if (firstNode != nullptr) firstNode->prevNode = nullptr;
        } else if (node->nextNode != nullptr) {
            node->nextNode->prevNode = node->prevNode;
        }
        --nodeCount;
        return node;
    }

    // Puts a node that `unlink` took out of a list last in this one; the list
    // owns it and its item again. Allocates nothing and cannot fail.
    void appendNode(Node* node) {
        node->nextNode = nullptr;
        node->prevNode = lastNode;
        if (firstNode == nullptr) {
            firstNode = node;
        } else {
            lastNode->nextNode = node;
        }
        lastNode = node;
        ++nodeCount;
    }

    // Removes the first node whose item passes `test`. True if one went.
    template <typename Test>
    bool removeFirst(Test test) {
        Node* node = findFirst(test);
        if (node == nullptr) return false;
        remove(node);
        return true;
    }

    // Deletes every item and node; the list is then as new.
    void clear() {
        Node* node = firstNode;
        while (node != nullptr) {
            Node* next = node->nextNode;
            delete node->item;
            delete node;
            node = next;
        }
        firstNode = nullptr;
        nodeCount = 0;
        lastNode = nullptr;
    }
};

}  // namespace idlewarden
