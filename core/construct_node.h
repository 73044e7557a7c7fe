// The in-memory diagram: ConstructNode records, their payload records,
// segments (LevelInfo), and the accessors that read, set and navigate child
// slots.
//
// Tree shape
//   A child slot holds the head of a sequence. The head's `up` is the
//   construct owning the slot; every later node's `up` is its predecessor;
//   the last node's `next` is null. The root of a tree (or of a detached
//   sequence) has `up` == null. The root of every document is one `Level`,
//   the top segment, without successor.
//
// Ownership
//   Nodes come from a record pool (core/record_pool.h) over the counting
//   allocator; every record and string hanging off a node is a block of the
//   counting allocator (core/allocator.h) owned by the node: its labels, its payload
//   record with the record's strings, its child sequences and, for a Level,
//   its LevelInfo with the `extra` block. Setters that take a `char*` take
//   over the block and free the one they replace. freeSequence releases
//   everything.
//
// Part words
//   `part[0..3]` are pointer-sized in memory (they hold child heads and
//   payload pointers as well as small integers); only the files fix their
//   width. Read and write them through the typed helpers below.
//
// Cancellation
//   Walks that visit many nodes (forEachNode, forEachChildSequence,
//   findInSequence, findFirst, clearLineNumbers) stop at their next step
//   while g_outcome.jobCancelled is set. Single-step navigation and the
//   linking functions never stop (a half-done relink would break the tree),
//   and freeSequence always frees everything: it is the clean-up after a
//   cancelled job.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/construct_catalogue.h"

struct DiagramDocument;

// ---------------------------------------------------------------------------
// Records

// Per-view layout results (ten values, written only by layout). View index:
// 0 screen, 1 printer, 2 printer fitted to a page, 3 screen while a text is
// edited in place.
struct ViewGeometry {
    std::int32_t width;  // outer box
    std::int32_t height;
    std::int32_t innerWidth;   // first inner region (body, then-branch)
    std::int32_t innerHeight;  // measured up from the bottom of the box
    std::int32_t textWidth;    // the construct's own text
    std::int32_t textHeight;
    std::int32_t auxWidth;  // minimum extent / natural size of a segment's head
    std::int32_t auxHeight;
    std::int32_t leftLabelWidth;
    std::int32_t rightLabelWidth;
};
static_assert(sizeof(ViewGeometry) == 40);

constexpr int kViewCount = 4;

// The line number sits beside the type, where it costs no padding.
struct ConstructNode {
    ConstructType type;       // int32, set first by the creator
    std::int32_t lineNumber;  // 0 = none
    ConstructNode* next;      // successor in the same sequence (slot 1)
    ConstructNode* up;        // predecessor, or the owner for a sequence head; null at a root
    char* leftLabel;          // null = none
    char* rightLabel;         // null = none
    std::uintptr_t part[4];   // `part0`..`part3`: type-dependent (catalogue)
    ViewGeometry views[kViewCount];
};
static_assert(sizeof(std::uintptr_t) == sizeof(void*));
static_assert(offsetof(ConstructNode, type) == 0);
static_assert(offsetof(ConstructNode, next) == 8);
static_assert(offsetof(ConstructNode, part) == 8 + 4 * sizeof(void*));
static_assert(sizeof(ConstructNode) == 8 + 8 * sizeof(void*) + kViewCount * sizeof(ViewGeometry));

// Segment flags (part2 of a Level, one byte).
enum SegmentFlag : std::uint8_t {
    kSegLoaded = 0x01,              // the body is in memory and editable
    kSegOnDisk = 0x02,              // the body lies in the segment source at fileOffset
    kSegOutline = 0x04,             // an outline copy is in memory (0x02 is set too)
    kSegFileCurrent = 0x10,         // the file copy at fileOffset equals the loaded body
    kSegLineNumbersInvalid = 0x20,  // cleared on loading; the only bit the stream stores
};

// One per Level, created with it.
struct LevelInfo {
    ConstructNode* body;             // head of the segment body (slot 4); its `up` is the Level
    std::uint32_t fileOffset;        // stream offset of the segment block in the segment source
    std::uint32_t readOffset;        // committed offset: fileOffset after reading / the last whole write
    std::uint32_t blockWord1;        // source position reported by the parser interface
    std::uint32_t blockWord2;        // second source position
    std::uint32_t levelId;           // unique in the diagram
    void* extra;                     // block for the segment windows; freed with the LevelInfo
    ViewGeometry views[kViewCount];  // the segment header's per-view layout
    std::uint32_t viewValid;         // one valid bit per view (bit = 1 << view)
    std::uint32_t viewGeneration[kViewCount];  // layout generation each view was laid out for
    std::uint32_t pins;  // holds of editing on the body (pinSegment); a pinned body is never paged out
};

