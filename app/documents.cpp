// The open diagrams and the file commands on them.
#include "app/documents.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "app/settings.h"
#include "config/language_config.h"
#include "core/allocator.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/file_descriptor.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "core/segment_paging.h"
#include "platform/platform.h"
#include "resources/strings.h"

DisplaySettings g_displayDefaults = [] {
    DisplaySettings d;
    initDisplaySettings(d);
    return d;
}();

namespace {

OpenDiagram* g_diagrams = nullptr;

// A diagram file "<name>.vrd" beside `path` (the extension replaced).
void nativeNameOf(const char* path, char* out, std::size_t size) {
    char ext[16];
    if (platform::loadString(IDS_NATIVE_EXT, ext, sizeof ext) <= 0) std::snprintf(ext, sizeof ext, ".vrd");
    copyText(out, size, path);
    if (!replaceExtension(out, size, ext)) out[0] = 0;
}

// The directory part of `path` (without the separator), for the dialogs.
void rememberDirectory(PathPair pair, const char* path) {
    // A root keeps its separator ("C:\").
    const std::size_t n = directoryLength(path);
    if (!n) return;
    std::snprintf(g_frameSettings.pairs[static_cast<int>(pair)].directory, kSettingsPathSize, "%.*s",
                  static_cast<int>(n), path);
}

bool chooseFile(PathPair pair, bool save, unsigned filterId, char* path, std::size_t size) {
    Host* host = currentHost();
    if (!host || g_hostState.noDialogs || g_hostState.insideForeignCall) return false;
    char filter[256];
    if (platform::loadString(filterId, filter, sizeof filter) <= 0) filter[0] = 0;
    FileDialogRequest request{};
    request.save = save;
    request.filter = filter;
    request.initialDir = pairDirectory(pair);
    request.defaultExt = "vrd";
    request.path = path;
    request.pathSize = size;
    if (!host->chooseFile(request) || !path[0]) return false;
    rememberDirectory(pair, path);
    return true;
}

ConstructNode* emptyTopSegment(DiagramDocument* document) {
    CurrentDocumentScope scope(document);
    return newConstruct(document, CMD_INSERT_SEGMENT);
}

// After an open: a converted source or transfer file becomes a new diagram
// beside it, which is unsaved until the user saves it.
void nameConvertedDocument(DiagramDocument* document) {
    if (document->ownFile.kind == FileKind::Diagram) return;
    char name[kPathSize];
    nativeNameOf(document->ownFile.path, name, sizeof name);
    releaseFileHandles(document, document->ownFile.path);
    document->ownFile = FileDescriptor{};
    std::snprintf(document->ownFile.path, sizeof document->ownFile.path, "%s", name);
    document->ownFile.kind = FileKind::Diagram;
    setCurrentStreamFormat(document);
    applyFormat(document->ownFile, formatOf(*document));
    document->modified = true;
}

}  // namespace

const char* pairDirectory(PathPair pair) {
    return g_frameSettings.pairs[static_cast<int>(pair)].directory;
}

bool defaultExportPath(const OpenDiagram* diagram, char* out, std::size_t size) {
    return diagram &&
           pathBeside(diagram->document.ownFile.path, pairDirectory(PathPair::Export), ".etf", out, size);
}

OpenDiagram* firstDiagram() {
    return g_diagrams;
}

int diagramCount() {
    int count = 0;
    for (OpenDiagram* d = g_diagrams; d; d = d->next) ++count;
    return count;
}

OpenDiagram* newDiagram() {
    auto* diagram = new (std::nothrow) OpenDiagram{};
    if (!diagram) {
        showMessage(IDS_OUT_OF_MEMORY, kIconExclamation | kBoxSystemModal);
        return nullptr;
    }
    DiagramDocument& document = diagram->document;
    setCurrentStreamFormat(&document);
    document.autoLeftLabels = g_frameSettings.autoLeftLabels;
    document.leftLabelText = g_frameSettings.leftLabelText;
    document.autoRightLabels = g_frameSettings.autoRightLabels;
    document.rightLabelText = g_frameSettings.rightLabelText;
    diagram->document.root = emptyTopSegment(&diagram->document);
    diagram->display = g_displayDefaults;
    diagram->view.reset(new (std::nothrow) ViewState);
    if (!diagram->document.root || !diagram->view) {
        freeSequence(diagram->document.root);
        delete diagram;
        showMessage(IDS_OUT_OF_MEMORY, kIconExclamation | kBoxSystemModal);
        return nullptr;
    }
    diagram->next = g_diagrams;
    g_diagrams = diagram;
    return diagram;
}

