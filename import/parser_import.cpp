// The import of a source or transfer file through a parser plug-in: the
// tree file, binding and calling the plug-in, loading the result, and the
// result report with the editors.
#include "import/parser_import.h"

#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "config/profile.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/host.h"
#include "core/outcome.h"
#include "core/path.h"
#include "core/segment_paging.h"
#include "import/import_internal.h"
#include "platform/platform.h"
#include "resources/strings.h"

ImportEnvironment g_importEnvironment{};

namespace {

ParserResolver g_resolver = nullptr;

constexpr std::uint16_t kCreateMode =
    platform::kOpenCreate | platform::kOpenReadWrite | platform::kShareExclusive;

// What calling the plug-in came to.
struct CallOutcome {
    bool succeeded;  // result 0 or 1
    bool fatal;      // result 18: the command in progress ends
};

// ---------------------------------------------------------------------------
// State

bool createState(ImportState* st) {
    st->sequences = static_cast<SequenceContext*>(memAlloc(sizeof(SequenceContext) * kMaxOpenSequences));
    st->levels = static_cast<OpenLevel*>(memAlloc(sizeof(OpenLevel) * kMaxOpenLevels));
    for (char*& buffer : st->scratch) buffer = static_cast<char*>(memAlloc(kMaxStringLength));
    return st->sequences && st->levels && st->scratch[0] && st->scratch[1] && st->scratch[2];
}

void freeState(ImportState* st) {
    memFree(st->sequences);
    memFree(st->levels);
    for (char* buffer : st->scratch) memFree(buffer);
    freeAttributes(&st->attributes);
}

// The plug-in reads the platform handle itself, from offset 0.
void rewindHandle(BufferedFile* file) {
    if (file && file->handle != platform::kInvalidFile)
        platform::seekFile(file->handle, 0, platform::SeekOrigin::begin);
}

// Puts the buffered file in step with its handle again after the plug-in
// moved it: a seek far outside the buffer drops what it holds and sets the
// handle, the seek to 0 reads afresh.
void resyncFile(BufferedFile* file) {
    if (!file) return;
    bfile::seek(file, 0x7FFFFFF0);
    bfile::seek(file, 0);
}

bool isPath(const char* name) {
    return std::strpbrk(name, "\\/:") != nullptr;
}

// A key of ParseOptions; nothing without a configuration file (an empty
// path would read the system profile).
void readConfigText(unsigned keyId, char* out, int size) {
    out[0] = 0;
    if (g_languageConfig.path[0])
        readProfileText(IDS_SEC_PARSEOPTIONS, keyId, "", out, size, g_languageConfig.path);
}

// ---------------------------------------------------------------------------
// Trace and tree file

void openTrace(ImportState* st) {
    char name[platform::kMaxPath];
    readConfigText(IDS_KEY_PARSERDEBUGFILE, name, sizeof name);
    if (!name[0]) return;
    char full[platform::kMaxPath];
    if (!platform::fullPath(name, full)) std::snprintf(full, sizeof full, "%s", name);
    platform::OpenInfo info{};
    st->trace = bfile::openFile(full, &info, platform::kOpenCreate | platform::kOpenWrite, 0);
    if (!st->trace && !g_outcome.jobCancelled) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, full);
}

// ---------------------------------------------------------------------------
// Binding and calling

ParserEntryFn entryOf(platform::LibHandle lib) {
    // Plug-ins export the name undecorated; some i686 builds keep the
    // decoration of the standard calling convention.
    for (const char* name : {kParserEntryName, "korrin_parse@4", "_korrin_parse@4"})
        if (void* symbol = platform::libSymbol(lib, name)) return reinterpret_cast<ParserEntryFn>(symbol);
    return nullptr;
}

void reactToResult(std::uint32_t result, const char* name, CallOutcome* outcome) {
    switch (result) {
        case kParseOk:
        case kParseWarnings:
            outcome->succeeded = true;
            break;
        case kParseStackOverflow:
            showMessage(IDS_PARSER_STACK_OVERFLOW, kBoxDefault);
            break;
        case kParseInUse:
            showMessage(IDS_PARSER_IN_USE, kBoxDefault, name);
            break;
        case kParseBadVersion:
            showMessage(IDS_PARSER_BAD_VERSION, kBoxDefault, name);
            break;
        case kParseFatal:
            outcome->fatal = true;
            break;
        default:
            break;  // errors (2) and any other failure: no message here
    }
}

