#include "edit/text_edit.h"

#include <cstring>
#include <vector>

#include "config/profile.h"
#include "core/allocator.h"
#include "core/construct_node.h"
#include "edit/undo_journal.h"
#include "platform/platform.h"
#include "resources/commands.h"

bool hasEditableText(const ConstructNode* node) {
    if (!node) return false;
    if (isStatementTextType(node->type)) return true;
    return node->type == ConstructType::KivCond && conditionKind(node) == 7;
}

int editFieldFor(const ConstructNode* node, bool labelsShown) {
    if (!node) return kFieldNone;
    if (carriesOwnData(node) && node->type != ConstructType::Dummy) return kFieldText;
    if (labelsShown && leftLabel(node)) return kFieldLeftLabel;
    if (rightLabel(node)) return kFieldRightLabel;
    return kFieldNone;
}

bool fieldEditable(const ConstructNode* node, int field) {
    switch (field) {
        case kFieldLeftLabel:
        case kFieldRightLabel:
            return node != nullptr;
        case kFieldText:
            return hasEditableText(node);
        default:
            return false;
    }
}

const char* fieldText(const ConstructNode* node, int field) {
    const char* text = nullptr;
    switch (field) {
        case kFieldLeftLabel:
            text = leftLabel(node);
            break;
        case kFieldRightLabel:
            text = rightLabel(node);
            break;
        case kFieldText:
            text = node && node->type == ConstructType::KivCond ? conditionText(node) : textOf(node);
            break;
        default:
            break;
    }
    return text ? text : "";
}

namespace {

// A block of the counting allocator with `text`; null for an empty text.
// `*failed` when memory ran out.
char* copyOf(std::string_view text, bool* failed) {
    *failed = false;
    if (text.empty()) return nullptr;
    char* copy = static_cast<char*>(memAlloc(text.size() + 1));
    if (!copy) {
        *failed = true;
        return nullptr;
    }
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

}  // namespace

int journalSetField(UndoRecord* record, DiagramDocument* document, ConstructNode* node, int field,
                    std::string_view text) {
    if (!fieldEditable(node, field)) return 0;
    bool failed = false;
    char* copy = copyOf(text, &failed);
    if (failed) return 0;
    switch (field) {
        case kFieldLeftLabel:
        case kFieldRightLabel:
            return journalSetLabel(record, document, node, field == kFieldRightLabel, copy);
        default:
            break;
    }
    if (node->type != ConstructType::KivCond) return journalSetText(record, document, node, copy);
    // A condition of kind 7 keeps its text in part1; an empty one stays kind 7.
    if (!copy) {
        if (!(copy = static_cast<char*>(memAlloc(1)))) return 0;
        copy[0] = '\0';
    }
    if (journalSetCondition(record, document, node, 7, copy)) return 1;
    memFree(copy);
    return 0;
}

namespace {

struct FieldChange {
    ConstructNode* node;
    int field;
    std::string_view text;
};

int fieldChange(EditContext& context, UndoRecord* record, void* data) {
    auto* d = static_cast<FieldChange*>(data);
    return journalSetField(record, context.document, d->node, d->field, d->text);
}

}  // namespace

int runFieldChange(EditContext& context, unsigned command, ConstructNode* node, int field,
                   std::string_view text) {
    FieldChange data{node, field, text};
    return runEditCommand(context, command, fieldChange, &data);
}

CommitResult commitFieldText(EditContext& context, unsigned command, ConstructNode* node, int field,
                             std::string_view text) {
    if (!fieldEditable(node, field)) return CommitResult::Refused;
    if (text.size() >= static_cast<std::size_t>(kTextLimit)) return CommitResult::TooLong;
    if (text == fieldText(node, field)) return CommitResult::Unchanged;
    return runFieldChange(context, command, node, field, text) ? CommitResult::Committed
                                                               : CommitResult::Refused;
}

// ---------------------------------------------------------------------------
// The default action

unsigned defaultEditorCommand(int defaultEditor) {
    switch (defaultEditor) {
        case 1:
            return CMD_EDIT_WINDOW;
        case 2:
            return CMD_EDIT_EXTERNAL;
        default:
            return CMD_EDIT_TEXT;
    }
}

DefaultAction chooseDefaultAction(const DefaultActionInput& in) {
    const ConstructNode* node = in.node;
    if (!node) return {};
    const bool none = !in.shift && !in.ctrl && !in.alt;
    const bool labelEdited = in.editField == kFieldLeftLabel || in.editField == kFieldRightLabel;
    if (node->type == ConstructType::Level && !in.alt) return {CMD_VIEW_DOWN, kFieldNone};
    if (node->type == ConstructType::Call && !(in.shift && in.ctrl) && !labelEdited)
        return {CMD_VIEW_PROCEDURE, kFieldNone};
    if (rightLabel(node) && ((in.shift && in.alt && !in.ctrl) || (in.editField == kFieldRightLabel && none)))
        return {defaultEditorCommand(in.defaultEditor), kFieldRightLabel};
    if (in.joinable && none) return {CMD_EDIT_JOIN, kFieldNone};
    const int field = labelEdited ? in.editField : editFieldFor(node, in.labelsShown);
    if (!fieldEditable(node, field)) return {};
    if (in.alt && !in.shift && !in.ctrl) return {CMD_EDIT_EXTERNAL, field};
    if (in.ctrl && !in.shift && !in.alt) return {CMD_EDIT_WINDOW, field};
    if (in.shift && !in.ctrl && !in.alt) return {CMD_EDIT_TEXT, field};
    if (none) return {defaultEditorCommand(in.defaultEditor), field};
    return {};
}

// ---------------------------------------------------------------------------
// The edit control

int nextTabStop(int scheme, int column) {
    if (column < 0) column = 0;
    // Fixed stops first, then every 8 columns from `base` (scheme 4: none).
    static constexpr int kFixed[5][4] = {{}, {}, {1, 5}, {6, 7, 11}, {9, 15, 35, 71}};
    static constexpr int kCount[5] = {0, 0, 2, 3, 4};
    static constexpr int kBase[5] = {-1, 0, 5, 11, -1};
    if (scheme < 1 || scheme > kTabSchemeCount) return -1;
    for (int i = 0; i < kCount[scheme]; ++i)
        if (kFixed[scheme][i] > column) return kFixed[scheme][i];
    const int base = kBase[scheme];
    if (base < 0) return -1;
    return base + ((column - base) / 8 + 1) * 8;
}

int autoIndentWidth(std::string_view lineBeforeCaret) {
    int n = 0;
    while (n < static_cast<int>(lineBeforeCaret.size()) &&
           lineBeforeCaret[static_cast<std::size_t>(n)] == ' ' && n < kMaxAutoIndent)
        ++n;
    return n;
}

bool oemAccepts(unsigned char c) {
    char text[2] = {static_cast<char>(c), '\0'};
    platform::ansiToOem(text, 1);
    platform::oemToAnsi(text, 1);
    return static_cast<unsigned char>(text[0]) == c;
}

CharAction typedChar(const EditControlOptions& options, std::string_view line, int column, bool hasSelection,
                     unsigned char c) {
    CharAction action;
    if (column < 0) column = 0;
    if (column > static_cast<int>(line.size())) column = static_cast<int>(line.size());
    if (c == '\r' || c == '\n') {
        if (options.singleLine) {
            action.kind = CharAction::Drop;
        } else if (options.autoIndent && c == '\r') {
            action.kind = CharAction::Insert;
            action.text = "\r\n";
            action.text.append(
                static_cast<std::size_t>(autoIndentWidth(line.substr(0, static_cast<std::size_t>(column)))),
                ' ');
        }
        return action;
    }
    if (c == '\t') {
        if (options.singleLine || options.tabScheme == 0) return action;  // the dialog's or the control's own
        const int stop = nextTabStop(options.tabScheme, column);
        action.kind = CharAction::Insert;
        if (stop > column) action.text.assign(static_cast<std::size_t>(stop - column), ' ');
        if (action.text.empty() && !hasSelection) action.kind = CharAction::Drop;
        return action;
    }
    if (c == '\b' || c < 0x20) return action;
    if (options.oemFont && !oemAccepts(c)) {
        action.kind = CharAction::Drop;
        return action;
    }
    // Overwrite: the character under the caret goes, unless it ends the line.
    action.selectNext = options.overwrite && !hasSelection && column < static_cast<int>(line.size());
    return action;
}

std::string pasteText(const EditControlOptions& options, std::string_view clipboard) {
    std::string text(clipboard);
    if (options.singleLine) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end != std::string::npos) text.resize(end);
    }
    if (options.oemFont && !text.empty()) {
        platform::ansiToOem(text.data(), text.size());
        platform::oemToAnsi(text.data(), text.size());
    }
    if (options.uppercase) upperCase(text.data());
    return text;
}