void discardDiagram(OpenDiagram* diagram) {
    if (!diagram) return;
    for (OpenDiagram** link = &g_diagrams; *link; link = &(*link)->next)
        if (*link == diagram) {
            *link = diagram->next;
            break;
        }
    if (g_currentDocument == &diagram->document) g_currentDocument = nullptr;
    closeDocument(&diagram->document);
    delete diagram;
}

OpenDiagram* findDiagramByPath(const char* path) {
    if (!path || !*path) return nullptr;
    char full[kPathSize];
    qualifiedPath(path, full);
    for (OpenDiagram* d = g_diagrams; d; d = d->next)
        if (d->document.ownFile.path[0] && samePath(d->document.ownFile.path, full)) return d;
    return nullptr;
}

OpenDiagram* diagramOfDocument(const DiagramDocument* document) {
    for (OpenDiagram* d = g_diagrams; d; d = d->next)
        if (&d->document == document) return d;
    return nullptr;
}

bool isUntitled(const OpenDiagram* diagram) {
    return diagram && !diagram->document.ownFile.path[0];
}

bool isEmptyUntitled(const OpenDiagram* diagram) {
    if (!isUntitled(diagram) || diagram->document.modified) return false;
    const ConstructNode* root = diagram->document.root;
    if (!root) return true;
    // The top segment of a new diagram holds its template only.
    const ConstructNode* body = childAt(root, Slot::Body);
    return !body || (!body->next && body->type == ConstructType::Dummy);
}

void diagramTitle(const OpenDiagram* diagram, char* out, std::size_t size) {
    if (diagram && diagram->document.ownFile.path[0]) {
        std::snprintf(out, size, "%s", diagram->document.ownFile.path);
    } else if (platform::loadString(IDS_UNTITLED, out, static_cast<int>(size)) <= 0) {
        std::snprintf(out, size, "(Untitled)");
    }
}

int loadDiagramFile(OpenDiagram* diagram, const char* path, bool readOnly) {
    if (!diagram || !path || !*path) return 0;
    char full[kPathSize];
    qualifiedPath(path, full);
    const NameCheck check = checkNameBeforeOpening(full);
    if (check == NameCheck::Refused) {
        // Where nothing could be asked the name check stays silent; the
        // caller (a batch run, another program) still learns why.
        if (!questionsAllowed()) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, full);
        return 0;
    }
    DiagramDocument* document = &diagram->document;
    CurrentDocumentScope scope(document);
    if (check == NameCheck::StartEmpty) {
        ConstructNode* root = emptyTopSegment(document);
        if (!root) {
            showMessage(IDS_OUT_OF_MEMORY, kIconExclamation | kBoxSystemModal);
            return 0;
        }
        closeDocument(document);
        setCurrentStreamFormat(document);
        document->root = root;
        std::snprintf(document->ownFile.path, sizeof document->ownFile.path, "%s", full);
        document->ownFile.kind = FileKind::Diagram;
        document->modified = false;
    } else {
        if (!openDocument(document, full, kReadKeepLineNumbers, readOnly)) return 0;
        document->modified = false;
        nameConvertedDocument(document);
    }
    diagram->generateTarget = GenerateTarget{};
    diagram->exportPath[0] = 0;
    diagram->changedSinceExport = false;
    // Drawn as the file says, over the settings; measured anew.
    diagram->display = displayForDocument(g_displayDefaults, document->display);
    if (diagram->view) invalidateLayout(*diagram->view, kInvalidateAllViews | kInvalidateScreenFont);
    return 1;
}

bool chooseFileToOpen(char* path, std::size_t size) {
    path[0] = 0;
    return chooseFile(PathPair::Open, false, IDS_DIAGRAM_FILTER, path, size);
}