void fillBlock(ParserBlock* block, ImportState* st, std::intptr_t sourceFile, std::uint32_t charSet,
               const char* programDirectory) {
    const ImportEnvironment& env = g_importEnvironment;
    block->interfaceVersion = kParserInterfaceVersion;
    block->frameWindow = env.frameWindow;
    std::memcpy(block->languageCode, "VRD", 4);
    block->sourceFile = sourceFile;
    block->treeContext = st;
    std::snprintf(block->programDirectory, sizeof block->programDirectory, "%s", programDirectory);
    std::snprintf(block->settingsFile, sizeof block->settingsFile, "%s",
                  env.settingsFile ? env.settingsFile : "");
    block->writeElement = write_element_v2;
    block->writeLevelStart = write_level_start_v2;
    block->writeLevelEnd = write_level_end;
    block->writeTreeStart = write_tree_start;
    block->writeTreeEnd = write_tree_end;
    block->parseError = parse_error_v2;
    block->writeDebug = write_debug;
    block->errorCounter = &st->errorCount;
    block->warningCounter = &st->warningCount;
    std::snprintf(block->configFile, sizeof block->configFile, "%s", g_languageConfig.path);
    block->charSet = charSet;
}

std::uint32_t charSetFor(const ImportRequest& request) {
    const ImportEnvironment& env = g_importEnvironment;
    if (request.transfer)
        return !env.etfFileFormat || *env.etfFileFormat ? kParseCharSetOem : kParseCharSetAnsi;
    return readSourceFileFormat(g_languageConfig.path) ? kParseCharSetOem : kParseCharSetAnsi;
}

CallOutcome callPlugin(ImportState* st, const ImportRequest& request) {
    CallOutcome outcome{false, false};
    char programDirectory[platform::kMaxPath] = "";
    platform::programDirectory(programDirectory);

    char name[2 * platform::kMaxPath];
    if (request.transfer)
        std::snprintf(name, sizeof name, "%s%s", programDirectory, kTransferImportLibrary);
    else
        readConfigText(IDS_KEY_PARSER, name, sizeof name);

    platform::LibHandle lib = nullptr;
    ParserEntryFn entry = nullptr;
    if (g_resolver) {
        entry = g_resolver(name);
        if (!entry) {
            showMessage(IDS_PARSER_NOT_FOUND, kBoxDefault, name, "");
            return outcome;
        }
    } else {
        char local[platform::kMaxPath * 3];
        std::snprintf(local, sizeof local, "%s%s", programDirectory, name);
        if (!isPath(name) && platform::fileExists(local)) lib = platform::loadLibrary(local);
        if (!lib) lib = platform::loadLibrary(name);
        if (!lib) {
            char reason[512];
            platform::systemErrorText(platform::lastError(), reason, sizeof reason);
            showMessage(IDS_PARSER_NOT_FOUND, kBoxDefault, name, reason);
            return outcome;
        }
    }
    traceLine(st, "Using Parser %s\r\n", name);
    if (!entry) entry = entryOf(lib);
    if (!entry) {
        showMessage(IDS_PARSER_NOT_FOUND, kBoxDefault, name, "");
        platform::freeLibrary(lib);
        return outcome;
    }

    auto* block = static_cast<ParserBlock*>(memAlloc(sizeof(ParserBlock)));
    if (!block) {
        platform::freeLibrary(lib);
        return outcome;
    }
    fillBlock(block, st, request.source->file ? request.source->file->handle : platform::kInvalidFile,
              charSetFor(request), programDirectory);
    const std::uint32_t result = entry(block);
    memFree(block);

    traceLine(st, "Parser returned %d\r\n%u Errors and %u Warnings\r\nLevelcounter=%d Treecounter=%d\r\n",
              static_cast<int>(result), st->errorCount, st->warningCount, st->levelCounter, st->treeCounter);
    platform::freeLibrary(lib);
    reactToResult(result, name, &outcome);
    return outcome;
}

// ---------------------------------------------------------------------------
// Loading the tree file

