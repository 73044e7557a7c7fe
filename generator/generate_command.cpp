// The Generate commands: choosing the output file, setting a generation
// up, running the walk, and keeping or discarding what it wrote.
#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "config/profile.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_save.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/replacement_file.h"
#include "core/segment_paging.h"
#include "generator/generate_internal.h"
#include "generator/generation.h"
#include "generator/generator.h"
#include "resources/strings.h"

namespace {

// ---------------------------------------------------------------------------
// Default hooks

int saveToOwnFileHook(DiagramDocument* document) {
    return saveToOwnFile(document) == SaveResult::Saved ? 1 : 0;
}

void defaultGenerateDirectory(char* out) {
    out[0] = 0;
}

bool defaultParserConfigured() {
    char parser[kPathSize];
    return readProfileText(IDS_SEC_PARSEOPTIONS, IDS_KEY_PARSER, "", parser, sizeof parser,
                           g_languageConfig.path) > 0;
}

GeneratorHooks withDefaults(const GeneratorHooks& hooks) {
    GeneratorHooks h = hooks;
    if (!h.takeWorkingCopy) h.takeWorkingCopy = adoptWorkingCopy;
    if (!h.saveDocument) h.saveDocument = saveToOwnFileHook;
    if (!h.generateDirectory) h.generateDirectory = defaultGenerateDirectory;
    if (!h.parserConfigured) h.parserConfigured = defaultParserConfigured;
    if (!h.now) h.now = localNow;
    return h;
}

GeneratorHooks g_hooks = withDefaults(GeneratorHooks{});

GeneratorHooks& hooks() {
    return g_hooks;
}

// ---------------------------------------------------------------------------
// Paths

// The current directory with its trailing separator ("" when unknown).
void currentDirectoryPrefix(char* out) {
    out[0] = 0;
    char full[kPathSize];
    if (!platform::fullPath("x", full)) return;
    const std::size_t n = std::strlen(full);
    if (n >= 1) {
        full[n - 1] = 0;
        std::snprintf(out, kPathSize, "%s", full);
    }
}

// `path` relative to the current directory when it lies in it.
const char* relativeToCurrent(const char* path) {
    char prefix[kPathSize];
    currentDirectoryPrefix(prefix);
    const std::size_t n = std::strlen(prefix);
    if (n == 0 || std::strlen(path) <= n) return path;
    char head[kPathSize];
    std::memcpy(head, path, n);
    head[n] = 0;
    return equalNoCase(head, prefix) ? path + n : path;
}

bool writeProtected(const char* path) {
    if (!platform::fileExists(path)) return false;
    platform::OpenInfo info{};
    const platform::FileHandle h =
        platform::openFile(path, &info, platform::kOpenReadWrite | platform::kShareDenyNone);
    if (h != platform::kInvalidFile) {
        platform::closeFile(h);
        return false;
    }
    return info.errorCode == platform::kErrAccessDenied || info.errorCode == platform::kErrWriteProtect;
}

// The output the dialog proposes: the stored name, else the diagram's name
// with the generation extension.
void proposedName(const DiagramDocument* document, const GenerateTarget* target, char* out) {
    if (target && target->storedPath[0]) {
        std::snprintf(out, kPathSize, "%s", target->storedPath);
        return;
    }
    diagramBaseName(document, out, kPathSize);
    if (!replaceExtension(out, kPathSize, generationExtension())) out[0] = 0;
}

// Asks for the output file with the "Generate as" dialog. False when the
// user cancels.
bool askOutputPath(DiagramDocument* document, const GenerateTarget* target, char* out) {
    Host* host = currentHost();
    if (!host || !questionsAllowed()) return false;
    const char* ext = generationExtension();
    char filter[kMaxFormatted];
    formatMessage(filter, IDS_GENMSG_DIALOG_FILTER, ext, ext);
    char directory[kPathSize];
    hooks().generateDirectory(directory);
    char path[kPathSize];
    proposedName(document, target, path);
    for (;;) {
        FileDialogRequest request{};
        request.save = true;
        request.titleId = IDS_GENMSG_DIALOG_TITLE;
        request.filter = filter;
        request.initialDir = directory[0] ? directory : nullptr;
        request.defaultExt = ext[0] == '.' ? ext + 1 : ext;
        request.path = path;
        request.pathSize = sizeof path;
        if (!host->chooseFile(request) || !path[0]) return false;
        if (isOwnFile(document, path)) {
            showMessage(IDS_OWN_FILE_NOT_OVERWRITABLE, kBoxDefault);
            continue;
        }
        if (writeProtected(path)) {
            showMessage(IDS_NAME_WRITE_PROTECTED, kBoxDefault, path);
            continue;
        }
        std::snprintf(out, kPathSize, "%s", path);
        return true;
    }
}

void restoreSavedFlags(GenState& s) {
    for (int i = 0; i < s.savedCount; ++i) setSegmentFlags(s.savedFlags[i].level, s.savedFlags[i].flags);
}

void setWaitCursor(bool on) {
    if (Host* host = currentHost()) host->setWaitCursor(on);
}

void setStatus(const char* outputPath) {
    Host* host = currentHost();
    if (!host) return;
    char text[kMaxFormatted];
    formatMessage(text, IDS_GENMSG_BEING_GENERATED, relativeToCurrent(outputPath));
    host->setStatusText(text);
}

void showOutOfMemory() {
    showMessage(IDS_OUT_OF_MEMORY, kIconExclamation | kBoxSystemModal);
}

// A job cancelled for want of memory is reported once, here, and the flag
// is lowered again.
bool reportCancelledJob() {
    if (!g_outcome.jobCancelled) return false;
    g_outcome.jobCancelled = false;
    showOutOfMemory();
    return true;
}

// Closes a file and reports whether everything written reached it.
bool closeFile(BufferedFile*& file) {
    if (!file) return true;
    const bool ok = bfile::close(file) == 0;
    file = nullptr;
    return ok;
}

void stampFile(const char* path, std::uint64_t fileTime) {
    platform::OpenInfo info{};
    const platform::FileHandle h =
        platform::openFile(path, &info, platform::kOpenReadWrite | platform::kShareDenyNone);
    if (h == platform::kInvalidFile) return;
    platform::setFileTime(h, fileTime);
    platform::closeFile(h);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared with Generate all

const char* generationExtension() {
    return g_languageConfig.genFileExt[0] ? g_languageConfig.genFileExt : ".SRC";
}

void diagramBaseName(const DiagramDocument* document, char* out, std::size_t size) {
    const char* path = document ? document->ownFile.path : "";
    const char* name = fileNameOf(path);
    std::snprintf(out, size, "%.*s", static_cast<int>(extensionOf(path) - name), name);
}

bool isOwnFile(const DiagramDocument* document, const char* path) {
    if (!document || !document->ownFile.path[0] || !path || !*path) return false;
    char full[kPathSize];
    if (!platform::fullPath(path, full)) return false;
    return equalNoCase(full, document->ownFile.path);
}

bool outputPathIn(const DiagramDocument* document, const char* directory, char* out) {
    char name[kPathSize];
    diagramBaseName(document, name, sizeof name);
    char file[kPathSize];
    const int length = std::snprintf(file, sizeof file, "%s%s", name, generationExtension());
    return length >= 0 && length < static_cast<int>(sizeof file) && joinPath(directory, file, out, kPathSize);
}

int generateInto(DiagramDocument* document, const char* outputPath, bool batch, bool saveAfter,
                 GenerateTarget* target) {
    GeneratorHooks& h = hooks();
    const char* configPath = g_languageConfig.path;

    // The time of this generation.
    GenTime now{};
    h.now(&now);
    char timeText[64];
    systemTimeText(now, timeText, sizeof timeText);

    // The two files.
    GenOptions options{};
    readGenOptions(configPath, options);
    std::uint16_t textOptions = 0;
    if (options.oemSource) textOptions |= kOptOem;
    if (options.compressBlanks) textOptions |= kOptCompressTabs;
    if (options.unixLineBreaks) textOptions |= kOptRemoveCr;
    // The source is written beside the output file, which it replaces once
    // it is complete: a failed generation leaves a file there as it was.
    char fullOutput[kPathSize];
    char outputWork[kPathSize];
    platform::OpenInfo outputInfo{};
    BufferedFile* output =
        platform::fullPath(outputPath, fullOutput) && replacementWorkName(fullOutput, outputWork)
            ? bfile::openFile(outputWork, &outputInfo,
                              platform::kOpenReadWrite | platform::kOpenCreate | platform::kShareDenyWrite,
                              textOptions)
            : nullptr;
    if (!output) {
        if (!reportCancelledJob()) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, outputPath);
        return 0;
    }
    char workingPath[kPathSize] = "";
    BufferedFile* working = nullptr;
    if (platform::tempFileName("vrd", workingPath)) {
        platform::OpenInfo info{};
        working =
            bfile::openFile(workingPath, &info,
                            platform::kOpenReadWrite | platform::kOpenCreate | platform::kShareDenyWrite, 0);
    }
    if (!working) {
        closeFile(output);
        platform::deleteFile(outputWork);
        if (workingPath[0]) platform::deleteFile(workingPath);
        if (!reportCancelledJob())
            showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, workingPath[0] ? workingPath : "vrd");
        return 0;
    }