// Host-command record (KdlCommand). Lists end with a null link.
struct HostOperand;
struct HostValue {
    char* text;
    HostOperand* operands;  // nested operand list
    HostValue* next;
};
struct HostOperand {
    char* name;
    HostValue* values;
    std::int32_t number;
    std::uint8_t flags;
    HostOperand* next;
};
// Stream order of an operand: number, flags, name, values.
struct HostCommand {
    std::int32_t kind;  // 1 = command (written as KdlCommand), 2 = statement (KdlStatement)
    std::uint8_t flags;
    char* commandText;
    char* programText;  // kind 2 only
    HostOperand* operands;
};

// Variable record (Variable, type 33): stream order value, text1, text2.
struct VariableRecord {
    std::int32_t value;
    char* text1;
    char* text2;
};

// Variant record (Variant, type 71).
struct VariantRecord {
    char* text1;
    char* text2;
};

// Procedure-options record (KivProc, type 27), fields in stream order.
struct ProcedureOptions {
    std::int32_t value1;
    std::int32_t value2;
    std::int32_t value3;
    std::uint8_t flag1;
    std::int32_t value4;
    std::uint8_t flag2;
    std::uint8_t flag3;
    char* texts[9];
    std::int32_t value5;
};

// Host conditions (KivCond, type 12): part0 = the kind, part1 = by kind a
// record (1..6), a string (7) or nothing (8).
enum class ConditionKind : std::int32_t {
    Kind1 = 1,
    Kind2,
    Kind3,
    Kind4,
    Kind5,
    Kind6,
    TextOnly = 7,
    Empty = 8,
};
// Stream: value, text.
struct ConditionRecord1 {
    std::int32_t value;
    char* text;
};
// Stream: value1, value2, text.
struct ConditionRecord2 {
    std::int32_t value1;
    std::int32_t value2;
    char* text;
};
// Stream: value1, texts1[0..2], value2, value3, texts2[0..2].
struct ConditionRecord3 {
    std::int32_t value1;
    char* texts1[3];
    std::int32_t value2;
    std::int32_t value3;
    char* texts2[3];
};
// Stream order differs from memory order: value1, value2, text1, text2, text3.
struct ConditionRecord4 {
    char* text1;
    char* text2;
    std::int32_t value1;
    char* text3;
    std::int32_t value2;
};
// Stream: 32 values.
struct ConditionRecord5 {
    std::int32_t values[32];
};
// Stream: 32 values, then the text.
struct ConditionRecord6 {
    char* text;
    std::int32_t values[32];
};

// ---------------------------------------------------------------------------
// Part words

inline ConstructNode* partNode(const ConstructNode* n, int word) {
    return reinterpret_cast<ConstructNode*>(n->part[word]);
}
inline void setPartNode(ConstructNode* n, int word, ConstructNode* child) {
    n->part[word] = reinterpret_cast<std::uintptr_t>(child);
}
template <class T>
inline T* partPtr(const ConstructNode* n, int word) {
    return reinterpret_cast<T*>(n->part[word]);
}
template <class T>
inline void setPartPtr(ConstructNode* n, int word, T* p) {
    n->part[word] = reinterpret_cast<std::uintptr_t>(p);
}
// Small integers live in the low 32 bits.
inline std::int32_t partInt(const ConstructNode* n, int word) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n->part[word]));
}
inline void setPartInt(ConstructNode* n, int word, std::int32_t value) {
    n->part[word] = static_cast<std::uint32_t>(value);
}

