// Editing the texts of a construct: which field a command edits, reading
// and writing a field as one undoable change, the default action of a
// selection, and the rules of the program's edit control (tab stops,
// automatic indentation, overwrite mode, the OEM character filter, paste
// cutting). The window side (app/direct_edit_win32.cpp and the edit
// control's subclass procedure) asks these functions what a key or a paste
// does and carries it out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "edit/edit_context.h"

struct UndoRecord;

// A construct text holds fewer than 29989 characters.
constexpr int kTextLimit = 29989;
// The external editor's file is read up to this many bytes; a longer file
// is refused.
constexpr int kExternalReadLimit = 29990;
// Automatic indentation copies at most this many leading blanks.
constexpr int kMaxAutoIndent = 253;

// The edited field (SegmentWindow::editField): 1 left label, 2 right
// label, 3 the construct's own text.
enum EditFieldCode : int { kFieldNone = 0, kFieldLeftLabel = 1, kFieldRightLabel = 2, kFieldText = 3 };

// The construct's own text can be edited as plain text: the statement
// texts (Text, FreeFormat, SpecialText) and a host condition of kind 7
// (a text only).
bool hasEditableText(const ConstructNode* node);

// The field Edit text edits: the own text of a construct that carries text
// or data of its own (kFieldText, even when it is not plain text: the
// command is then refused), else the left label when labels are shown and
// there is one, else the right label when there is one; kFieldNone when
// nothing can be edited.
int editFieldFor(const ConstructNode* node, bool labelsShown);

// Whether `field` of `node` can be edited as text.
bool fieldEditable(const ConstructNode* node, int field);

// The text of the field ("" for none; never null).
const char* fieldText(const ConstructNode* node, int field);

// Replaces the field's text in `record` (undo kind 5, 7, 12 or 13); an
// empty text removes it. 0 when memory ran out or the field cannot be
// edited (nothing changed).
int journalSetField(UndoRecord* record, DiagramDocument* document, ConstructNode* node, int field,
                    std::string_view text);

// Replaces the field's text as one undoable command (runEditCommand):
// what runEditCommand returns.
int runFieldChange(EditContext& context, unsigned command, ConstructNode* node, int field,
                   std::string_view text);

enum class CommitResult { Committed, Unchanged, TooLong, Refused };

// Commits an edited text: one undo record under `command` (one of the three
// editing commands) holding the window's state and the replaced text. A text of
// kTextLimit characters or more is refused (TooLong) and the construct
// keeps its old one; the same text as before changes nothing.
CommitResult commitFieldText(EditContext& context, unsigned command, ConstructNode* node, int field,
                             std::string_view text);

// ---------------------------------------------------------------------------
// The default action (Enter, CMD_DEFAULT_ACTION, a double click)

struct DefaultActionInput {
    const ConstructNode* node = nullptr;  // the selected construct (first of the area)
    int editField = kFieldNone;           // the window's edited field
    bool joinable = false;                // Join accepts the selection
    bool labelsShown = false;
    bool shift = false, ctrl = false, alt = false;
    int defaultEditor = 0;  // "DefaultEditor": 0 direct, 1 edit window, 2 external
};

struct DefaultAction {
    unsigned command = 0;    // 0: nothing to do
    int field = kFieldNone;  // the field the editing commands edit
};

DefaultAction chooseDefaultAction(const DefaultActionInput& input);

// The editing command "DefaultEditor" names (any other value: direct editing).
unsigned defaultEditorCommand(int defaultEditor);

// ---------------------------------------------------------------------------
// The program's edit control

// Tab schemes 1..4 (0: no tab handling).
constexpr int kTabSchemeCount = 4;

// The next stop after `column` (counted from 0 at the start of the line)
// of the scheme; -1 when there is none (scheme 0, or beyond the last stop
// of scheme 4).
int nextTabStop(int scheme, int column);

// The blanks after a line break: as many as the line has at its start
// before the caret, at most kMaxAutoIndent.
int autoIndentWidth(std::string_view lineBeforeCaret);

// Whether a character survives the conversion to OEM and back (the OEM
// font filter).
bool oemAccepts(unsigned char c);

struct EditControlOptions {
    bool singleLine = false;
    bool overwrite = false;
    bool autoIndent = false;
    bool oemFont = false;
    bool uppercase = false;
    int tabScheme = 0;
};

// What a typed character does.
struct CharAction {
    enum Kind { Pass, Drop, Insert } kind = Pass;
    bool selectNext = false;  // overwrite: select the character under the caret first
    std::string text;         // Insert: the text that replaces the selection
};

// `line` is the caret's line, `column` the caret's place in it; `hasSelection`
// when text is selected. Tab arrives as '\t' (the control's owner decides
// which key means Tab), Enter as '\r'.
CharAction typedChar(const EditControlOptions& options, std::string_view line, int column, bool hasSelection,
                     unsigned char c);

// The text a paste inserts: only the first line in a single-line control,
// characters without an OEM equivalent replaced as the OEM font shows
// them, upper case when asked. The clipboard itself is not changed.
std::string pasteText(const EditControlOptions& options, std::string_view clipboard);

// The external editor's file as a construct text: line ends become CR LF,
// the line breaks an editor puts at the end go, and the text ends at a
// NUL byte.
std::string textFromEditorFile(std::string_view file);

// ---------------------------------------------------------------------------
// The check request ("Check text for syntax errors" and "Check text against
// COBOL character set" ask for the same check)

enum class TextProblem {
    None,
    CobolCharacter,   // a character outside the COBOL character set
    UnclosedQuote,    // a literal not closed on its line
    UnmatchedClose,   // ")" that closes nothing
    UnclosedBracket,  // "(" not closed by the end of the text
};

struct TextCheck {
    TextProblem problem = TextProblem::None;
    int position = 0;  // offset of the offending character in the text
    int line = 0;      // 1-based, lines end at LF (CR LF)
    int column = 0;    // 1-based
    char character = 0;
};

// The first problem of `text`, in text order; an unclosed parenthesis is
// known only at the end. Literals in double or single quotes (a doubled quote
// stands for itself) may hold any character; outside them the COBOL
// character set is the letters, digits, blank and + - * / = $ , ; . ( ) < > :
// _ & plus the quotes, and line breaks.
TextCheck checkText(std::string_view text);

// The field is edited in the multi-line form: the own text; labels are
// single-line.
inline bool fieldIsMultiLine(int field) {
    return field == kFieldText;
}
