// pascal_corpus: converts every .pp and .pas file under a folder the way
// the editor converts a source (korrin-pas's parser through the editor's
// callbacks into a tree that is then read back) and prints the counts:
// converted, converted with warnings, refused with errors (grouped by their
// first error text, with examples), and failures of the parse itself.
//
//   pascal_corpus <folder> [language configuration] [-v]
//
// The configuration's ParseOptions are the parser's options (default: the
// shipped examples/pascal.cfg). -v lists every refused file with its first
// message. Exit code 0 when the run completed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/outcome.h"
#include "import/parser_import.h"
#include "platform/platform.h"
#include "plugins/pascal/pascal_native.h"

namespace {

namespace fs = std::filesystem;

ParseErrorV2Fn g_editorError = nullptr;
std::string g_firstError;
std::string g_firstWarning;

std::int32_t KORRIN_STDCALL recordError(std::int32_t line, const char* text, std::int32_t cont) {
    const std::string message = text ? text : "";
    const bool warning = message.find(": Warning: ") != std::string::npos;
    std::string& first = warning ? g_firstWarning : g_firstError;
    if (first.empty()) first = message;
    return g_editorError ? g_editorError(line, text, cont) : 0;
}

// The message without its "Line n: Error: " prefix.
std::string reason(const std::string& message) {
    for (const char* kind : {": Error: ", ": Warning: "}) {
        const std::size_t at = message.find(kind);
        if (at != std::string::npos) return message.substr(at + std::strlen(kind));
    }
    return message;
}

enum class Outcome { Converted, Warnings, Refused, Failed };

struct FileResult {
    Outcome outcome;
    std::string message;  // the first error, warning or failure
};

FileResult convert(const std::string& path, const std::string& config) {
    FileResult r{Outcome::Failed, ""};
    g_firstError.clear();
    g_firstWarning.clear();
    resetOutcome();
    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    CurrentDocumentScope scope(&doc);
    platform::OpenInfo info{};
    const platform::FileHandle source = platform::openFile(path.c_str(), &info, platform::kOpenRead);
    if (source == platform::kInvalidFile) {
        r.message = "cannot open the file";
        return r;
    }
    BufferedFile* tree = bfile::openMemory(platform::memBlockAlloc(16), 0, kMemNoHeader, 0);
    std::int32_t chunk = -1;
    if (tree && writeDiagramHeader(tree)) chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
    ParserBlock block{};
    if (chunk < 0 || !beginCallbackSession(&doc, 0, tree, nullptr, &block)) {
        platform::closeFile(source);
        r.message = "no callback session";
        return r;
    }
    block.sourceFile = static_cast<std::intptr_t>(source);
    std::snprintf(block.configFile, sizeof block.configFile, "%s", config.c_str());
    g_editorError = block.parseError;
    block.parseError = recordError;
    const std::uint32_t result = pascal_parse_native(&block);
    platform::closeFile(source);
    endChunk(tree, chunk);
    const CallbackSessionResult session = endCallbackSession(false);
    bfile::seek(tree, bfile::tell(tree));
    const std::string bytes(reinterpret_cast<const char*>(tree->memBase), tree->memEnd);
    platform::MemHandle treeBlock = tree->memBlock;
    bfile::close(tree);
    platform::memBlockFree(treeBlock);
    bool readBack = false;
    if (result == kParseOk && session.errors == 0 && !session.writeError) {
        // The tree must read back as the editor reads an import.
        platform::MemHandle copy = platform::memBlockAlloc(static_cast<std::uint32_t>(bytes.size()));
        std::memcpy(platform::memBlockLock(copy), bytes.data(), bytes.size());
        platform::memBlockUnlock(copy);
        FileDescriptor file{};
        file.file = bfile::openMemory(copy, static_cast<std::uint32_t>(bytes.size()), kMemNoHeader, 0);
        ConstructNode* root = nullptr;
        readBack = readDiagramTree(&doc, &file, kReadKeepLineNumbers | kReadAllBodies, &root) == 1 && root &&
                   root->type == ConstructType::Level && !root->next;
        bfile::close(file.file);
        platform::memBlockFree(copy);
        freeSequence(root);
    }
    forgetDocumentInfo(&doc);
    if (result == kParseErrors || session.errors) {
        r.outcome = Outcome::Refused;
        r.message = g_firstError.empty() ? "errors without a message" : g_firstError;
    } else if (result != kParseOk) {
        r.message = "parser result " + std::to_string(result);
    } else if (!readBack) {
        r.message = "the tree does not read back";
    } else {
        r.outcome = session.warnings ? Outcome::Warnings : Outcome::Converted;
        r.message = g_firstWarning;
    }
    return r;
}

bool isPascal(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return ext == ".pp" || ext == ".pas";
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, config;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-v"))
            verbose = true;
        else if (folder.empty())
            folder = argv[i];
        else
            config = argv[i];
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: pascal_corpus <folder> [language configuration] [-v]\n");
        return 2;
    }
    if (config.empty()) {
        std::string here = __FILE__;
        config = here.substr(0, here.find_last_of("/\\")) + "/../../examples/pascal.cfg";
    }
    config = fs::absolute(config).string();
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file() && isPascal(it->path())) files.push_back(it->path().string());
    std::sort(files.begin(), files.end());

    const auto started = std::chrono::steady_clock::now();
    std::map<Outcome, int> counts;
    std::map<std::string, std::vector<std::string>> refused, failed, warned;
    for (const std::string& file : files) {
        const FileResult r = convert(file, config);
        ++counts[r.outcome];
        if (r.outcome == Outcome::Refused) refused[reason(r.message)].push_back(file + ": " + r.message);
        if (r.outcome == Outcome::Failed) failed[r.message].push_back(file);
        if (r.outcome == Outcome::Warnings) warned[reason(r.message)].push_back(file + ": " + r.message);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const int total = static_cast<int>(files.size());
    const int ok = counts[Outcome::Converted] + counts[Outcome::Warnings];
    std::printf(
        "%d files in %.1f s: %d converted (%d of them with warnings), %d refused with errors, %d failed\n",
        total, seconds, ok, counts[Outcome::Warnings], counts[Outcome::Refused], counts[Outcome::Failed]);
    if (total) std::printf("converted: %.2f %%\n", 100.0 * ok / total);
    auto print = [&](const char* title, const std::map<std::string, std::vector<std::string>>& groups,
                     int examples) {
        if (groups.empty()) return;
        std::vector<std::pair<std::string, std::vector<std::string>>> sorted(groups.begin(), groups.end());
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
        std::printf("\n%s, by first message:\n", title);
        for (const auto& [text, list] : sorted) {
            std::printf("%6zu  %s\n", list.size(), text.c_str());
            const int n = verbose ? static_cast<int>(list.size()) : std::min<int>(examples, list.size());
            for (int i = 0; i < n; ++i)
                std::printf("          %s\n", list[static_cast<std::size_t>(i)].c_str());
        }
    };
    print("Refused", refused, 3);
    print("Failed", failed, 3);
    print("Warnings", warned, 2);
    return 0;
}
