#include "tests/edit/edit_helpers.h"

#include <cstring>

#include "core/allocator.h"
#include "core/diagram_document.h"
#include "core/outcome.h"
#include "edit/clipboard_image.h"
#include "edit/construct_commands.h"
#include "resources/commands.h"

namespace edit_test {

namespace {

struct Parser {
    DiagramDocument* doc;
    const std::string& s;
    std::size_t i = 0;
    Parsed out;

    void spaces() {
        while (i < s.size() && s[i] == ' ') ++i;
    }
    bool eat(char c) {
        spaces();
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    int number() {
        int n = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') n = n * 10 + (s[i++] - '0');
        return n;
    }
    char* quoted() {
        std::string text;
        ++i;  // the opening quote
        while (i < s.size() && s[i] != '"') {
            if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
                text += "\r\n";
                i += 2;
                continue;
            }
            text += s[i++];
        }
        ++i;
        return memStrDup(text.c_str());
    }

    ConstructNode* node(ConstructNode* owner, Slot slot) {
        spaces();
        bool selected = false, targeted = false;
        for (;;) {
            if (eat('*')) {
                selected = true;
            } else if (eat('@')) {
                targeted = true;
            } else {
                break;
            }
        }
        ConstructNode* n = nullptr;
        if (s[i] == '"') {
            n = newNode(ConstructType::Text);
            setText(n, quoted());
        } else if (s.compare(i, 2, "ph") == 0) {
            i += 2;
            n = newPlaceholder(owner, slot);
            if (eat('(')) {
                setPartInt(n, 0, number());
                eat(',');
                setPartInt(n, 1, number());
                eat(')');
            }
            n->up = nullptr;
        } else {
            std::size_t start = i;
            while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) ++i;
            const std::string name = s.substr(start, i - start);
            const ConstructInfo* info = nullptr;
            for (const ConstructInfo& row : kConstructCatalogue)
                if (name == row.name) info = &row;
            EXPECT_NE(info, nullptr) << "unknown construct " << name;
            if (!info) return nullptr;
            if (info->type == ConstructType::Level) {
                n = newConstruct(doc, CMD_INSERT_SEGMENT);
            } else if (info->type == ConstructType::KdlCommand) {
                n = newConstruct(doc, 5300);
            } else {
                n = newNode(info->type);
            }
            if (i < s.size() && s[i] == '"') setText(n, quoted());
            bool given[kMaxSlotCode + 1] = {};
            if (eat('{')) {
                while (!eat('}')) {
                    spaces();
                    const auto code = static_cast<Slot>(number());
                    eat(':');
                    eat('[');
                    ConstructNode* child = sequence(n, code);
                    eat(']');
                    freeSequence(childAt(n, code));
                    setChildAt(child, n, code);
                    given[slotCode(code)] = true;
                }
            }
            for (const SlotWord& sw : childSlots(*info)) {
                if (given[slotCode(sw.slot)] || childAt(n, sw.slot)) continue;
                if (info->type == ConstructType::Level && sw.slot == Slot::Body) continue;
                setChildAt(newPlaceholder(n, sw.slot), n, sw.slot);
            }
        }
        if (selected) {
            if (!out.selection.first) out.selection.first = n;
            out.selection.last = n;
        }
        if (targeted) out.target = n;
        return n;
    }

    ConstructNode* sequence(ConstructNode* owner, Slot slot) {
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (;;) {
            spaces();
            if (i >= s.size() || s[i] == ']') return head;
            ConstructNode* n = node(owner, slot);
            if (!n) return head;
            if (last) {
                last->next = n;
                n->up = last;
            } else {
                head = n;
            }
            last = n;
        }
    }
};

void printSequence(std::string& out, const ConstructNode* head, ConstructType owner, Slot slot);

bool lonePlaceholder(const ConstructNode* head, ConstructType owner, Slot slot) {
    return head && !head->next && head->type == ConstructType::Dummy && placeholderOwner(head) == owner &&
           placeholderSlot(head) == slot;
}

void printNode(std::string& out, const ConstructNode* n, ConstructType owner, Slot slot) {
    if (n->type == ConstructType::Dummy) {
        if (placeholderOwner(n) == owner && placeholderSlot(n) == slot) {
            out += "ph";
        } else {
            out += "ph(" + std::to_string(typeCode(placeholderOwner(n))) + "," +
                   std::to_string(slotCode(placeholderSlot(n))) + ")";
        }
        return;
    }
    const ConstructInfo* info = constructInfo(n->type);
    if (!info) {
        out += "?" + std::to_string(typeCode(n->type));
        return;
    }
    const char* text = textOf(n);
    if (n->type != ConstructType::Text || !text) out += info->name;
    if (text) {
        out += '"';
        for (const char* c = text; *c; ++c) {
            if (c[0] == '\r' && c[1] == '\n') {
                out += "\\n";
                ++c;
            } else {
                out += *c;
            }
        }
        out += '"';
    }
    std::string slots;
    for (const SlotWord& sw : childSlots(*info)) {
        if (n->type == ConstructType::Level && sw.slot == Slot::Body) {
            if (!(segmentFlags(n) & kSegLoaded)) {
                slots += slots.empty() ? "" : " ";
                slots += "4:disk";
                continue;
            }
            if (!levelInfoOf(n)->body) continue;
        }
        const ConstructNode* child = childAt(n, sw.slot);
        if (lonePlaceholder(child, n->type, sw.slot)) continue;
        if (!slots.empty()) slots += ' ';
        slots += std::to_string(slotCode(sw.slot)) + ":[";
        printSequence(slots, child, n->type, sw.slot);
        slots += ']';
    }
    if (!slots.empty()) out += "{" + slots + "}";
}

void printSequence(std::string& out, const ConstructNode* head, ConstructType owner, Slot slot) {
    for (const ConstructNode* n = head; n; n = n->next) {
        if (n != head) out += ' ';
        printNode(out, n, owner, slot);
    }
}

}  // namespace

