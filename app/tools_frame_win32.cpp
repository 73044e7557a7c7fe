// What the Execute programs and the result window (tools/) take from the
// frame: the window, the settings slots of the result window, the actions
// before a run on the open diagrams, the values of the placeholders, and
// going to a line of the generated source.
#include <cstdio>

#include "app/documents.h"
#include "app/frame_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "core/host.h"
#include "core/path.h"
#include "generator/generator.h"
#include "import/transfer_export.h"
#include "tools/placeholders.h"
#include "tools/tools_win32.h"
#include "view/shapes.h"

namespace {

constexpr int kResult = static_cast<int>(ToolWindow::Result);

// The generated file of a diagram: its stored one, else its name with the
// configuration's extension in the generate directory.
std::string generatedFile(const OpenDiagram* diagram) {
    if (diagram->generateTarget.storedPath[0]) return diagram->generateTarget.storedPath;
    char path[kPathSize];
    return pathBeside(diagram->document.ownFile.path, pairDirectory(PathPair::Generate),
                      generationExtension(), path, sizeof path)
               ? std::string(path)
               : std::string();
}

std::string exportFile(const OpenDiagram* diagram) {
    if (diagram->exportPath[0]) return diagram->exportPath;
    char path[kPathSize];
    return defaultExportPath(diagram, path, sizeof path) ? std::string(path) : std::string();
}

// Generate before a run: into the diagram's generated file without a
// question (a diagram without a name asks for one).
bool generateDiagram(OpenDiagram* diagram) {
    if (!diagram->generateTarget.storedPath[0] && !isUntitled(diagram)) {
        const std::string target = generatedFile(diagram);
        copyText(diagram->generateTarget.storedPath, target.c_str());
    }
    CurrentDocumentScope scope(&diagram->document);
    WaitCursor wait;
    return generate(&diagram->document, CMD_FILE_GENERATE, false, g_frame.saveAfterGen,
                    &diagram->generateTarget) == 1;
}

bool exportDiagram(OpenDiagram* diagram) {
    const std::string target = isUntitled(diagram) ? std::string() : exportFile(diagram);
    CurrentDocumentScope scope(&diagram->document);
    WaitCursor wait;
    return exportCommand(&diagram->document, CMD_FILE_EXPORT, target.empty() ? nullptr : target.c_str()) == 1;
}

// The active diagram, or (`all`) every open diagram but the empty
// untitled one.
bool forDiagrams(bool all, bool (*action)(OpenDiagram*)) {
    if (!all) {
        OpenDiagram* diagram = activeDiagram();
        return diagram && action(diagram);
    }
    for (OpenDiagram* d = firstDiagram(); d; d = d->next)
        if (!isEmptyUntitled(d) && !action(d)) return false;
    return true;
}

bool generateFirst(bool all) {
    const bool ok = forDiagrams(all, generateDiagram);
    for (OpenDiagram* d = firstDiagram(); d; d = d->next) refreshDiagramTitle(d);
    return ok;
}

bool exportFirst(bool all) {
    return forDiagrams(all, exportDiagram);
}

void placeholderValues(PlaceholderValues& values) {
    values.openPath = pairDirectory(PathPair::Open);
    values.filePath = pairDirectory(PathPair::Insert);
    values.expPath = pairDirectory(PathPair::Export);
    values.sourcePath = pairDirectory(PathPair::Generate);
    OpenDiagram* diagram = activeDiagram();
    if (!diagram) return;
    values.file = diagram->document.ownFile.path;
    values.genFile = generatedFile(diagram);
    values.expFile = exportFile(diagram);
    if (SegmentWindow* window = currentSegmentWindow(); window && window->selectionFirst) {
        const char* text = displayText(window->selectionFirst);
        if (!text) text = displayText(childAt(window->selectionFirst, Slot::Head));
        if (text) values.selText = text;
    }
}

bool closeActiveDiagram() {
    HWND active = activeDiagramWindow();
    if (!active) return true;
    SendMessageA(active, WM_CLOSE, 0, 0);
    return !IsWindow(active);
}

void openFile(const char* path) {
    CommandRequest open;
    open.command = CMD_FILE_OPEN;
    if (path && path[0]) {
        open.path = path;
        open.flags = isEmptyUntitledWindow(activeDiagramWindow()) ? kIntoCurrentWindow : kIntoNewWindow;
    }
    runCommand(open);
}

bool goToLine(long line) {
    CommandRequest request;
    request.command = CMD_VIEW_LINE;
    request.number = line;
    return runCommand(request) == DispatchResult::done;
}

void resultRect(RECT* rect, bool store) {
    SettingsRect& r = g_frameSettings.places[kResult].rect;
    if (store)
        r = SettingsRect{rect->left, rect->top, rect->right, rect->bottom};
    else
        *rect = RECT{r.left, r.top, r.right, r.bottom};
}

HMENU executeMenu() {
    return popupById(IDM_POPUP_EXECUTE);
}

bool toolsRoute(const CommandRequest& request) {
    const bool done = toolsCommand(request.command);
    // A changed program list is a changed setting.
    if (done && request.command == CMD_OPTIONS_PROGRAM_LINKING) g_frameSettings.window.changed = true;
    return done;
}

bool resultRoute(const CommandRequest& request) {
    return resultCommand(request.command);
}

}  // namespace

void connectTools() {
    ToolsFrame frame;
    frame.instance = g_frame.instance;
    frame.frame = g_frame.frame;
    frame.settingsFile = g_settingsFile;
    frame.language = PRIMARYLANGID(GetThreadLocale()) == LANG_GERMAN ? 49 : 44;
    frame.modelessDialog = &g_frame.modelessDialog;
    frame.resultWindow = &g_frameSettings.window.toolWindows[kResult];
    frame.resultRect = resultRect;
    frame.executeMenu = executeMenu;
    frame.generateFirst = generateFirst;
    frame.exportFirst = exportFirst;
    frame.placeholderValues = placeholderValues;
    frame.closeActiveDiagram = closeActiveDiagram;
    frame.openFile = openFile;
    frame.goToLine = goToLine;
    frame.setStatus = setStatusText;
    frame.log = diagnosticsLine;
    installTools(frame);
    setCommandRoute(CommandOwner::tools, toolsRoute);
    setCommandRoute(CommandOwner::result, resultRoute);
    g_settingsHooks.loadProgramList = loadToolsSettings;
    g_settingsHooks.saveProgramList = saveToolsSettings;
}
