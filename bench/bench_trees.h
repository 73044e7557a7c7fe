// Building blocks of the benchmark diagrams: texts, sequences, the nine-
// construct group and segments, built straight from the node accessors.
#pragma once

#include <cstdio>

#include "core/allocator.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"

namespace bench_trees {

// A Text construct holding `format` filled with `n` and a second number.
inline ConstructNode* text(const char* format, int n, int lineNumber = 0) {
    ConstructNode* node = newNode(ConstructType::Text);
    node->lineNumber = lineNumber;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, n, n % 97);
    setText(node, memStrDup(buffer));
    return node;
}

// Appends `node` after `*last` (or makes it the head).
inline void append(ConstructNode*& head, ConstructNode*& last, ConstructNode* node) {
    if (last) {
        last->next = node;
        node->up = last;
    } else {
        head = node;
    }
    last = node;
}

// Text, If{Text, Text, Text}, While{Text, Text}, Text: nine constructs.
// With `numbered` each carries a line number.
inline void group(ConstructNode*& head, ConstructNode*& last, int n, bool numbered) {
    auto statement = [&](int k) { return text("statement %d := %d", n + k, numbered ? n + k + 1 : 0); };
    append(head, last, statement(0));
    ConstructNode* ifNode = newNode(ConstructType::If);
    ifNode->lineNumber = numbered ? n + 2 : 0;
    setChildAt(statement(1), ifNode, Slot::Condition);
    setChildAt(statement(2), ifNode, Slot::Then);
    setChildAt(statement(3), ifNode, Slot::Else);
    append(head, last, ifNode);
    ConstructNode* whileNode = newNode(ConstructType::While);
    whileNode->lineNumber = numbered ? n + 5 : 0;
    setChildAt(statement(4), whileNode, Slot::Condition);
    setChildAt(statement(5), whileNode, Slot::Body);
    append(head, last, whileNode);
    append(head, last, statement(6));
}

// A loaded segment with `head` and `body`.
inline ConstructNode* segment(DiagramDocument* doc, ConstructNode* head, ConstructNode* body) {
    ConstructNode* level = newNode(ConstructType::Level);
    setPartPtr(level, 3, newLevelInfo(0, doc));
    setSegmentFlags(level, kSegLoaded);
    setChildAt(head, level, Slot::Head);
    setChildAt(body, level, Slot::Body);
    return level;
}

}  // namespace bench_trees