// Typed views of the payload words. Each returns null / 0 when the node is
// null or not of the type named.
LevelInfo* levelInfoOf(const ConstructNode* level);
std::uint8_t segmentFlags(const ConstructNode* level);
void setSegmentFlags(ConstructNode* level, std::uint8_t flags);
HostCommand* hostCommandOf(const ConstructNode* node);
ProcedureOptions* procedureOptionsOf(const ConstructNode* node);
VariableRecord* variableOf(const ConstructNode* node);
VariantRecord* variantOf(const ConstructNode* node);
// KivCond: the kind (0 for other types) and the kind's record (kinds 1..6;
// null otherwise). Kind 7 keeps a string: conditionText.
std::int32_t conditionKind(const ConstructNode* node);
void* conditionRecord(const ConstructNode* node);
const char* conditionText(const ConstructNode* node);
// Dummy: the type of the construct owning the placeholder and the slot it
// stands for.
ConstructType placeholderOwner(const ConstructNode* node);
Slot placeholderSlot(const ConstructNode* node);

// The node carries text or data of its own (selection and editing rules):
// the catalogue group, with KivCond of kind 8 excluded.
bool carriesOwnData(const ConstructNode* node);

// ---------------------------------------------------------------------------
// Records: creation and release

// A zero-filled node of `type`; null when allocation fails.
ConstructNode* newNode(ConstructType type);

// A Dummy standing for `slot` of `owner`: part0 = owner's type, part1 =
// slot, up = owner, next = null. The caller links it into the slot.
ConstructNode* newPlaceholder(ConstructNode* owner, Slot slot);

// A new LevelInfo. `levelId` 0: the document's lastLevelId + 1 (and
// lastLevelId is raised to it); otherwise that id, raising lastLevelId when
// it is larger. `document` null: the current document. Null when
// allocation fails (lastLevelId is then unchanged).
LevelInfo* newLevelInfo(std::uint32_t levelId, DiagramDocument* document = nullptr);

// Frees `head` and every node after it: labels, payload record and texts,
// child sequences, and for a Level its head, its body (only when the flags
// have 0x01 or 0x04: a body on disk is not in memory), the LevelInfo's
// `extra` block and the LevelInfo. Each node record is overwritten with
// zeros before it is released. The sequence must be detached from any
// holder (or the holder is freed with it). Does not recurse on the stack.
void freeSequence(ConstructNode* head);

// Frees the payload record of a node (by its type) and clears the words
// that held it; child sequences, labels and LevelInfo stay.
void freePayload(ConstructNode* node);
void freeHostOperands(HostOperand* list);
void freeHostCommand(HostCommand* record);

// A deep copy of `first`..`last` (to the end of the sequence when `last`
// is null or does not follow `first`) of the tree of `source`, for the
// tree of `target` (null: the current document for either): every node
// with its labels, payload record, texts, the three extra words of a Text,
// and its child sequences. Line numbers are not copied (a copy has no
// source line yet). Segment bodies on disk are read in full first; each
// copied segment gets a new LevelInfo with a new level id of `target`,
// its body loaded (flags 0x01). The copy is a detached sequence. Null,
// with nothing left over, when a body cannot be read or memory runs out.
ConstructNode* copySequence(DiagramDocument* target, ConstructNode* first, const ConstructNode* last,
                            DiagramDocument* source);

// Editing holds on to segments whose constructs it refers to (a pending
// insertion, the undo record, a selection): a pinned segment's body, and
// the body of every segment holding it, stays in memory (pageOut refuses
// it). Pins count; every pin is released once.
inline void pinSegment(ConstructNode* level) {
    if (LevelInfo* li = levelInfoOf(level)) ++li->pins;
}
inline void unpinSegment(ConstructNode* level) {
    if (LevelInfo* li = levelInfoOf(level); li && li->pins) --li->pins;
}
inline bool segmentPinned(const ConstructNode* level) {
    const LevelInfo* li = levelInfoOf(level);
    return li && li->pins;
}

// ---------------------------------------------------------------------------
// Construct templates

// Builds a fresh construct for a construct command (the catalogue's
// templates): no labels, placeholders and sub-constructs as the template
// says. `document` (null: the current one) supplies new level ids. Null,
// with nothing allocated left over, when allocation fails or `command` is
// not a construct command.
//   2630 / 2640: a Text / FreeFormat holding the clipboard text; nothing
//     without one (see setClipboardTextHook).
//   5000: the prepared action-block template first (setActionBlockTemplateHook);
//     only without one the plain template.
ConstructNode* newConstruct(DiagramDocument* document, int command);

// Supplies the clipboard text for 2630/2640: a block of the counting
// allocator with ANSI text (converted from OEM text already), which the new
// construct takes over, or null when the clipboard holds no text. No hook:
// no text.
using ClipboardTextHook = char* (*)();
ClipboardTextHook setClipboardTextHook(ClipboardTextHook hook);