// Reads the tree file back. A new document is read like an opened diagram:
// the top level now, segment bodies left in the tree file, which becomes
// the document's temporary segment file (*kept is set). Constructs to
// insert (or to number anew), and a tree the plug-in did not describe
// soundly, are read whole and the file is left to the caller to delete.
ConstructNode* loadTree(ImportState* st, const ImportRequest& request, const char* treePath, bool* kept) {
    DiagramDocument* doc = st->document;
    *kept = false;
    platform::OpenInfo info{};
    BufferedFile* file = bfile::openFile(treePath, &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
    if (!file) {
        if (!g_outcome.jobCancelled) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, treePath);
        return nullptr;
    }
    const bool wholeTree = (st->flags & (kImportInserting | kImportNewLevelIds)) ||
                           (request.loadMode >= 0 && request.loadMode <= 2) || !wroteSoundTree(st);
    if (wholeTree) bfile::enlargeBuffer(file, kLargeBufferSize);
    // Messages name the file that was imported.
    FileDescriptor tree{};
    std::snprintf(tree.path, sizeof tree.path, "%s", request.source->path);
    tree.file = file;
    tree.readOnly = true;
    tree.sourceKind = SourceKind::File;
    const std::uint32_t options = kReadKeepLineNumbers | (wholeTree ? std::uint32_t{kReadAllBodies} : 0u) |
                                  (st->flags & (kImportInserting | kImportNewLevelIds));
    ConstructNode* root = nullptr;
    if (!readDiagramTree(doc, &tree, options, &root)) {
        bfile::close(file);
        return nullptr;
    }
    if (wholeTree) {
        bfile::close(file);
    } else {
        adoptTemporaryFile(doc, root, info.pathName[0] ? info.pathName : treePath, file);
        *kept = true;
    }

    if (!(st->flags & kImportInserting)) applyAttributes(&st->attributes, doc);
    const bool singleSegment = root && root->type == ConstructType::Level && !root->next && levelInfoOf(root);
    if (request.loadMode >= 0 && request.loadMode <= 2) {
        if (singleSegment) root = unwrapTopSegment(root);
    } else if (!singleSegment) {
        // The root of every document is one Level.
        ConstructNode* level = newConstruct(doc, CMD_INSERT_SEGMENT);
        if (!level) {
            freeSequence(root);
            if (*kept) releaseTemporaryFile(doc);
            *kept = false;
            return nullptr;
        }
        if (root) setChildAt(root, level, Slot::Body);
        root = level;
    }
    return root;
}

// ---------------------------------------------------------------------------
// Result report

void startEditor(const char* templateLine, const ImportState* st, const char* source) {
    char line[kMaxFormatted];
    substituteEditorVariables(templateLine, source, st->errorPath, st->firstErrorLine, line, sizeof line);
    if (!platform::startProgram(line)) showMessage(IDS_UNABLE_TO_EXECUTE, kBoxDefault, line);
}

void closeSourceFile(const ImportRequest& request) {
    // Only the document's own file: an inserted file is closed by its caller.
    FileDescriptor* source = request.source;
    DiagramDocument* doc = request.document ? request.document : currentDocument();
    if (source && source == &doc->ownFile && source->file) {
        bfile::close(source->file);
        source->file = nullptr;
    }
}

void reportResult(const ImportState* st, const ImportRequest& request) {
    const char* name = request.source->path;
    const unsigned errors = st->errorCount;
    const unsigned warnings = st->warningCount;
    if (st->errorFileFailed) {
        showMessage(IDS_ANALYSIS_NO_ERRFILE, kBoxDefault, name, errors, warnings, st->errorPath);
        return;
    }
    if (errors == 0 && warnings == 0) return;
    if (!st->errorFileTried) {
        showMessage(IDS_ANALYSIS, kBoxDefault, name, errors, warnings);
        return;
    }
    const ImportEnvironment& env = g_importEnvironment;
    const bool errorEditor = env.errFileEditor && env.errFileEditor[0];
    const bool sourceEditor = env.sourceFileEditor && env.sourceFileEditor[0];
    const bool offer = !env.editorsAllowed || env.editorsAllowed();
    const unsigned question = kBoxYesNo | kIconQuestion | kBoxTaskModal;
    if (offer && errorEditor && sourceEditor) {
        if (askQuestion(IDS_ANALYSIS_BOTH_EDITORS, question, kAnswerNo, name, errors, warnings,
                        st->errorPath) == kAnswerYes) {
            startEditor(env.errFileEditor, st, name);
            closeSourceFile(request);
            startEditor(env.sourceFileEditor, st, name);
        }
    } else if (offer && errorEditor) {
        if (askQuestion(IDS_ANALYSIS_ERRFILE_EDITOR, question, kAnswerNo, name, errors, warnings,
                        st->errorPath) == kAnswerYes)
            startEditor(env.errFileEditor, st, name);
    } else if (offer && sourceEditor) {
        if (askQuestion(IDS_ANALYSIS_SOURCE_EDITOR, question, kAnswerNo, name, errors, warnings) ==
            kAnswerYes) {
            closeSourceFile(request);
            startEditor(env.sourceFileEditor, st, name);
        }
    } else {
        showMessage(IDS_ANALYSIS_ERROR_LIST, kIconAsterisk | kBoxTaskModal, name, errors, warnings,
                    st->errorPath);
    }
}

