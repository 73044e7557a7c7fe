// The dispatch table of the editor: which part carries out which commands.
//
// Every owner of app/commands.h gets its handler here. An owner left without
// one is not available yet: its menu items and buttons are greyed and a
// request for one of its commands does nothing (a batch run reports it and
// ends with a non-zero exit code). Handlers receive the CommandRequest;
// requests with `path` set act on that file without a dialog (open by name
// from the command line, DDE, dropped files and recent files; batch
// targets), see app/commands.h for the flags.
#include <cstdio>
#include <cstring>

#include "app/documents.h"
#include "app/edit_win32.h"
#include "app/frame_win32.h"
#include "app/settings_dialog_win32.h"
#include "app/text_edit_win32.h"
#include "app/view_win32.h"
#include "config/language_config.h"
#include "config/menu_captions_win32.h"
#include "config/profile.h"
#include "core/diagram_file.h"
#include "core/diagram_save.h"
#include "core/file_descriptor.h"
#include "core/host.h"
#include "core/path.h"
#include "generator/generator.h"
#include "import/parser_import.h"
#include "import/transfer_export.h"
#include "platform/platform.h"
#include "print/print_win32.h"
#include "resources/dialog_ids.h"
#include "resources/strings.h"

namespace {

void refreshAllTitles() {
    for (OpenDiagram* d = firstDiagram(); d; d = d->next) refreshDiagramTitle(d);
}

void activate(OpenDiagram* diagram) {
    if (diagram && diagram->window)
        SendMessageA(g_frame.client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(diagram->window), 0);
}

// ---------------------------------------------------------------------------
// Documents: New, Open, Close, Insert file, the activation check

bool openCommand(const CommandRequest& request) {
    char chosen[kPathSize];
    const char* path = request.path;
    if (!path) {
        if (!chooseFileToOpen(chosen, sizeof chosen)) return false;
        path = chosen;
    }
    char full[kPathSize];
    qualifiedPath(path, full);
    // A diagram open already comes to the front.
    if (OpenDiagram* open = findDiagramByPath(full)) {
        activate(open);
        return true;
    }
    HWND current = activeDiagramWindow();
    OpenDiagram* currentDiagram = diagramOfWindow(current);
    const bool reuse =
        currentDiagram && ((request.flags & kIntoCurrentWindow) ||
                           (!(request.flags & kIntoNewWindow) &&
                            (isEmptyUntitled(currentDiagram) || !g_frameSettings.window.fileInSepWnd)));
    if (reuse && !isEmptyUntitled(currentDiagram) && !confirmClose(currentDiagram)) return false;
    OpenDiagram* diagram = newDiagram();
    if (!diagram) return false;
    {
        WaitCursor wait;
        if (!loadDiagramFile(diagram, full, (request.flags & kReadOnly) != 0)) {
            discardDiagram(diagram);
            return false;
        }
    }
    if (reuse) {
        // The window takes the new diagram; the one it showed goes.
        showDiagramIn(current, diagram);
    } else if (!createDiagramWindow(diagram)) {
        return false;
    }
    noteRecentFile(false, full);
    return true;
}

void reloaded(DiagramDocument* document) {
    if (OpenDiagram* diagram = diagramOfDocument(document)) {
        diagram->display = displayForDocument(g_displayDefaults, document->display);
        diagramChanged(diagram, true);
    }
}

bool documentCommand(const CommandRequest& request) {
    switch (request.command) {
        case CMD_FILE_NEW: {
            OpenDiagram* diagram = newDiagram();
            return diagram && createDiagramWindow(diagram);
        }
        case CMD_FILE_OPEN:
            return openCommand(request);
        case CMD_FILE_CLOSE:
            if (HWND active = activeDiagramWindow()) {
                SendMessageA(active, WM_CLOSE, 0, 0);
                return !IsWindow(active);
            }
            return false;
        case CMD_INSERT_FILE:
            return insertFileCommand(request);
        case CMD_ACTIVATION_CHECK:
            // Files changed on disk by other programs since they were read.
            for (OpenDiagram* d = firstDiagram(); d; d = d->next) checkChangedOnActivate(&d->document);
            return true;
        default:
            return false;  // short information comes with its dialog
    }
}

// ---------------------------------------------------------------------------
// Saving

bool saveCommand(const CommandRequest& request) {
    int ok = 0;
    if (request.command == CMD_FILE_SAVE_ALL) {
        ok = saveAllDiagrams();
    } else if (OpenDiagram* diagram = activeDiagram()) {
        if (request.flags & kClearReadOnly) diagram->document.ownFile.readOnly = false;
        if (request.command == CMD_FILE_SAVE && request.path) {
            // A batch target: saved there; it becomes the diagram's file.
            char full[kPathSize];
            qualifiedPath(request.path, full);
            if (samePath(full, diagram->document.ownFile.path)) {
                ok = saveDiagram(diagram, false);
            } else if (checkOutputName(&diagram->document, full)) {
                CurrentDocumentScope scope(&diagram->document);
                ok = saveDocument(&diagram->document, full, false) == SaveResult::Saved;
            }
        } else {
            ok = saveDiagram(diagram, request.command == CMD_FILE_SAVE_AS);
        }
        if (ok) noteRecentFile(false, diagram->document.ownFile.path);
    }
    refreshAllTitles();
    return ok != 0;
}

// ---------------------------------------------------------------------------
// Generating

struct GenerateAllWindow {
    HWND dialog = nullptr;
    bool cancelled = false;
};

INT_PTR CALLBACK generateAllProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = reinterpret_cast<GenerateAllWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && window) window->cancelled = true;
            return TRUE;
        default:
            return FALSE;
    }
}