// Supplies a prepared ActionBlock construct for 5000 (complete, detached,
// owned by the caller afterwards), or null when there is none.
using ActionBlockTemplateHook = ConstructNode* (*)(DiagramDocument* document);
ActionBlockTemplateHook setActionBlockTemplateHook(ActionBlockTemplateHook hook);

// ---------------------------------------------------------------------------
// Slot access. A null node or Slot::None yields null / 0.

// Slot 1: `next` (any type). Other slots: the word the catalogue maps the
// slot to; null for a slot the type does not have (and for edge types). A
// Level's slot 4 reads LevelInfo `body` without loading it.
ConstructNode* childAt(const ConstructNode* node, Slot slot);

// Stores `child` in the slot and, when `child` is not null, sets
// child->up = node. 0 without storing when the type does not have the slot
// (or a Level has no LevelInfo), else 1. The former occupant is not touched.
int setChildAt(ConstructNode* child, ConstructNode* node, Slot slot);

// The former occupant of the slot becomes the successor of the last node of
// `sequence` and `sequence` takes the slot. 0 when either pointer is null or
// the type does not have the slot; then nothing changes.
int insertSequenceAt(ConstructNode* sequence, ConstructNode* node, Slot slot);

// 0 when `node` or its `up` is null; Slot::Next when node is up's `next`;
// otherwise the slot under which `up` holds it; 0 when none matches.
Slot slotOf(const ConstructNode* node);

// Walks `up` back to the head of the sequence and returns the construct
// holding the sequence, with the slot in `*slot` (may be null). Null (slot
// 0) at the top.
ConstructNode* ownerOf(const ConstructNode* node, Slot* slot = nullptr);

// As ownerOf, but a segment body counts as lying inside the construct that
// holds its Level: owner Level with slot 4 continues upward.
ConstructNode* ownerAcrossSegments(const ConstructNode* node, Slot* slot = nullptr);

// The nearest owner (not a predecessor) of `type`.
ConstructNode* enclosingOfType(const ConstructNode* node, ConstructType type);

// The nearest owner reached through `slot` (any when Slot::None) whose type
// is `type` (any when ConstructType::None).
ConstructNode* enclosingMatching(const ConstructNode* node, ConstructType type, Slot slot);

// The nearest Level whose body (not its head) contains `node`.
ConstructNode* enclosingLevel(const ConstructNode* node);

// The number of enclosingLevel steps from `node` up to `target` (0 when
// node is target); -1 when target is not reached.
int levelDepth(const ConstructNode* target, const ConstructNode* node);

// Follows `up` to the top.
ConstructNode* rootOf(const ConstructNode* node);
// Follows `up` while the node is its up's `next`.
ConstructNode* sequenceHead(const ConstructNode* node);
// Follows `next` to the end.
ConstructNode* lastOf(const ConstructNode* node);
// Whether `node` is reachable from `head` by `next`.
bool inSequence(const ConstructNode* node, const ConstructNode* head);
// Number of nodes from `head` to the end.
int countSequence(const ConstructNode* head);

// Searches from `head` up to and including `last` (to the end when `last` is
// null): the first node of `type` / the first node for which `predicate`
// returns true.
ConstructNode* findInSequence(ConstructNode* head, const ConstructNode* last, ConstructType type);
using NodePredicate = bool (*)(const ConstructNode* node, void* context);
ConstructNode* findFirst(ConstructNode* head, const ConstructNode* last, NodePredicate predicate,
                         void* context = nullptr);

// The first node of the slot's sequence whose type is in the content group
// (9, 10, 11, 12, 14, 15, 62, 78).
ConstructNode* firstContentIn(const ConstructNode* node, Slot slot);

// Removes `first`..`last` (`first` alone when `last` does not follow it)
// from its sequence. The range's successor takes the range's place in the
// holder's slot (or becomes a root); the range's first `up` and last `next`
// become null. Returns the sequence's head afterwards: the successor when
// `first` was `head`, else `head`.
ConstructNode* detach(ConstructNode* head, ConstructNode* first, ConstructNode* last);

