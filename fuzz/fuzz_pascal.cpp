// The Pascal parser of korrin-pas, natively, through the editor's callbacks
// into a tree file (in memory) that is then loaded as the import loads it.
//
// Input: byte 0 and byte 1 choose the options, the rest is the source.
//   byte 0 bit 0: OEM character set       bit 1: NestedComments
//          bit 2: MixedComments           bit 3: DelphiSupport
//          bit 4: ExceptionToken          bit 5: German texts, Defines A;B=2
//                                         (else FPC only)
//          bit 6: every PushDown option   bit 7: ECComment "X" instead of the default
//   byte 1: each bit one PushDown option (with byte 0 bit 6 clear)
// A source the parser accepts gives a tree the editor reads back whole.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/construct_node.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/outcome.h"
#include "import/parser_import.h"
#include "plugins/pascal/pascal_native.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

std::uint8_t g_mode = 0;
std::uint8_t g_push = 0;

const char* option(const char* key) {
    auto flag = [](bool on) { return on ? "yes" : "no"; };
    if (!std::strcmp(key, "NestedComments")) return flag(g_mode & 2);
    if (!std::strcmp(key, "MixedComments")) return flag(g_mode & 4);
    if (!std::strcmp(key, "DelphiSupport")) return flag(g_mode & 8);
    if (!std::strcmp(key, "ExceptionToken")) return flag(g_mode & 16);
    if (!std::strcmp(key, "ECComment")) return (g_mode & 128) ? "X" : nullptr;
    if (!std::strcmp(key, "Defines")) return (g_mode & 32) ? "A;B=2;FPC" : "FPC";
    const char* pushes[] = {
        "PushDownVar",          "PushDownConst",     "PushDownType",           "PushDownProcedurebody",
        "PushDownFunctionbody", "PushDownInterface", "PushDownImplementation", "PushDownInitialization"};
    for (int i = 0; i < 8; ++i)
        if (!std::strcmp(key, pushes[i])) return flag((g_mode & 64) || (g_push & (1 << i)));
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    g_mode = data[0];
    g_push = data[1];
    setPascalNativeLanguage((g_mode & 32) ? kLanguageGerman : kLanguageEnglish);
    resetOutcome();
    const long blocks = memOutstanding();

    DiagramDocument doc{};
    setCurrentStreamFormat(&doc);
    CurrentDocumentScope scope(&doc);
    BufferedFile* tree = bfile::openMemory(platform::memBlockAlloc(16), 0, kMemNoHeader, 0);
    check(tree != nullptr);
    std::int32_t chunk = -1;
    if (writeDiagramHeader(tree)) chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
    check(chunk >= 0);
    ParserBlock block{};
    check(beginCallbackSession(&doc, 0, tree, nullptr, &block));
    block.charSet = (g_mode & 1) ? kParseCharSetOem : kParseCharSetAnsi;
    PascalMemoryInput input{reinterpret_cast<const char*>(data + 2), size - 2, 0, option};
    const std::uint32_t result = pascalParse(&block, pascalMemoryEnvironment(&input));
    check(result == kParseOk || result == kParseErrors || result == kParseStackOverflow);
    check(endChunk(tree, chunk));
    bfile::seek(tree, bfile::tell(tree));
    const std::string bytes(reinterpret_cast<const char*>(tree->memBase), tree->memEnd);
    platform::MemHandle treeBlock = tree->memBlock;
    bfile::close(tree);
    platform::memBlockFree(treeBlock);

    ConstructNode* root = nullptr;
    if (result == kParseOk) {
        // What the parser sent, the editor must be able to read back.
        platform::MemHandle copy = platform::memBlockAlloc(static_cast<std::uint32_t>(bytes.size()));
        std::memcpy(platform::memBlockLock(copy), bytes.data(), bytes.size());
        platform::memBlockUnlock(copy);
        FileDescriptor source{};
        source.file = bfile::openMemory(copy, static_cast<std::uint32_t>(bytes.size()), kMemNoHeader, 0);
        check(readDiagramTree(&doc, &source, kReadKeepLineNumbers | kReadAllBodies, &root) == 1);
        bfile::close(source.file);
        platform::memBlockFree(copy);
        check(root && root->type == ConstructType::Level && !root->next);
    }
    const CallbackSessionResult outcome = endCallbackSession(false);
    check(!outcome.writeError);
    // korrin-pas describes a sound tree, which the import opens on demand.
    check(result > kParseWarnings || outcome.soundTree);
    check((outcome.errors == 0) == (result != kParseErrors));
    freeSequence(root);
    forgetDocumentInfo(&doc);
    check(memOutstanding() == blocks);
    return 0;
}
