// Enabled states of the editing commands.
#include "edit/command_state.h"

#include "edit/construct_commands.h"
#include "edit/edit_internal.h"
#include "edit/placement.h"
#include "edit/undo_journal.h"
#include "resources/commands.h"

namespace {

bool available(const EditState& state, ConstructType type) {
    const std::int32_t code = typeCode(type);
    return !state.available || (code >= kMinTypeCode && code <= kMaxTypeCode && state.available[code]);
}

// A construct command whose construct can go somewhere: its type is
// available and is one the placement rules ever accept.
bool constructCommandEnabled(const EditState& state, unsigned command) {
    const ConstructInfo* info = constructForCommand(static_cast<int>(command));
    if (!info || isEdgeType(info->type) || !available(state, info->type)) return false;
    return placeType({}, info->type, 0) != Placement::NeverPlaced;
}

}  // namespace

bool editCommandEnabled(const EditState& state, unsigned command) {
    if (command == CMD_QUIT_INSERT_MODE) return state.insertionPending;
    if (!state.document || !state.view || !state.view->segment) return false;
    const Selection selection = state.view->state.selection;
    DiagramDocument* doc = state.document;
    const bool selected = edit_detail::sound(selection) && !inRestBranchHead(selection.first);
    if (command == CMD_CLIPBOARD_COPY) return selected;
    if (state.readOnly) return false;
    switch (command) {
        case CMD_EDIT_UNDO:
            return canUndo(state.journal, state.view->segment);
        case CMD_EDIT_SPLIT:
            return canSplit(selection, state.caret);
        case CMD_EDIT_JOIN:
            return canJoin(selection);
        case CMD_EDIT_COPY:
        case CMD_EDIT_MOVE:
            return selected;
        case CMD_EDIT_DUPLICATE:
            return checkDuplicate(doc, selection) == Placement::Ok;
        case CMD_EDIT_DELETE:
        case CMD_CLIPBOARD_CUT:
            return canDelete(selection);
        case CMD_EDIT_EXTRACT:
            return checkExtract(doc, selection) == Placement::Ok;
        case CMD_CLIPBOARD_PASTE:
            return pasteSource(state.clipboard, state.settingsLoaded) != PasteSource::None;
        case CMD_CLIPBOARD_PASTE_FREE_FORMAT:
            return (state.clipboard.text || state.clipboard.oemText) &&
                   available(state, ConstructType::FreeFormat);
        case CMD_EDIT_REFINE:
        case CMD_EDIT_PUSH_DOWN:
            return checkRefine(doc, selection) == Placement::Ok;
        case CMD_EDIT_PULL_UP:
            return checkPullUp(doc, selection) == Placement::Ok;
        case CMD_INSERT_FILE:
            return true;
        default:
            break;
    }
    if (const EncloseRow* row = encloseRow(command)) {
        const ConstructInfo* info = constructForCommand(row->templateCommand);
        return available(state, info->type) && checkEnclose(doc, selection, command) == Placement::Ok;
    }
    if (command >= CMD_INSERT_FIRST && command <= CMD_INSERT_LAST)
        return constructCommandEnabled(state, command);
    return false;
}
