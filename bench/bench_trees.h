// Building blocks of the benchmark diagrams: texts, sequences, the nine-
// construct group and segments, built straight from the node accessors.
#pragma once

#include <cstdio>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "core/segment_paging.h"
#include "platform/platform.h"

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

// Writes a native diagram file segment by segment with one body kept in
// memory, so that building a large file needs little memory: the top
// segment "main" holds `segments` segments, each with `statements`
// statements of about 90 characters. With `numbered` every construct
// carries the line it would be generated at: segment s at line
// 1 + s * (statements + 1), its statements on the lines after it.
inline bool writeSegmentedFile(const char* path, int segments, int statements, bool numbered) {
    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    doc.streamMode = kStreamModeKeepTree;
    ConstructNode* body = nullptr;
    ConstructNode* last = nullptr;
    for (int j = 0; j < statements; ++j) {
        char line[128];
        std::snprintf(line, sizeof line,
                      "statement %04d := statement %04d + the value of the next field %08d;", j, j + 1,
                      j * 7919);
        ConstructNode* node = newNode(ConstructType::Text);
        setText(node, memStrDup(line));
        append(body, last, node);
    }
    ConstructNode* level = segment(&doc, text("segment %d", 0), body);

    platform::OpenInfo info{};
    BufferedFile* f = bfile::openFile(path, &info, platform::kOpenCreate | platform::kOpenReadWrite, 0);
    if (!f) {
        freeSequence(level);
        return false;
    }
    resetOutcome();
    bool ok = writeDiagramHeader(f) && writeInformationChunks(f, &doc);
    const std::int32_t tree = ok ? beginChunk(f, kTagTree, kCurrentTreeVersion) : -1;
    // The top segment: its record, its head, its block around the others.
    ConstructNode* top = segment(&doc, text("main", 0), nullptr);
    ConstructNode* topHead = childAt(top, Slot::Head);
    ok = ok && tree >= 0 && writeElement(f, top) && writeLevelStart(f, top) &&
         writeSequence(&doc, topHead, nullptr, f);
    const std::int32_t topBlock = ok ? bfile::tell(f) : -1;
    ok = ok && writeBlockHeader(f, top);
    for (int s = 0; ok && s < segments; ++s) {
        levelInfoOf(level)->levelId = static_cast<std::uint32_t>(s + 2);
        if (numbered) {
            int line = 1 + s * (statements + 1);
            level->lineNumber = line;
            for (ConstructNode* n = body; n; n = n->next) n->lineNumber = ++line;
        }
        ok = writeElement(f, level) && writeLevelStart(f, level) &&
             writeSequence(&doc, childAt(level, Slot::Head), nullptr, f);
        const std::int32_t block = ok ? bfile::tell(f) : -1;
        ok = ok && writeBlockHeader(f, level) && writeSequence(&doc, body, nullptr, f) &&
             patchBlockLength(f, static_cast<std::uint32_t>(block));
    }
    const std::uint8_t end = kMarkEnd;
    ok = ok && bfile::write(f, &end, 1) == 0 && patchBlockLength(f, static_cast<std::uint32_t>(topBlock)) &&
         bfile::write(f, &end, 1) == 0 && endChunk(f, tree);
    ok = bfile::close(f) == 0 && ok && g_outcome.writeOk;
    freeSequence(level);
    freeSequence(top);
    return ok;
}

// The large diagram: 999 segments of 1,075 numbered statements below the
// top segment (about 100 MB, 1.07 million constructs), written to a
// temporary file whose name starts with `prefix` and opened as the editor
// opens it: the top segment loaded, every other body on disk.
struct OpenedLargeDiagram {
    static constexpr int kSegments = 999;
    static constexpr int kStatements = 1075;
    char stem[platform::kMaxPath] = {};
    std::string path;
    DiagramDocument doc{};
    bool ok = false;

    explicit OpenedLargeDiagram(const char* prefix) {
        if (!platform::tempFileName(prefix, stem)) return;
        platform::deleteFile(stem);
        path = std::string(stem) + ".vrd";
        if (!writeSegmentedFile(path.c_str(), kSegments, kStatements, true)) return;
        g_currentDocument = &doc;
        ok = openDocument(&doc, path.c_str()) == 1 && ensureLoaded(doc.root, &doc) == 1;
    }
    ~OpenedLargeDiagram() {
        closeDocument(&doc);
        g_currentDocument = nullptr;
        platform::deleteFile(path.c_str());
    }
    OpenedLargeDiagram(const OpenedLargeDiagram&) = delete;
    OpenedLargeDiagram& operator=(const OpenedLargeDiagram&) = delete;

    // The generated line of statement j of segment s.
    static long lineOf(int s, int j) { return 1 + s * (kStatements + 1) + 1 + j; }
};

}  // namespace bench_trees