Parsed parse(DiagramDocument* document, const std::string& text) {
    Parser parser{document, text, 0, {}};
    parser.out.head = parser.sequence(nullptr, Slot::Body);
    return parser.out;
}

std::string print(const ConstructNode* head) {
    std::string out;
    Slot slot = Slot::None;
    const ConstructNode* owner = head ? ownerOf(head, &slot) : nullptr;
    printSequence(out, head, owner ? owner->type : ConstructType::Level, owner ? slot : Slot::Body);
    return out;
}

int runCommand(EditContext& context, const Command& command, ConstructNode* target) {
    const unsigned n = command.number;
    InsertTarget where{target, command.position, command.slot};
    if (!target && command.position == InsertPosition::IntoSegment)
        where = insertTargetForEmptySegment(context);
    PendingInsertion pending;
    int done = 0;
    if (n == CMD_EDIT_DELETE) return deleteSelection(context);
    if (n == CMD_EDIT_DUPLICATE) return duplicateSelection(context);
    if (n == CMD_EDIT_EXTRACT) return extractSelection(context);
    if (n == CMD_EDIT_REFINE || n == CMD_EDIT_PUSH_DOWN)
        return refineSelection(context, n == CMD_EDIT_PUSH_DOWN);
    if (n == CMD_EDIT_PULL_UP) return pullUpSelection(context);
    if (n == CMD_EDIT_SPLIT) return splitSelection(context, command.caret);
    if (n == CMD_EDIT_JOIN) return joinSelection(context);
    if (n == CMD_EDIT_UNDO) return undo(context.journal, context);
    if (encloseRow(n)) return encloseSelection(context, n);
    if (n == CMD_CLIPBOARD_PASTE || n == CMD_CLIPBOARD_PASTE_FREE_FORMAT) {
        ConstructNode* sequence = nullptr;
        if (command.text) {
            sequence = constructFromClipboardText(n, command.text, std::strlen(command.text), false);
        } else {
            const Selection s = context.view->state.selection;
            platform::MemHandle image = writeClipboardImage(context.document, s.first, s.last);
            if (!image || !readClipboardImage(context.document, image, &sequence)) sequence = nullptr;
            if (image) platform::memBlockFree(image);
        }
        if (!beginInsertionOf(pending, context.document, n, sequence)) return 0;
    } else if (!beginInsertion(pending, context, n)) {
        return 0;
    }
    done = completeInsertion(pending, context, where);
    cancelInsertion(pending);
    return done;
}

void EditTest::SetUp() {
    TreeTest::SetUp();
    setCurrentStreamFormat(&doc);
}

void EditTest::TearDown() {
    clearUndoJournal(&journal);
    freeSequence(doc.root);
    doc.root = nullptr;
    TreeTest::TearDown();
}

void EditTest::load(const std::string& body) {
    clearUndoJournal(&journal);
    freeSequence(doc.root);
    doc.root = newConstruct(&doc, CMD_INSERT_SEGMENT);
    const Parsed parsed = parse(&doc, body);
    setChildAt(parsed.head, doc.root, Slot::Body);
    view = WindowView{};
    view.segment = doc.root;
    view.state.selection = parsed.selection;
    target = parsed.target;
}

std::string EditTest::body() const {
    return print(levelInfoOf(doc.root)->body);
}

std::string EditTest::all() const {
    return tree_test::dump(doc.root);
}

}  // namespace edit_test