    // Status and cursor.
    setStatus(fullOutput);
    setWaitCursor(true);

    CurrentDocumentScope scope(document);
    const std::uint8_t streamMode = document->streamMode;
    document->streamMode = 0;
    g_outcome.readOk = true;
    g_outcome.writeOk = true;

    // The template table, the options, the indent stack.
    bool ok = true;
    bool outOfMemory = false;
    TemplateVariables variables{};
    char title[64];
    if (platform::loadString(IDS_TITLE, title, sizeof title) <= 0)
        std::snprintf(title, sizeof title, "Korrin(VRD)");
    variables.time = timeText;
    variables.configPath = configPath;
    variables.title = title;
    variables.version = kProgramVersion;
    variables.diagramPath = document->ownFile.path;
    variables.outputPath = fullOutput;
    // The segments changed in memory keep their mark when the write fails.
    WholeWrite whole{};
    const bool wholeRecorded = beginWholeWrite(document->root, &whole) != 0;
    auto* state = wholeRecorded ? static_cast<GenState*>(memAlloc(sizeof(GenState))) : nullptr;
    TemplateTable* table = state ? buildTemplateTable(configPath, variables) : nullptr;
    if (!table || !initGenState(*state, options)) {
        ok = false;
        outOfMemory = true;
    }

