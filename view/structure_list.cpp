#include "view/structure_list.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "resources/strings.h"
#include "view/layout.h"
#include "view/segment_walk.h"
#include "view/shapes.h"

namespace {

bool isOutline(const ConstructNode* n) {
    return inGroup(n->type, kGroupOutline);
}

ConstructType listedType(StructureKind kind) {
    switch (kind) {
        case StructureKind::Procedures:
            return ConstructType::Procedure;
        case StructureKind::Functions:
            return ConstructType::Function;
        default:
            return ConstructType::Level;
    }
}

// The entry of a construct: "number head text" (a segment's number is
// its level id, another construct's its line), and the head's first line.
StructureEntry entryOf(const ConstructNode* n, std::vector<std::uint32_t> path, int ordinal, int depth) {
    const char* head = displayText(childAt(n, Slot::Head));
    const int length = head ? static_cast<int>(std::strcspn(head, "\r\n")) : 0;
    char text[256];
    if (n->type == ConstructType::Level)
        segmentName(n, text, sizeof text);
    else if (n->lineNumber > 0)
        std::snprintf(text, sizeof text, "%d %.*s", n->lineNumber, length, head ? head : "");
    else
        std::snprintf(text, sizeof text, "%.*s", length, head ? head : "");
    return {std::move(path), ordinal, depth, text,
            std::string(head ? head : "", static_cast<std::size_t>(length))};
}

std::uint32_t idOf(const ConstructNode* level) {
    const LevelInfo* info = levelInfoOf(level);
    return info ? info->levelId : 0;
}

// The name a call or a procedure head starts with, in upper case.
std::string nameOf(const char* text) {
    std::string name;
    const char* p = text;
    while (p && (*p == ' ' || *p == '\t')) ++p;
    for (; p && *p && !std::strchr(" \t(;\r\n", *p); ++p)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return name;
}

// The segment with `id` among the constructs of the body of `level`.
ConstructNode* segmentIn(ConstructNode* level, std::uint32_t id) {
    ConstructNode* found = nullptr;
    walkSegmentLists(levelInfoOf(level)->body, [&](ConstructNode* n) {
        if (n->type == ConstructType::Level && idOf(n) == id) found = n;
        return !found;
    });
    return found;
}

}  // namespace

unsigned structureKindName(StructureKind kind) {
    switch (kind) {
        case StructureKind::Procedures:
            return IDS_LIST_PROCEDURES;
        case StructureKind::Functions:
            return IDS_LIST_FUNCTIONS;
        default:
            return IDS_LIST_SEGMENTS;
    }
}

bool buildStructureList(DiagramDocument* document, StructureKind kind, int maxDepth, StructureList& out) {
    out.kind = kind;
    out.entries.clear();
    out.reads = 0;
    ConstructNode* root = document ? document->root : nullptr;
    if (!root || !levelInfoOf(root)) return false;
    const ConstructType listed = listedType(kind);
    bool complete = true;

    // Segments wait for their turn: each is walked with its path and the
    // tree depth its entries start at; entries of a segment's body are
    // inserted after the segment's own entry (or after its listed owner).
    struct Pending {
        ConstructNode* level;
        std::vector<std::uint32_t> path;
        int depth;
        std::size_t insertAt;  // where its entries go
    };
    std::vector<Pending> pending;
    if (kind == StructureKind::Segments) {
        out.entries.push_back(entryOf(root, {idOf(root)}, -1, 0));
        pending.push_back({root, {idOf(root)}, 1, out.entries.size()});
    } else {
        pending.push_back({root, {idOf(root)}, 0, 0});
    }
    while (!pending.empty()) {
        Pending segment = std::move(pending.back());
        pending.pop_back();
        if (maxDepth > 0 && segment.depth >= maxDepth && kind == StructureKind::Segments) continue;
        const std::uint8_t flags = segmentFlags(segment.level);
        if (!(flags & (kSegLoaded | kSegOutline))) {
            if (!ensureReadable(segment.level, document)) {
                complete = false;
                continue;
            }
            ++out.reads;
        }
        std::vector<StructureEntry> found;
        std::vector<Pending> inner;
        int ordinal = -1;
        int depth = segment.depth;
        walkSegmentLists(
            levelInfoOf(segment.level)->body,
            [&](ConstructNode* n) {
                if (!isOutline(n)) return true;
                ++ordinal;
                const bool listedHere = n->type == listed;
                if (n->type == ConstructType::Level) {
                    std::vector<std::uint32_t> path = segment.path;
                    path.push_back(idOf(n));
                    if (listedHere) found.push_back(entryOf(n, path, -1, depth));
                    inner.push_back({n, std::move(path), depth + (listedHere ? 1 : 0), found.size()});
                } else if (listedHere) {
                    if (maxDepth <= 0 || depth < maxDepth)
                        found.push_back(entryOf(n, segment.path, ordinal, depth));
                    ++depth;
                }
                return true;
            },
            [&](ConstructNode* n) {
                if (n->type == listed && n->type != ConstructType::Level) --depth;
            });
        // The body's entries in place; the segments inside follow theirs.
        const auto at = out.entries.begin() + static_cast<std::ptrdiff_t>(segment.insertAt);
        out.entries.insert(at, found.begin(), found.end());
        for (Pending& p : pending)
            if (p.insertAt >= segment.insertAt) p.insertAt += found.size();
        for (auto p = inner.rbegin(); p != inner.rend(); ++p) {
            p->insertAt += segment.insertAt;
            pending.push_back(std::move(*p));
        }
    }
    return complete;
}

ConstructNode* resolveEntry(DiagramDocument* document, const StructureEntry& entry, ConstructNode** segment) {
    if (segment) *segment = nullptr;
    ConstructNode* level = document ? document->root : nullptr;
    if (!level || entry.path.empty() || idOf(level) != entry.path.front()) return nullptr;
    for (std::size_t i = 1; i < entry.path.size(); ++i) {
        if (!ensureLoaded(level, document)) return nullptr;
        level = segmentIn(level, entry.path[i]);
        if (!level) return nullptr;
    }
    if (!ensureLoaded(level, document)) return nullptr;
    if (segment) *segment = level;
    if (entry.ordinal < 0) return level;
    ConstructNode* found = nullptr;
    int ordinal = -1;
    walkSegmentLists(levelInfoOf(level)->body, [&](ConstructNode* n) {
        if (isOutline(n) && ++ordinal == entry.ordinal) found = n;
        return !found;
    });
    return found;
}

int findEntry(const StructureList& list, const char* text) {
    if (!text) return -1;
    auto lower = [](const std::string& s) {
        std::string out = s;
        for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    const std::string wanted = lower(text);
    for (std::size_t i = 0; i < list.entries.size(); ++i)
        if (lower(list.entries[i].text).find(wanted) != std::string::npos) return static_cast<int>(i);
    return -1;
}

ConstructNode* calledProcedure(DiagramDocument* document, const ConstructNode* call,
                               ConstructNode** segment) {
    if (segment) *segment = nullptr;
    if (!call || call->type != ConstructType::Call) return nullptr;
    const std::string wanted = nameOf(displayText(childAt(call, Slot::Head)));
    if (wanted.empty()) return nullptr;
    for (StructureKind kind : {StructureKind::Procedures, StructureKind::Functions}) {
        StructureList list;
        buildStructureList(document, kind, 0, list);
        for (const StructureEntry& entry : list.entries)
            if (nameOf(entry.head.c_str()) == wanted)
                if (ConstructNode* found = resolveEntry(document, entry, segment)) return found;
    }
    return nullptr;
}