std::string textFromEditorFile(std::string_view file) {
    std::string text;
    text.reserve(file.size());
    for (std::size_t i = 0; i < file.size() && file[i] != '\0'; ++i) {
        if (file[i] == '\r') continue;
        if (file[i] == '\n') {
            text += "\r\n";
            continue;
        }
        text += file[i];
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// ---------------------------------------------------------------------------
// The check request

namespace {

bool cobolCharacter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr(" +-*/=$,;.()<>:_&", c) != nullptr;
}

}  // namespace

TextCheck checkText(std::string_view text) {
    struct Open {
        int position, line, column;
        char character;
    };
    std::vector<Open> brackets;  // the open parentheses
    Open quote{-1, 0, 0, 0};
    int line = 1, column = 0;
    auto problem = [](TextProblem kind, const Open& at) {
        return TextCheck{kind, at.position, at.line, at.column, at.character};
    };
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        ++column;
        const Open here{i, line, column, c};
        if (c == '\r' || c == '\n') {
            if (quote.position >= 0) return problem(TextProblem::UnclosedQuote, quote);
            if (c == '\n') {
                ++line;
                column = 0;
            }
            continue;
        }
        if (quote.position >= 0) {
            if (c == quote.character) quote.position = -1;  // "" reopens at once
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = here;
            continue;
        }
        if (!cobolCharacter(static_cast<unsigned char>(c))) return problem(TextProblem::CobolCharacter, here);
        if (c == '(') brackets.push_back(here);
        if (c == ')') {
            if (brackets.empty()) return problem(TextProblem::UnmatchedClose, here);
            brackets.pop_back();
        }
    }
    if (quote.position >= 0) return problem(TextProblem::UnclosedQuote, quote);
    if (!brackets.empty()) return problem(TextProblem::UnclosedBracket, brackets.back());
    return {};
}