int saveDiagram(OpenDiagram* diagram, bool askName) {
    if (!diagram) return 0;
    DiagramDocument* document = &diagram->document;
    CurrentDocumentScope scope(document);
    if (!askName && !isUntitled(diagram)) {
        const SaveResult result = saveToOwnFile(document);
        if (result == SaveResult::Saved) {
            document->modified = false;
            return 1;
        }
        if (result != SaveResult::OtherName) return 0;
    }
    // Save as: until a name is saved to, the user cancels, or fails.
    char path[kPathSize];
    std::snprintf(path, sizeof path, "%s", document->ownFile.path);
    for (;;) {
        if (!chooseFile(PathPair::Open, true, IDS_DIAGRAM_FILTER, path, sizeof path)) return 0;
        // Another open diagram's file is not overwritten.
        OpenDiagram* other = findDiagramByPath(path);
        if (other && other != diagram) {
            showMessage(IDS_FILE_ALREADY_IN_USE, kBoxDefault, path);
            continue;
        }
        const bool ownName = other == diagram;
        if (!ownName && !checkOutputName(document, path)) continue;
        const SaveResult result = ownName ? saveToOwnFile(document) : saveDocument(document, path, false);
        if (result == SaveResult::Saved) {
            document->modified = false;
            return 1;
        }
        if (result != SaveResult::OtherName) return 0;
    }
}

int saveAllDiagrams() {
    for (OpenDiagram* d = g_diagrams; d; d = d->next)
        if (d->document.modified && !saveDiagram(d, false)) return 0;
    return 1;
}

bool confirmClose(OpenDiagram* diagram, bool unattended) {
    if (!diagram || !diagram->document.modified || unattended) return true;
    char title[kPathSize];
    diagramTitle(diagram, title, sizeof title);
    const int fallback = g_hostState.noDialogs ? kAnswerNo : kAnswerCancel;
    const int answer = askQuestion(IDS_SAVE_CHANGES_QUESTION, kBoxYesNoCancel | kIconQuestion | kBoxTaskModal,
                                   fallback, title);
    if (answer == kAnswerNo) return true;
    if (answer == kAnswerYes) return saveDiagram(diagram, false) == 1;
    return false;
}

void configurationChanged(int result, OpenDiagram* current) {
    if (!(result & kConfigChosen)) return;
    for (OpenDiagram* d = g_diagrams; d; d = d->next)
        if (!isEmptyUntitled(d)) d->document.modified = true;
    char* stored = current ? current->generateTarget.storedPath : nullptr;
    if ((result & kConfigExtChanged) && stored && stored[0])
        replaceExtension(stored, sizeof current->generateTarget.storedPath, generationExtension());
}

bool setDiagramDisplay(OpenDiagram* diagram, const DisplaySettings& display) {
    if (!diagram || sameDisplay(diagram->display, display)) return false;
    const unsigned flags = displayChangeFlags(diagram->display, display);
    // The empty untitled window stays the one a file opens into; whatever
    // is made in it later is saved with these options.
    if (!isEmptyUntitled(diagram)) {
        diagram->document.modified = true;
        diagram->changedSinceExport = true;
    }
    diagram->display = display;
    storeDisplayOptions(display, diagram->document.display);
    if (diagram->view && flags) invalidateLayout(*diagram->view, flags);
    return true;
}

bool chooseInsertFile(const char* path, char* chosen) {
    if (path && *path) {
        qualifiedPath(path, chosen);
        return true;
    }
    chosen[0] = 0;
    return chooseFile(PathPair::Insert, false, IDS_DIAGRAM_FILTER, chosen, kPathSize);
}

int insertFileInto(OpenDiagram* diagram, const char* path, char* chosen) {
    if (!diagram || !diagram->document.root) return 0;
    char name[kPathSize];
    if (!chooseInsertFile(path, name)) return 0;
    if (chosen) std::snprintf(chosen, kPathSize, "%s", name);
    DiagramDocument* document = &diagram->document;
    CurrentDocumentScope scope(document);
    ConstructNode* root = document->root;
    if (!ensureLoaded(root, document)) return 0;
    ConstructNode* sequence = nullptr;
    if (!insertDiagramFile(document, name, &sequence)) return 0;
    if (!sequence) return 1;  // an empty diagram inserts nothing
    // Appended to the top segment; a lone placeholder gives way.
    ConstructNode* body = childAt(root, Slot::Body);
    if (body && !body->next && body->type == ConstructType::Dummy) {
        setChildAt(nullptr, root, Slot::Body);
        body->up = nullptr;
        freeSequence(body);
        body = nullptr;
    }
    if (!body) {
        setChildAt(sequence, root, Slot::Body);
    } else {
        ConstructNode* last = body;
        while (last->next) last = last->next;
        insertSequenceAt(sequence, last, Slot::Next);
    }
    setSegmentFlags(root, static_cast<std::uint8_t>((segmentFlags(root) | kSegLoaded) & ~kSegFileCurrent));
    document->modified = true;
    diagram->changedSinceExport = true;
    return 1;
}
