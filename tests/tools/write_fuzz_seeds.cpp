// Writes the hand-made seeds of three fuzz targets from what the tests
// build, into a folder (the fuzz/corpus/<target> folders are kept small by
// merging with libFuzzer afterwards):
//
//   write_fuzz_seeds diagram_file <folder>    every diagram-file fixture,
//       behind a control byte 0 (loaded as the document's own file)
//   write_fuzz_seeds element_stream <folder>  random trees and older
//       editions behind the control bytes options, format, tree version,
//       allocation to fail
//   write_fuzz_seeds generator <folder>       each golden diagram's element
//       stream behind the templates of the embedded Pascal configuration
//       (examples/pascal.cfg, found from the build folder of the tests)
//   write_fuzz_seeds clipboard_image <folder>  clipboard images of a few
//       sequences (conditions, segments, branches), without the memory
//       block's header
//
// Exit code 0 when every seed was written, 1 otherwise.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "config/language_config.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/element_stream.h"
#include "core/outcome.h"
#include "edit/clipboard_image.h"
#include "platform/platform.h"
#include "tests/core/diagram_fixture_helpers.h"
#include "tests/core/element_stream_helpers.h"
#include "tests/core/tree_helpers.h"
#include "tests/edit/edit_helpers.h"
#include "tests/generator/example_diagrams.h"
#include "tests/generator/generator_helpers.h"

namespace {

bool g_ok = true;

void save(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out << bytes;
    if (!out) {
        std::fprintf(stderr, "write_fuzz_seeds: cannot write %s/%s\n", folder.c_str(), name.c_str());
        g_ok = false;
    }
}

std::string streamOf(DiagramDocument& doc, ConstructNode* head, int intWidth = 4) {
    tree_test::WriteStream out;
    g_outcome.writeOk = true;
    if (writeSequence(&doc, head, nullptr, out.file(), intWidth) != 1 || !g_outcome.writeOk) g_ok = false;
    return out.bytes();
}

void diagramFileSeeds(const std::string& folder) {
    for (const auto& [name, bytes] : diagram_test::allFixtures())
        save(folder, name, std::string(1, '\0') + bytes);
}

void elementStreamSeeds(const std::string& folder, DiagramDocument& doc) {
    setCurrentStreamFormat(&doc);
    auto seed = [&](const std::string& name, std::uint8_t options, std::uint8_t format, std::uint8_t tree,
                    const std::string& bytes) {
        save(folder, name,
             std::string{static_cast<char>(options), static_cast<char>(format), static_cast<char>(tree),
                         '\0'} +
                 bytes);
    };
    doc.streamMode = kStreamModeKeepTree;
    for (std::uint32_t n : {1u, 2u, 4u}) {
        stream_test::TreeGenerator gen(n, &doc);
        gen.budget = 25;
        gen.longTexts = false;
        ConstructNode* top = tree_test::makeLevel(0, kSegLoaded, &doc);
        setChildAt(gen.sequence(1, false), top, Slot::Body);
        const std::string bytes = streamOf(doc, top);
        seed("tree" + std::to_string(n), 0x03, 5, 15, bytes);
        seed("tree" + std::to_string(n) + "-disk", 0x01, 5, 15, bytes);
        seed("tree" + std::to_string(n) + "-outline", 0x23, 5, 15, bytes);
        freeSequence(top);
    }
    stream_test::TreeGenerator gen(9, &doc);
    gen.narrow = true;
    gen.budget = 25;
    gen.longTexts = false;
    ConstructNode* narrow = gen.sequence(1, false);
    seed("narrow-6.2", 0x03, 4, 15, streamOf(doc, narrow, 2));
    freeSequence(narrow);
    stream_test::Bytes old;
    old.width = 2;
    old.b(0xFF).i(3).i(5).b(0xFF).data += std::string("l\0", 2);
    old.end().end().end();
    old.b(0xFF).i(13).i(0).b(0xF0).u16(3).end().end();
    old.b(0xFF).i(2).i(0).u16(4).b(0xFF).b(0xFF).data += std::string("a\0", 2);
    old.b(0xF0).end();
    seed("older-edition-2.4", 0x03, 0x08 | 1, 0, old.data);
}

void generatorSeeds(const std::string& folder, DiagramDocument& doc) {
    const std::string config = gen_test::examplesDir() + "/pascal.cfg";
    if (!platform::fileExists(config.c_str())) {
        std::fprintf(stderr, "write_fuzz_seeds: %s is missing (run it from its build folder)\n",
                     config.c_str());
        g_ok = false;
        return;
    }
    std::string templates;
    for (int i = 0; i < kTemplateCount; ++i) {
        char name[80], value[kTemplateValueSize];
        platform::loadString(templateNameId(i), name, sizeof name);
        platform::profileGetString("GenStrings", name, "", value, sizeof value, config.c_str());
        templates += std::string(value) + '\0';
    }
    doc.streamMode = kStreamModeKeepTree;
    for (const gen_test::ExampleDiagram& diagram : gen_test::goldenDiagrams()) {
        ConstructNode* root = diagram.build(doc);
        const std::string bytes = streamOf(doc, root);
        freeSequence(root);
        save(folder, diagram.name, templates + std::string("TREE", 4) + '\0' + bytes);
    }
}

void clipboardImageSeeds(const std::string& folder, DiagramDocument& doc) {
    const char* trees[] = {
        "\"a\" If{8:[\"c\"] 2:[\"b\"]}",
        "Level{4:[\"x\" While{8:[And{8:[\"p\" \"q\"]}]} Level{4:[FreeFormat\"f\"]}]}",
        "OnCondition{5:[OnConditionBranch{7:[\"b\"]}]} OnSelector KdlCommand Repeat{8:[Not]}",
    };
    int index = 0;
    for (const char* tree : trees) {
        const edit_test::Parsed parsed = edit_test::parse(&doc, tree);
        platform::MemHandle image = writeClipboardImage(&doc, parsed.head, lastOf(parsed.head));
        if (!image) {
            g_ok = false;
        } else {
            const auto* p = static_cast<const char*>(platform::memBlockLock(image));
            std::uint32_t end = 0;
            std::memcpy(&end, p + 4, 4);
            save(folder, "seed" + std::to_string(index) + ".vrd",
                 std::string(p + kMemHeaderSize, end - kMemHeaderSize));
            platform::memBlockUnlock(image);
            platform::memBlockFree(image);
        }
        ++index;
        freeSequence(parsed.head);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(
            stderr,
            "usage: write_fuzz_seeds diagram_file|element_stream|generator|clipboard_image <folder>\n");
        return 2;
    }
    const std::string target = argv[1], folder = argv[2];
    DiagramDocument doc{};
    resetOutcome();
    g_currentDocument = &doc;
    if (target == "diagram_file") {
        diagramFileSeeds(folder);
    } else if (target == "element_stream") {
        elementStreamSeeds(folder, doc);
    } else if (target == "generator") {
        generatorSeeds(folder, doc);
    } else if (target == "clipboard_image") {
        clipboardImageSeeds(folder, doc);
    } else {
        std::fprintf(stderr, "write_fuzz_seeds: no seeds for %s\n", target.c_str());
        return 2;
    }
    return g_ok ? 0 : 1;
}
