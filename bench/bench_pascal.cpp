// The Pascal parser of korrin-pas over 50 MB of source (the test corpus
// repeated as top-level declarations and blocks): into a counting sink,
// and once through the editor's real callbacks into a memory tree file.
// Reports MB/s and the parser's own peak allocation (it is bounded by its
// buffers and the nesting depth, not by the file size).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/bench_sink.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/outcome.h"
#include "import/parser_import.h"
#include "plugins/pascal/pascal_native.h"

namespace {

std::string corpusFile(const char* name) {
    const std::string path = std::string(KORRIN_SOURCE_DIR) + "/tests/pascal/corpus/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "bench_pascal: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The corpus programs without their headings and with "end;" for "end.":
// declarations, routines and blocks that may follow each other.
const std::string& source() {
    static std::string text;
    if (!text.empty()) return text;
    std::string piece;
    for (const char* name : {"records.pas", "guarded.pas"}) {
        std::string s = corpusFile(name);
        const std::size_t heading = s.find("program ");
        if (heading != std::string::npos) s.erase(heading, s.find('\n', heading) - heading + 1);
        const std::size_t end = s.rfind("end.");
        if (end != std::string::npos) s[end + 3] = ';';
        piece += s;
    }
    while (text.size() < 50u * 1024 * 1024) text += piece;
    return text;
}

// The parser's allocations, counted.
std::size_t g_now = 0, g_peak = 0;
void* countedAlloc(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::calloc(1, size + 16));
    if (!block) return nullptr;
    *block = size;
    g_now += size;
    if (g_now > g_peak) g_peak = g_now;
    return reinterpret_cast<char*>(block) + 16;
}
void countedFree(void* p) {
    if (!p) return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - 16);
    g_now -= *block;
    std::free(block);
}

void BM_PascalIntoSink(benchmark::State& state) {
    const std::string& text = source();
    setPascalNativeAllocator(countedAlloc, countedFree);
    std::uint32_t errors = 0;
    for (auto _ : state) {
        ParserBlock block{};
        block.interfaceVersion = kParserInterfaceVersion;
        bench_sink::install(block);
        block.errorCounter = &errors;
        PascalMemoryInput input{text.data(), text.size(), 0, nullptr};
        bench_sink::g_elements = 0;
        const std::uint32_t result = pascalParse(&block, pascalMemoryEnvironment(&input));
        if (result != kParseOk) state.SkipWithError("the corpus did not parse");
    }
    setPascalNativeAllocator(nullptr, nullptr);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["elements"] = static_cast<double>(bench_sink::g_elements);
    state.counters["parser_peak_KB"] = static_cast<double>(g_peak) / 1024.0;
}
BENCHMARK(BM_PascalIntoSink)->Unit(benchmark::kMillisecond);

void BM_PascalThroughTheEditor(benchmark::State& state) {
    const std::string& text = source();
    for (auto _ : state) {
        resetOutcome();
        DiagramDocument doc{};
        setCurrentStreamFormat(&doc);
        CurrentDocumentScope scope(&doc);
        char path[platform::kMaxPath];
        platform::tempFileName("vrd", path);
        platform::OpenInfo info{};
        BufferedFile* tree =
            bfile::openFile(path, &info, platform::kOpenReadWrite | platform::kOpenCreate, 0);
        std::int32_t chunk = -1;
        if (tree && writeDiagramHeader(tree)) chunk = beginChunk(tree, kTagTree, kCurrentTreeVersion);
        ParserBlock block{};
        if (chunk < 0 || !beginCallbackSession(&doc, 0, tree, nullptr, &block)) {
            state.SkipWithError("no session");
            break;
        }
        PascalMemoryInput input{text.data(), text.size(), 0, nullptr};
        const std::uint32_t result = pascalParse(&block, pascalMemoryEnvironment(&input));
        endChunk(tree, chunk);
        endCallbackSession(false);
        bfile::close(tree);
        platform::deleteFile(path);
        forgetDocumentInfo(&doc);
        if (result != kParseOk) state.SkipWithError("the corpus did not parse");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PascalThroughTheEditor)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
