// The walk over the construct tree: for every construct the templates of
// its parts, its own text, its child sequences, and its record in the new
// working copy, by the construct table below. The walk keeps its own stack
// of sequences on the heap, so that nesting depth costs no native stack.
#include <cstdio>
#include <cstring>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "core/element_stream.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/segment_source.h"
#include "generator/generation.h"
#include "resources/strings.h"

namespace {

// ---------------------------------------------------------------------------
// The construct table

enum class Op : std::uint8_t {
    End,              // the construct is done; on to its successor
    Template,         // template a
    TemplateIfEmpty,  // template a when part c is empty or a placeholder, else template b
    Record,           // the record, its line raised to the last template's first line
    RecordEmpty,      // the record of an empty construct (line 0)
    Child,            // the sequence in word a, generated as mode b
    Separator,        // the separator rule
    Text,             // a text construct
    SegmentTemplate,  // template a for the top segment, b for any other
    SegmentOpen,      // the record and the level start
    SegmentBody,      // the block starts; the content is made available (else the next step is skipped)
    SegmentClose,     // the block ends; offset and flags; page out
    BranchOpen,       // a first / b further branch; c / d rest branch with an empty / a filled body
    PassOver,         // no text: the record and the child sequences as they are
};

enum Mode : std::uint8_t { kStatements, kCondition, kBare, kInsideAnd, kInsideOr, kInsideNot };

struct Step {
    Op op;
    std::uint8_t a, b, c, d;
};

constexpr Step T(int n) {
    return {Op::Template, static_cast<std::uint8_t>(n), 0, 0, 0};
}
constexpr Step S(int word) {
    return {Op::Child, static_cast<std::uint8_t>(word), kStatements, 0, 0};
}
constexpr Step C(int word) {
    return {Op::Child, static_cast<std::uint8_t>(word), kCondition, 0, 0};
}
constexpr Step B(int word) {
    return {Op::Child, static_cast<std::uint8_t>(word), kBare, 0, 0};
}
constexpr Step child(int word, Mode mode) {
    return {Op::Child, static_cast<std::uint8_t>(word), mode, 0, 0};
}
constexpr Step op(Op o, int a = 0, int b = 0, int c = 0, int d = 0) {
    return {o, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
            static_cast<std::uint8_t>(d)};
}
constexpr Step R = {Op::Record, 0, 0, 0, 0};
constexpr Step E = {Op::End, 0, 0, 0, 0};
constexpr Step SEP = {Op::Separator, 0, 0, 0, 0};

// Template numbers are those of the GenStrings names (GenTemplate).
constexpr Step kDummy[] = {op(Op::RecordEmpty), SEP, E};
constexpr Step kIf[] = {T(12), R, C(0), T(13), S(1), op(Op::TemplateIfEmpty, 15, 14, 2), S(2), T(16), E};
constexpr Step kWhile[] = {T(27), R, C(0), T(28), S(1), T(29), E};
constexpr Step kLoop[] = {T(33), R, S(0), T(34), E};
constexpr Step kWhenExit[] = {T(35), R, C(0), T(36), E};
constexpr Step kOnCondition[] = {T(55), R, S(0), S(1), T(61), E};
constexpr Step kWhenBranch[] = {op(Op::BranchOpen, 56, 57, 60, 59), C(0), T(58), S(1), E};
constexpr Step kAnd[] = {T(4), R, child(0, kInsideAnd), T(6), SEP, E};
constexpr Step kOr[] = {T(7), R, child(0, kInsideOr), T(9), SEP, E};
constexpr Step kNot[] = {T(10), R, child(0, kInsideNot), T(11), SEP, E};
constexpr Step kBlock[] = {T(37), R, B(0), T(38), S(1), T(39), E};
constexpr Step kSegment[] = {op(Op::SegmentTemplate, 52, 49),
                             op(Op::SegmentOpen),
                             B(0),
                             op(Op::SegmentTemplate, 53, 50),
                             op(Op::SegmentBody),
                             S(kWordLevelBody),
                             op(Op::SegmentClose),
                             op(Op::SegmentTemplate, 54, 51),
                             E};
constexpr Step kText[] = {op(Op::Text), SEP, E};
constexpr Step kOnSelector[] = {T(17), R, B(0), S(1), S(2), T(23), E};
constexpr Step kOfBranch[] = {op(Op::BranchOpen, 18, 19, 22, 21), B(0), T(20), S(1), E};
constexpr Step kFor[] = {T(24), R, B(0), T(25), S(1), T(26), E};
constexpr Step kRepeat[] = {T(30), R, S(0), T(31), C(1), T(32), E};
constexpr Step kCall[] = {T(47), R, B(0), T(48), E};
constexpr Step kProcedure[] = {T(44), R, B(1), T(45), S(2), T(46), E};
constexpr Step kFrame[] = {T(40), R, B(0), T(41), S(1), T(42), B(2), T(43), E};
constexpr Step kFunction[] = {T(62), R, B(0), T(63), S(1), T(64), E};
constexpr Step kPassOver[] = {op(Op::PassOver), E};

// Steps a branch takes after BranchOpen when it is the rest branch: its
// condition is copied, not generated.
constexpr int kRestBranchSkips = 2;

const Step* programOf(ConstructType type) {
    switch (type) {
        case ConstructType::Dummy:
            return kDummy;
        case ConstructType::If:
            return kIf;
        case ConstructType::While:
            return kWhile;
        case ConstructType::Loop:
            return kLoop;
        case ConstructType::WhenExit:
            return kWhenExit;
        case ConstructType::OnCondition:
            return kOnCondition;
        case ConstructType::OnConditionBranch:
            return kWhenBranch;
        case ConstructType::And:
            return kAnd;
        case ConstructType::Or:
            return kOr;
        case ConstructType::Not:
            return kNot;
        case ConstructType::Block:
            return kBlock;
        case ConstructType::Level:
            return kSegment;
        case ConstructType::Text:
            return kText;
        case ConstructType::OnSelector:
            return kOnSelector;
        case ConstructType::OnSelectorBranch:
            return kOfBranch;
        case ConstructType::For:
            return kFor;
        case ConstructType::Repeat:
            return kRepeat;
        case ConstructType::Call:
            return kCall;
        case ConstructType::Procedure:
            return kProcedure;
        case ConstructType::Frame:
            return kFrame;
        case ConstructType::Function:
            return kFunction;
        default:
            return kPassOver;
    }
}

// ---------------------------------------------------------------------------
// The walk

struct WalkFrame {
    ConstructNode* node;  // the construct in hand; null once the sequence is through
    const Step* program;  // null until the construct is started
    std::uint32_t blockOffset;
    ConditionContext context;
    bool statement;
    bool emit;
    bool childEmit;
    bool loadedHere;   // the segment body was loaded by the walk
    bool bodyMissing;  // the segment body could not be loaded
    bool seenWhenBranch;
    bool seenOfBranch;
    std::uint8_t pc;
};

// The frames, on the counting allocator (a walk out of memory fails cleanly).
class FrameStack {
public:
    FrameStack() = default;
    FrameStack(const FrameStack&) = delete;
    FrameStack& operator=(const FrameStack&) = delete;
    ~FrameStack() { memFree(data_); }