// One progress line: string `id` with its %X% placeholder replaced.
void setProgressLine(HWND dialog, int control, unsigned id, const char* placeholder, const char* value) {
    char text[kMaxFormatted];
    if (platform::loadString(id, text, sizeof text) <= 0) text[0] = 0;
    char line[kMaxFormatted];
    const char* at = std::strstr(text, placeholder);
    if (at)
        std::snprintf(line, sizeof line, "%.*s%s%s", static_cast<int>(at - text), text, value,
                      at + std::strlen(placeholder));
    else
        std::snprintf(line, sizeof line, "%s", text);
    SetDlgItemTextA(dialog, control, line);
}

bool beforeGeneratingFile(void* context, const char* path, int, int) {
    auto* window = static_cast<GenerateAllWindow*>(context);
    if (window->dialog) {
        SetDlgItemTextA(window->dialog, IDC_GENALL_FILE, path);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                window->cancelled = true;
                break;
            }
            if (!IsDialogMessageA(window->dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    return !window->cancelled;
}

bool generateAllCommand(const CommandRequest& request) {
    // Started once by the batch options; the batch message that follows
    // finds it done and reports its result again.
    static int batchRun = 0;  // 0 not yet, 1 succeeded, 2 failed
    if ((request.flags & kFromBatch) && batchRun) return batchRun == 1;
    char directory[kSettingsPathSize];
    if (request.path && request.path[0])
        std::snprintf(directory, sizeof directory, "%s", request.path);
    else if (!currentDirectory(directory))
        return false;
    GenerateAllWindow window;
    if (!g_frame.batch) {
        window.dialog = CreateDialogParamA(g_frame.instance, MAKEINTRESOURCEA(IDD_GENERATE_ALL),
                                           g_frame.frame, generateAllProc, reinterpret_cast<LPARAM>(&window));
        if (window.dialog) {
            char nativeExt[16], target[kSettingsPathSize];
            std::snprintf(nativeExt, sizeof nativeExt, "%s", g_strings.nativeExt);
            const char* genExt = generationExtension();
            std::snprintf(target, sizeof target, "%s",
                          g_frameSettings.pairs[static_cast<int>(PathPair::Generate)].directory);
            if (!target[0]) std::snprintf(target, sizeof target, "%s", directory);
            setProgressLine(window.dialog, IDC_GENALL_LINE1, IDS_GENALL_LINE1, "%N%", nativeExt);
            setProgressLine(window.dialog, IDC_GENALL_LINE2, IDS_GENALL_LINE2, "%O%", directory);
            setProgressLine(window.dialog, IDC_GENALL_LINE3, IDS_GENALL_LINE3, "%P%", genExt);
            setProgressLine(window.dialog, IDC_GENALL_LINE4, IDS_GENALL_LINE4, "%Q%", target);
            EnableWindow(g_frame.frame, FALSE);
        }
    }
    GenerateAllProgress progress;
    progress.beforeFile = beforeGeneratingFile;
    progress.context = &window;
    GenerateAllResult result;
    {
        WaitCursor wait;
        result = generateAll(directory, g_frame.saveAfterGen, progress);
    }
    if (window.dialog) {
        EnableWindow(g_frame.frame, TRUE);
        DestroyWindow(window.dialog);
    }
    const bool ok = result.failed == 0 && !window.cancelled;
    if (request.flags & kFromBatch) batchRun = ok ? 1 : 2;
    return ok;
}

bool generatorCommand(const CommandRequest& request) {
    if (request.command == CMD_FILE_GENERATE_ALL) return generateAllCommand(request);
    OpenDiagram* diagram = activeDiagram();
    if (!diagram) return false;
    const bool fromBatch = (request.flags & kFromBatch) != 0;
    // A batch run generates the diagram it opened, nothing else.
    if (fromBatch && isUntitled(diagram)) return false;
    bool batchMode = false;
    if (request.path && request.path[0]) {
        qualifiedPath(request.path, diagram->generateTarget.storedPath);
    } else if (fromBatch) {
        batchMode = true;
    }
    const int command = request.command == CMD_FILE_GENERATE_AS ? CMD_FILE_GENERATE_AS : CMD_FILE_GENERATE;
    return generate(&diagram->document, command, batchMode, g_frame.saveAfterGen, &diagram->generateTarget) ==
           1;
}

// Generator hooks: the front end's part of a generation.
void generateDirectory(char* out) {
    std::snprintf(out, kPathSize, "%s", pairDirectory(PathPair::Generate));
}

void refreshTitlesOf(DiagramDocument* document) {
    refreshDiagramTitle(diagramOfDocument(document));
}

void addRecentFile(const char* path) {
    noteRecentFile(false, path);
}

int saveAfterGeneration(DiagramDocument* document) {
    // An untitled diagram has no file to save to until the user names one.
    if (!document->ownFile.path[0]) return 0;
    return saveToOwnFile(document) == SaveResult::Saved ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Export

const char* exportFileOf(DiagramDocument* document) {
    OpenDiagram* diagram = diagramOfDocument(document);
    return diagram ? diagram->exportPath : nullptr;
}

void exportDone(DiagramDocument* document, const char* path) {
    OpenDiagram* diagram = diagramOfDocument(document);
    if (!diagram) return;
    std::snprintf(diagram->exportPath, sizeof diagram->exportPath, "%s", path);
    diagram->changedSinceExport = false;
    refreshDiagramTitle(diagram);
    noteRecentFile(false, path);
}

bool exporterCommand(const CommandRequest& request) {
    OpenDiagram* diagram = activeDiagram();
    if (!diagram) return false;
    const bool fromBatch = (request.flags & kFromBatch) != 0;
    if (fromBatch && isUntitled(diagram)) return false;
    char target[kPathSize] = "";
    const char* path = request.path;
    if (!path && fromBatch && !diagram->exportPath[0]) {
        // A batch export without a target: the diagram's name with the
        // transfer-file extension in the export directory.
        if (!defaultExportPath(diagram, target, sizeof target)) return false;
        path = target;
    }
    CurrentDocumentScope scope(&diagram->document);
    return exportCommand(&diagram->document, request.command, path) == 1;
}

unsigned currentCommandNumber() {
    return g_frame.currentCommand;
}

bool editorsAllowed() {
    return true;
}

// ---------------------------------------------------------------------------
// Settings and the language configuration

bool settingsCommand(const CommandRequest&) {
    return saveSettingsCommand(g_frameSettings, g_settingsSnapshot, g_settingsFile, g_settingsHooks) == 1;
}

bool conversionNoticeSuppressed(FileKind kind) {
    // A start without dialogs (a batch option) converts without asking.
    if (g_hostState.noDialogs || g_frame.batch) return true;
    const unsigned key =
        kind == FileKind::Transfer ? IDS_KEY_SUPPRESSETFCONVMSG : IDS_KEY_SUPPRESSSOURCECONVMSG;
    return readProfileBool(key, IDS_SEC_SETTINGS, g_settingsFile, 0) != 0;
}

bool mainWindowVisible() {
    return g_frame.frame && IsWindowVisible(g_frame.frame);
}

}  // namespace

bool configurationFileCommand(const CommandRequest& request) {
    if (request.command != CMD_OPTIONS_CONFIGURATION) return false;
    // A pristine copy of the menu restores captions the new file leaves out.
    HMENU fresh = LoadMenuA(g_frame.instance, g_strings.menuName);
    Win32MenuCaptions captions(g_frame.menu, fresh);
    int result = setConfigurationFile(g_languageConfig, &captions);
    if (fresh) DestroyMenu(fresh);
    DrawMenuBar(g_frame.frame);
    // The keywords may have changed: everything is measured again.
    if (result) displayChanged(kInvalidateAllViews);
    if (result & kConfigChosen) {
        std::snprintf(g_frameSettings.configurationFile, sizeof g_frameSettings.configurationFile, "%s",
                      g_languageConfig.path);
        g_frameSettings.window.changed = true;
        configurationChanged(result, activeDiagram());
    }
    return result != 0;
}

void installCommandRoutes() {
    setCommandRoute(CommandOwner::frame, frameCommand);
    setCommandRoute(CommandOwner::document, documentCommand);
    setCommandRoute(CommandOwner::save, saveCommand);
    setCommandRoute(CommandOwner::generator, generatorCommand);
    setCommandRoute(CommandOwner::exporter, exporterCommand);
    setCommandRoute(CommandOwner::configuration, configurationFileCommand);
    setCommandRoute(CommandOwner::settings, settingsCommand);
    setCommandRoute(CommandOwner::view, viewCommand);
    setCommandRoute(CommandOwner::layout, layoutCommand);
    setCommandRoute(CommandOwner::print, printCommand);
    installEditRoutes();
    setCommandRoute(CommandOwner::addIn, addInCommandRoute);
    setCommandRoute(CommandOwner::text, textCommand);
    setCommandRoute(CommandOwner::search, searchCommand);
    holdSegmentsOf(&g_segmentWindows);

    // What the parts below the commands take from the front end.
    g_settingsHooks.chooseSaveSettings = chooseSaveSettingsWin32;

    GeneratorHooks generator{};
    generator.generateDirectory = generateDirectory;
    generator.refreshTitles = refreshTitlesOf;
    generator.addRecentFile = addRecentFile;
    generator.saveDocument = saveAfterGeneration;
    setGeneratorHooks(generator);

    installImportHooks();
    g_importEnvironment.settingsFile = g_settingsFile;
    g_importEnvironment.etfFileFormat = &g_frameSettings.etfFileFormat;
    g_importEnvironment.errFileEditor = g_frameSettings.errFileEditor;
    g_importEnvironment.sourceFileEditor = g_frameSettings.sourceFileEditor;
    g_importEnvironment.exportDirectory = g_frameSettings.pairs[static_cast<int>(PathPair::Export)].directory;
    g_importEnvironment.currentCommand = currentCommandNumber;
    g_importEnvironment.editorsAllowed = editorsAllowed;
    g_importEnvironment.exportFileOf = exportFileOf;
    g_importEnvironment.exportDone = exportDone;

    setConversionNoticeHook(conversionNoticeSuppressed);
    FileHooks files{};
    files.mainWindowVisible = mainWindowVisible;
    setFileHooks(files);
    SavingHooks saving{};
    saving.reloaded = reloaded;
    setSavingHooks(saving);

    // The tools and the result window: connectTools, once the frame exists.
    // Not available yet - each waits for its part:
    //   fileTransfer, browser  outside libraries
}

namespace {
// The active diagram for printing.
bool printTarget(PrintTarget& out) {
    SegmentWindow* window = currentSegmentWindow();
    OpenDiagram* diagram = window ? diagramOf(*window) : nullptr;
    if (!diagram) return false;
    out.window = window;
    out.document = &diagram->document;
    out.state = diagram->view.get();
    out.display = &diagram->display;
    out.config = &g_languageConfig;
    return true;
}
void showPrintedSegment(ConstructNode* segment) {
    showConstruct(segment);
}
}  // namespace

void connectPartsToFrame() {
    PrintEnvironment& print = g_printEnvironment;
    print.instance = g_frame.instance;
    print.frame = g_frame.frame;
    print.settingsFile = g_settingsFile;
    print.application = g_strings.title;
    print.version = g_strings.version;
    print.untitled = g_strings.untitled;
    print.printer = &g_frameSettings.printer;
    print.levellistType = &g_frameSettings.window.levellistType;
    print.previewWindow = &g_frameSettings.window.toolWindows[static_cast<int>(ToolWindow::Printgrid)];
    print.previewPlace = &g_frameSettings.places[static_cast<int>(ToolWindow::Printgrid)].rect;
    print.modelessDialog = &g_frame.modelessDialog;
    print.currentTarget = printTarget;
    print.showSegment = showPrintedSegment;
    g_settingsHooks.chooseContext = g_frame.frame;
    g_importEnvironment.frameWindow = g_frame.frame;
    FileSettings settings{};
    settings.maxBackupCopyExtLen =
        readProfileInt(IDS_SEC_SETTINGS, IDS_KEY_MAXBACKUPCOPYEXTLEN, -1, g_settingsFile);
    std::snprintf(settings.lockDrives, sizeof settings.lockDrives, "%s", g_frameSettings.network.lockDrives);
    std::snprintf(settings.unlockDrives, sizeof settings.unlockDrives, "%s",
                  g_frameSettings.network.unlockDrives);
    setFileSettings(settings);
}