    if (ok) {
        GenState& s = *state;
        s.output = output;
        s.working = working;
        s.outputPath = fullOutput;
        s.document = document;
        s.templates = table;

        // The working copy's header, then the whole diagram.
        std::int32_t treeChunk = -1;
        ok = writeDiagramHeader(working) && writeInformationChunks(working, document) &&
             (treeChunk = beginChunk(working, kTagTree, kCurrentTreeVersion)) >= 0;
        ok = ok && generateTree(s, document->root, ConditionContext::None, true, true);
        ok = ok && endChunk(working, treeChunk);
        ok = flushOutput(s) && ok && !s.failed && !s.cancelled;

        // Warnings about the configuration.
        if (ok && s.stackSize != 0) showMessage(IDS_GENMSG_STACK_NOT_EMPTY, kBoxDefault);
        if (ok && s.indent != s.initialIndent) showMessage(IDS_GENMSG_INDENT_CHANGED, kBoxDefault);
    }

    // Clean up and close both files.
    setWaitCursor(false);
    const bool outputClosed = closeFile(output);
    const bool workingClosed = closeFile(working);
    ok = ok && outputClosed && workingClosed && g_outcome.writeOk && !g_outcome.jobCancelled;
    document->streamMode = streamMode;
    if (ok && !replaceWithWorkFile(outputWork, fullOutput)) {
        showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, fullOutput);
        ok = false;
    }
    if (ok) stampFile(fullOutput, now.fileTime);

    // Success: the diagram switches to the new working copy (which
    // deletes it when it cannot be opened).
    if (ok && !h.takeWorkingCopy(document, workingPath)) ok = false;
    // The flag must be down for the clean-up walks; it is reported below.
    const bool cancelledJob = g_outcome.jobCancelled;
    g_outcome.jobCancelled = false;
    if (ok) {
        finishWholeWrite(document, document->root, &whole, true);
        setCurrentStreamFormat(document);
        if (target) std::snprintf(target->storedPath, sizeof target->storedPath, "%s", fullOutput);
        if (h.refreshTitles) h.refreshTitles(document);
        if (!batch && h.addRecentFile && h.parserConfigured()) h.addRecentFile(fullOutput);
    } else {
        // Failure: back to the previous working copy, no line numbers.
        if (state) restoreSavedFlags(*state);
        finishWholeWrite(document, document->root, &whole, false);
        clearLineNumbers(document->root);
        platform::deleteFile(outputWork);
        platform::deleteFile(workingPath);
    }
    if (state) releaseGenState(*state);
    freeTemplateTable(table);
    memFree(state);
    if (outOfMemory || cancelledJob) showOutOfMemory();

    // Save afterwards when asked to.
    if (ok && saveAfter && h.saveDocument) h.saveDocument(document);
    return ok ? 1 : 0;
}

GeneratorHooks setGeneratorHooks(const GeneratorHooks& newHooks) {
    GeneratorHooks previous = hooks();
    g_hooks = withDefaults(newHooks);
    return previous;
}

void generatorGenerateDirectory(char* out) {
    hooks().generateDirectory(out);
}

int generate(DiagramDocument* document, int command, bool batch, bool saveAfter, GenerateTarget* target) {
    if (!document) return 0;
    // A configuration file is needed.
    if (!g_languageConfig.path[0]) {
        showMessage(IDS_GENMSG_NO_CONFIG, kBoxDefault);
        return 0;
    }
    // The output file.
    char outputPath[kPathSize];
    if (batch) {
        char directory[kPathSize];
        hooks().generateDirectory(directory);
        if (!directory[0]) return 0;
        if (!outputPathIn(document, directory, outputPath)) {
            showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, outputPath);
            return 0;
        }
        if (isOwnFile(document, outputPath)) {
            showMessage(IDS_OWN_FILE_NOT_OVERWRITABLE, kBoxDefault);
            return 0;
        }
    } else if (command != CMD_FILE_GENERATE_AS && target && target->storedPath[0]) {
        // A stored name (or the one a batch run names) is checked like a
        // chosen one.
        if (isOwnFile(document, target->storedPath)) {
            showMessage(IDS_OWN_FILE_NOT_OVERWRITABLE, kBoxDefault);
            return 0;
        }
        std::snprintf(outputPath, sizeof outputPath, "%s", target->storedPath);
    } else if (!askOutputPath(document, target, outputPath)) {
        return 0;
    }
    return generateInto(document, outputPath, batch, saveAfter, target);
}