    bool push(const WalkFrame& frame) {
        if (size_ == capacity_) {
            const std::size_t capacity = capacity_ ? capacity_ * 2 : 32;
            auto* data = static_cast<WalkFrame*>(memAlloc(capacity * sizeof(WalkFrame)));
            if (!data) return false;
            if (size_) std::memcpy(static_cast<void*>(data), data_, size_ * sizeof(WalkFrame));
            memFree(data_);
            data_ = data;
            capacity_ = capacity;
        }
        data_[size_++] = frame;
        return true;
    }
    void pop() { --size_; }
    WalkFrame& top() { return data_[size_ - 1]; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

private:
    WalkFrame* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

WalkFrame frameFor(ConstructNode* head, ConditionContext context, bool statement, bool emit) {
    WalkFrame f{};
    f.node = head;
    f.context = context;
    f.statement = statement;
    f.emit = emit;
    f.childEmit = true;
    return f;
}

void contextOf(std::uint8_t mode, ConditionContext& context, bool& statement) {
    statement = false;
    switch (mode) {
        case kStatements:
            context = ConditionContext::None;
            statement = true;
            break;
        case kCondition:
            context = ConditionContext::Plain;
            break;
        case kInsideAnd:
            context = ConditionContext::InsideAnd;
            break;
        case kInsideOr:
            context = ConditionContext::InsideOr;
            break;
        case kInsideNot:
            context = ConditionContext::InsideNot;
            break;
        default:
            context = ConditionContext::None;
            break;
    }
}

ConstructNode* childHead(const ConstructNode* node, int word) {
    if (word == kWordLevelBody) {
        const LevelInfo* info = levelInfoOf(node);
        return info ? info->body : nullptr;
    }
    return partNode(node, word);
}

bool emptyOrPlaceholder(const ConstructNode* head) {
    return !head || head->type == ConstructType::Dummy;
}

bool isTopSegment(const GenState& s, const ConstructNode* level) {
    return level->up == nullptr || (s.document && level == s.document->root);
}

// Remembers the flags of a loaded segment before the walk changes them.
int saveFlags(GenState& s, ConstructNode* level) {
    const std::uint8_t flags = segmentFlags(level);
    if (!(flags & kSegLoaded)) return 1;
    if (s.savedCount == s.savedCapacity) {
        const int capacity = s.savedCapacity ? s.savedCapacity * 2 : 16;
        auto* grown = static_cast<GenState::SavedFlags*>(
            memAlloc(static_cast<std::size_t>(capacity) * sizeof(GenState::SavedFlags)));
        if (!grown) return 0;
        if (s.savedCount)
            std::memcpy(grown, s.savedFlags,
                        static_cast<std::size_t>(s.savedCount) * sizeof(GenState::SavedFlags));
        memFree(s.savedFlags);
        s.savedFlags = grown;
        s.savedCapacity = capacity;
    }
    s.savedFlags[s.savedCount++] = {level, flags};
    return 1;
}

int saveNestedFlags(ConstructNode* node, void* context) {
    if (node->type != ConstructType::Level) return 1;
    return saveFlags(*static_cast<GenState*>(context), node);
}

// Writes a sequence to the working file as it is (the stream writer moves
// the segments inside to their new blocks).
int copySequence(GenState& s, ConstructNode* head) {
    if (!forEachNode(head, saveNestedFlags, &s)) return 0;
    return writeSequence(s.document, head, nullptr, s.working);
}

int record(GenState& s, ConstructNode* node, bool raise) {
    if (raise && s.templateFirstLine > static_cast<std::uint32_t>(node->lineNumber))
        node->lineNumber = static_cast<std::int32_t>(s.templateFirstLine);
    return !s.working || writeElement(s.working, node);
}

void pageOutSegment(GenState& s, ConstructNode* level) {
    const SegmentSource* source = s.document ? s.document->segmentSource : nullptr;
    if (source && source->pageOut)
        source->pageOut(source->context, s.document, level);
    else
        dropSegmentBody(level);
}

int anyLoadedSegment(ConstructNode* node, void* context) {
    if (node->type == ConstructType::Level && (segmentFlags(node) & kSegLoaded)) {
        *static_cast<bool*>(context) = true;
        return 0;
    }
    return 1;
}

}  // namespace

void segmentNumberText(const ConstructNode* construct, char* out, std::size_t size) {
    const ConstructNode* level =
        construct && construct->type == ConstructType::Level ? construct : enclosingLevel(construct);
    const LevelInfo* info = levelInfoOf(level);
    if (!level || level->up == nullptr || !info)
        std::snprintf(out, size, "Top");
    else
        std::snprintf(out, size, "%u", static_cast<unsigned>(info->levelId));
}

void dropSegmentBody(ConstructNode* level) {
    LevelInfo* info = levelInfoOf(level);
    const std::uint8_t flags = segmentFlags(level);
    if (!info || (flags & (kSegLoaded | kSegFileCurrent)) != (kSegLoaded | kSegFileCurrent)) return;
    // A body holding a loaded segment stays: that segment may be in use.
    bool nestedLoaded = false;
    forEachNode(info->body, anyLoadedSegment, &nestedLoaded);
    if (nestedLoaded) return;
    ConstructNode* body = info->body;
    info->body = nullptr;
    if (body) body->up = nullptr;
    freeSequence(body);
    setSegmentFlags(level, static_cast<std::uint8_t>((flags & ~(kSegLoaded | kSegFileCurrent | kSegOutline)) |
                                                     kSegOnDisk));
}

int generateTree(GenState& s, ConstructNode* head, ConditionContext context, bool statement, bool emit) {
    FrameStack frames;
    if (!frames.push(frameFor(head, context, statement, emit))) {
        s.failed = true;
        return 0;
    }
    while (!frames.empty()) {
        if (g_outcome.jobCancelled || (s.working && bfile::hasError(s.working)) ||
            (s.output && bfile::hasError(s.output)) || !g_outcome.writeOk) {
            s.failed = true;
            return 0;
        }
        WalkFrame& f = frames.top();
        if (!f.node) {
            if (s.working && !writeElement(s.working, nullptr)) return 0;
            frames.pop();
            continue;
        }
        ConstructNode* node = f.node;
        if (!f.program) {
            node->lineNumber = node->type == ConstructType::Dummy ? 0 : static_cast<std::int32_t>(s.line);
            f.program = programOf(node->type);
            f.pc = 0;
            f.loadedHere = f.bodyMissing = false;
        }
        const Step step = f.program[f.pc++];
        switch (step.op) {
            case Op::End:
                if (node->type == ConstructType::OnConditionBranch) f.seenWhenBranch = true;
                if (node->type == ConstructType::OnSelectorBranch) f.seenOfBranch = true;
                f.node = node->next;
                f.program = nullptr;
                break;
            case Op::Template:
                if (!writeTemplate(s, step.a, f.emit, &f.childEmit, node)) return 0;
                break;
            case Op::TemplateIfEmpty: {
                const int index = emptyOrPlaceholder(partNode(node, step.c)) ? step.a : step.b;
                if (!writeTemplate(s, index, f.emit, &f.childEmit, node)) return 0;
                break;
            }
            case Op::Record:
            case Op::RecordEmpty:
                if (!record(s, node, step.op == Op::Record)) return 0;
                break;
            case Op::Child: {
                if (frames.size() >= static_cast<std::size_t>(kMaxSequenceNesting)) {
                    // Deeper than any stream can be read back.
                    showMessage(IDS_GENMSG_TOO_DEEP, kBoxDefault, kMaxSequenceNesting);
                    s.failed = true;
                    return 0;
                }
                ConditionContext childContext;
                bool childStatement;
                contextOf(step.b, childContext, childStatement);
                const WalkFrame next =
                    frameFor(childHead(node, step.a), childContext, childStatement, f.emit && f.childEmit);
                if (!frames.push(next)) {
                    s.failed = true;
                    return 0;
                }
                break;
            }
            case Op::Separator:
                if (node->next) {
                    if (f.context == ConditionContext::InsideAnd &&
                        !writeTemplate(s, static_cast<int>(GenTemplate::And), f.emit, &f.childEmit, node))
                        return 0;
                    if (f.context == ConditionContext::InsideOr &&
                        !writeTemplate(s, static_cast<int>(GenTemplate::Or), f.emit, &f.childEmit, node))
                        return 0;
                }
                break;
            case Op::Text: {
                const int open = f.statement ? static_cast<int>(GenTemplate::Statement)
                                 : f.context != ConditionContext::None
                                     ? static_cast<int>(GenTemplate::Condition)
                                     : -1;
                if (open >= 0 && !writeTemplate(s, open, f.emit, &f.childEmit, node)) return 0;
                node->lineNumber = static_cast<std::int32_t>(s.line);
                if (!record(s, node, false)) return 0;
                if (!writeConstructText(s, textOf(node), f.emit && f.childEmit)) return 0;
                if (open >= 0 && !writeTemplate(s, open + 1, f.emit, &f.childEmit, node)) return 0;
                break;
            }
            case Op::SegmentTemplate:
                if (!writeTemplate(s, isTopSegment(s, node) ? step.a : step.b, f.emit, &f.childEmit, node))
                    return 0;
                break;
            case Op::SegmentOpen: {
                if (!record(s, node, true)) return 0;
                // The new copy's line numbers are valid: the level starts
                // without flag 0x20; the flags in memory stay.
                const std::uint8_t flags = segmentFlags(node);
                setSegmentFlags(node, static_cast<std::uint8_t>(flags & ~kSegLineNumbersInvalid));
                const int ok = !s.working || writeLevelStart(s.working, node);
                setSegmentFlags(node, flags);
                if (!ok) return 0;
                break;
            }
            case Op::SegmentBody: {
                if (s.working) {
                    const std::int32_t at = bfile::tell(s.working);
                    if (at < 0 || !writeBlockHeader(s.working, node)) return 0;
                    f.blockOffset = static_cast<std::uint32_t>(at);
                }
                if (segmentFlags(node) & kSegLoaded) {
                    if (!saveFlags(s, node)) return 0;
                } else if (ensureLoaded(node, s.document)) {
                    f.loadedHere = true;
                } else {
                    // The content is skipped; the generation has failed.
                    if (!s.failed) reportUnloadableSegment(s.document);
                    s.failed = true;
                    f.bodyMissing = true;
                    ++f.pc;
                    if (s.working && !writeElement(s.working, nullptr)) return 0;
                }
                break;
            }
            case Op::SegmentClose:
                if (s.working && !patchBlockLength(s.working, f.blockOffset)) return 0;
                if (!f.bodyMissing) {
                    setSegmentFlags(node, kSegLoaded | kSegFileCurrent);
                    if (LevelInfo* info = levelInfoOf(node); info && s.working)
                        info->fileOffset = f.blockOffset;
                    if (f.loadedHere) pageOutSegment(s, node);
                }
                break;
            case Op::BranchOpen: {
                const bool rest = slotOf(node) == Slot::Rest;
                if (rest) {
                    const int index = emptyOrPlaceholder(partNode(node, 1)) ? step.c : step.d;
                    if (!writeTemplate(s, index, f.emit, &f.childEmit, node) || !record(s, node, true))
                        return 0;
                    if (s.working && !copySequence(s, partNode(node, 0))) return 0;
                    f.pc = static_cast<std::uint8_t>(f.pc + kRestBranchSkips);
                } else {
                    const bool seen =
                        node->type == ConstructType::OnConditionBranch ? f.seenWhenBranch : f.seenOfBranch;
                    if (!writeTemplate(s, seen ? step.b : step.a, f.emit, &f.childEmit, node) ||
                        !record(s, node, true))
                        return 0;
                }
                break;
            }
            case Op::PassOver: {
                if (!record(s, node, true)) return 0;
                const ConstructInfo* info = constructInfo(node->type);
                if (info && s.working && childSequenceCount(node->type) > 0) {
                    for (const SlotWord& slot : childSlots(*info)) {
                        ConstructNode* sequence = childHead(node, slot.word);
                        clearLineNumbers(sequence);
                        if (!copySequence(s, sequence)) return 0;
                    }
                }
                break;
            }
        }
    }
    return 1;
}