// ---------------------------------------------------------------------------
// Editor variables

bool allOf(const char* p, std::size_t n, bool upper) {
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        if (c >= 'a' && c <= 'z') {
            if (upper) return false;
            any = true;
        } else if (c >= 'A' && c <= 'Z') {
            if (!upper) return false;
            any = true;
        }
    }
    return any;
}

bool sameLetters(const char* p, const char* name, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        char a = p[i], b = name[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

}  // namespace

void substituteEditorVariables(const char* commandLine, const char* source, const char* errorFile,
                               std::int32_t line, char* out, std::size_t size) {
    if (!out || size == 0) return;
    out[0] = 0;
    if (!commandLine) return;
    char sourceName[platform::kMaxPath + 2];
    std::snprintf(sourceName, sizeof sourceName, "%s", source ? source : "");
    if (!*extensionOf(sourceName))
        std::strncat(sourceName, ".", sizeof sourceName - std::strlen(sourceName) - 1);
    char number[16];
    std::snprintf(number, sizeof number, "%d", line ? static_cast<int>(line) : 1);
    struct Variable {
        const char* name;  // upper case, between the % signs
        const char* value;
    };
    const Variable variables[] = {{"SOURCEFILE", sourceName},
                                  {"FN", sourceName},
                                  {"ERRFILE", errorFile ? errorFile : ""},
                                  {"LINE", number},
                                  {"LN", number}};
    std::size_t used = 0;
    const char* p = commandLine;
    while (*p && used + 1 < size) {
        const Variable* hit = nullptr;
        std::size_t length = 0;
        if (*p == '%') {
            for (const Variable& v : variables) {
                const std::size_t n = std::strlen(v.name);
                if (std::strlen(p + 1) > n && p[n + 1] == '%' && sameLetters(p + 1, v.name, n)) {
                    hit = &v;
                    length = n;
                    break;
                }
            }
        }
        if (!hit) {
            out[used++] = *p++;
            continue;
        }
        const bool lower = allOf(p + 1, length, false);
        const bool upper = allOf(p + 1, length, true);
        for (const char* v = hit->value; *v && used + 1 < size; ++v) {
            char c = *v;
            if (lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            out[used++] = c;
        }
        p += length + 2;
    }
    out[used] = 0;
}

ParserResolver setParserResolver(ParserResolver resolver) {
    ParserResolver previous = g_resolver;
    g_resolver = resolver;
    return previous;
}

bool parserConfigured() {
    char name[platform::kMaxPath];
    readConfigText(IDS_KEY_PARSER, name, sizeof name);
    return name[0] != 0;
}

void installImportHooks() {
    ImportHooks hooks;
    hooks.parserConfigured = parserConfigured;
    hooks.runImport = runImport;
    setImportHooks(hooks);
}

ConstructNode* runImport(const ImportRequest& request) {
    if (!request.source || g_activeImport) return nullptr;
    ImportState st{};
    st.document = request.document ? request.document : currentDocument();
    st.flags = request.options & (kImportInserting | kImportNewLevelIds);
    CurrentDocumentScope scope(st.document);
    if (!createState(&st)) {
        freeState(&st);
        return nullptr;
    }
    rewindHandle(request.source->file);

    // The error file is named now and created with its first line.
    std::snprintf(st.errorPath, sizeof st.errorPath, "%s", request.source->path);
    if (!replaceExtension(st.errorPath, sizeof st.errorPath, ".err")) st.errorPath[0] = 0;

    openTrace(&st);
    char treePath[platform::kMaxPath] = "";
    BufferedFile* tree = nullptr;
    if (platform::tempFileName("vrd", treePath)) {
        platform::OpenInfo info{};
        tree = bfile::openFile(treePath, &info, kCreateMode, 0);
    }
    if (!tree) {
        if (!g_outcome.jobCancelled) showMessage(IDS_UNABLE_TO_OPEN, kBoxDefault, treePath);
        if (treePath[0]) platform::deleteFile(treePath);
        if (st.trace) bfile::close(st.trace);
        freeState(&st);
        return nullptr;
    }
    Host* host = currentHost();
    if (host) host->setWaitCursor(true);

    // Element records come a few bytes at a time, and each segment block
    // is patched when it ends: a large buffer holds most blocks whole.
    bfile::enlargeBuffer(tree, kLargeBufferSize);
    st.tree = tree;
    g_outcome.writeOk = true;
    std::int32_t chunk = -1;
    if (writeDiagramHeader(tree)) chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
    st.writeError = chunk < 0;

    CallOutcome outcome{false, false};
    if (!st.writeError) {
        g_activeImport = &st;
        outcome = callPlugin(&st, request);
        g_activeImport = nullptr;
    }

    if (!st.writeError && !endChunk(tree, chunk)) st.writeError = true;
    if (bfile::close(tree) < 0) st.writeError = true;
    if (st.trace) bfile::close(st.trace);
    if (st.errors && bfile::close(st.errors) < 0) st.errorFileFailed = true;
    st.errors = nullptr;
    if (st.writeError && outcome.succeeded && !g_outcome.jobCancelled)
        showMessage(IDS_UNABLE_TO_WRITE, kBoxDefault, treePath);
    // After the plug-in, the editor's own reads of the source go through the
    // buffered file again.
    resyncFile(request.source->file);

    ConstructNode* root = nullptr;
    bool kept = false;
    if (outcome.succeeded && !st.writeError && !st.outOfMemory && !g_outcome.jobCancelled)
        root = loadTree(&st, request, treePath, &kept);
    if (!kept) platform::deleteFile(treePath);

    const bool reported = !(g_importEnvironment.currentCommand &&
                            g_importEnvironment.currentCommand() == CMD_FILE_GENERATE_ALL);
    if (reported) reportResult(&st, request);
    if (host) host->setWaitCursor(false);
    freeState(&st);
    if (outcome.fatal || st.outOfMemory) g_outcome.jobCancelled = true;
    return root;
}

// ---------------------------------------------------------------------------
// Callback sessions

namespace {
ImportState g_session{};
bool g_sessionOpen = false;
}  // namespace

bool beginCallbackSession(DiagramDocument* document, std::uint32_t flags, BufferedFile* tree,
                          const char* errorPath, ParserBlock* block) {
    if (g_activeImport || g_sessionOpen || !tree || !block) return false;
    g_session = ImportState{};
    g_session.document = document ? document : currentDocument();
    g_session.flags = flags & (kImportInserting | kImportNewLevelIds);
    g_session.tree = tree;
    if (!createState(&g_session) || bfile::enlargeBuffer(tree, kLargeBufferSize) < 0) {
        freeState(&g_session);
        return false;
    }
    if (errorPath && *errorPath)
        std::snprintf(g_session.errorPath, sizeof g_session.errorPath, "%s", errorPath);
    else
        g_session.errorFileTried = true;  // no error file: the lines are dropped
    char programDirectory[platform::kMaxPath] = "";
    platform::programDirectory(programDirectory);
    std::memset(block, 0, sizeof *block);
    fillBlock(block, &g_session, platform::kInvalidFile, kParseCharSetAnsi, programDirectory);
    g_sessionOpen = true;
    g_activeImport = &g_session;
    return true;
}

CallbackSessionResult endCallbackSession(bool apply) {
    CallbackSessionResult result{};
    if (!g_sessionOpen) return result;
    if (g_session.errors && bfile::close(g_session.errors) < 0) g_session.errorFileFailed = true;
    g_session.errors = nullptr;
    result.errors = g_session.errorCount;
    result.warnings = g_session.warningCount;
    result.writeError = g_session.writeError;
    result.outOfMemory = g_session.outOfMemory;
    result.firstErrorLine = g_session.firstErrorLine;
    result.soundTree = wroteSoundTree(&g_session);
    if (apply && !(g_session.flags & kImportInserting))
        applyAttributes(&g_session.attributes, g_session.document);
    freeState(&g_session);
    g_activeImport = nullptr;
    g_sessionOpen = false;
    return result;
}