// Calls fn(head, context) for each child sequence of `node` in word order,
// empty ones included (head null). A Level: the head always, the body only
// when the flags have 0x01 or 0x04 (a body on disk is neither visited nor
// loaded). Edge types have none. Returns `stopValue` as soon as fn returns
// (a value of the same truth as) it, and when the job is cancelled;
// otherwise the opposite truth value.
using SequenceVisitor = int (*)(ConstructNode* head, void* context);
int forEachChildSequence(int stopValue, SequenceVisitor fn, ConstructNode* node, void* context);

// Visits `head`, everything after it and everything nested in them that is
// reachable without loading (same rules as forEachChildSequence), in
// element stream order (a node before its children, children before the
// node's successor). Stops when fn returns 0 or, with OnCancel::stop, when
// the job is cancelled, and then returns 0; returns 1 after a complete
// walk. OnCancel::goOn is for walks that must finish while the
// job-cancelled flag is set (committing or rolling back a failed write).
// fn must not relink the tree. Follows the links alone: no allocation, no
// recursion on the stack.
using NodeVisitor = int (*)(ConstructNode* node, void* context);
enum class OnCancel { stop, goOn };
int forEachNode(ConstructNode* head, NodeVisitor fn, void* context, OnCancel onCancel = OnCancel::stop);

// ---------------------------------------------------------------------------
// Texts and labels

// The statement text (part0) of Text, FreeFormat and SpecialText; null for
// other types.
const char* textOf(const ConstructNode* node);
// Takes over `text` (null = none) and frees the text it replaces. 0 when the
// node does not hold a statement text: the caller keeps `text` then.
int setText(ConstructNode* node, char* text);
// The three extra words of Text and SpecialText (index 1..3 = part1..part3),
// copied with the node and never stored; not owned. Null / ignored for
// other types and other indexes.
void* textExtra(const ConstructNode* node, int index);
int setTextExtra(ConstructNode* node, int index, void* value);

const char* leftLabel(const ConstructNode* node);
const char* rightLabel(const ConstructNode* node);
// Take over `text` and free the label they replace; 0 for a null node.
int setLeftLabel(ConstructNode* node, char* text);
int setRightLabel(ConstructNode* node, char* text);

// ---------------------------------------------------------------------------
// Rest branch

// Whether `node` lies in the rest branch's head: it is an OnConditionBranch
// or OnSelectorBranch in slot 6, or the head of the condition sequence
// (slot 8) of an OnConditionBranch / of the value sequence (slot 9) of an
// OnSelectorBranch that is in slot 6. Navigation and selection skip such
// nodes.
bool inRestBranchHead(const ConstructNode* node);

// ---------------------------------------------------------------------------
// Segments

// Makes sure the body of `level` is in memory, reading it from the
// document's segment source when it is on disk (with line numbers cleared
// when flag 0x20 is set). An outline copy is freed once the full body has
// replaced it, except for the segments in it that must stay in memory
// (segmentMustStay, core/element_stream.h): each takes the place of its
// copy in the body (matched by level id). 1 = loaded; 0 = not a Level, no
// body on disk, no segment source, read failed, a segment that must stay
// has no copy in the body (the previous body is kept) or job cancelled.
// `document` null: the current document.
int ensureLoaded(ConstructNode* level, DiagramDocument* document = nullptr);

// For read-only users: 1 when the body or an outline copy is in memory; a
// body on disk is read in outline form (flag 0x04 is set). A Level neither
// loaded nor on disk is an internal structure error (117) and answers 0.
int ensureReadable(ConstructNode* level, DiagramDocument* document = nullptr);

// Sets lineNumber 0 in every node reachable from `head` without loading and
// flag 0x20 on every Level, so that bodies still on disk are cleared when
// they are loaded.
void clearLineNumbers(ConstructNode* head);

// ---------------------------------------------------------------------------
// Internal structure errors

enum InternalErrorDetail : int {
    kErrUnwrittenType = 101,        // the stream writer met a type it does not write
    kErrHostCommandKind = 102,      // a host-command kind other than 1 or 2
    kErrSegmentNotAvailable = 117,  // a Level neither loaded nor on disk
};

// Receives the notice "Internal structure error." (its string id) and the
// detail number. The default hook shows nothing.
using InternalErrorHook = void (*)(unsigned stringId, int detail);
InternalErrorHook setInternalErrorHook(InternalErrorHook hook);  // null restores the default

// Sends the notice to the hook and marks the running read and write failed
// (clears g_outcome.readOk and g_outcome.writeOk).
void internalStructureError(int detail);
