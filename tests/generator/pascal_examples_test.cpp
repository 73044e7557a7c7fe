// The example programs of examples/: their diagrams are what the builders
// make, and the Pascal generated from them compiles (Free Pascal) and runs
// with the expected output. Set KORRIN_WRITE_EXAMPLES to write the .vrd
// files and the generated .pas sources anew.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/diagram_file.h"
#include "tests/generator/example_diagrams.h"
#include "tests/generator/generator_helpers.h"

namespace {

using namespace gen_test;

class PascalExamplesTest : public GeneratorTest {};

// The generated source as a sample: the second line names the diagram by
// its file name only.
std::string sampleSource(std::string source, const DiagramDocument& doc, const char* name) {
    std::string file = doc.ownFile.path;
    for (char& c : file) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string shortName = std::string(name) + ".VRD";
    for (char& c : shortName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::size_t at = source.find(file);
    if (at != std::string::npos) source.replace(at, file.size(), shortName);
    return source;
}

TEST_F(PascalExamplesTest, DiagramsAreTheBuildersOwn) {
    usePascalConfig();
    const bool write = std::getenv("KORRIN_WRITE_EXAMPLES") != nullptr;
    for (const ExampleDiagram& example : pascalExamples()) {
        SCOPED_TRACE(example.name);
        DiagramDocument fresh{};
        ConstructNode* root = example.build(fresh);
        const std::string built = dir.file(std::string(example.name) + ".vrd");
        ASSERT_TRUE(writeDiagramFile(fresh, root, built));
        freeSequence(root);
        const std::string committed = examplesDir() + "/" + example.name + ".vrd";
        if (write) {
            writeFile(committed, readFile(built));
            // The sample source beside it, generated from the committed file.
            ASSERT_EQ(openDocument(&doc, committed.c_str()), 1);
            ASSERT_EQ(generateTo(std::string(example.name) + ".pas"), 1)
                << (host->messages.empty() ? "" : host->messages[0].text);
            writeFile(examplesDir() + "/" + example.name + ".pas",
                      sampleSource(output(std::string(example.name) + ".pas"), doc, example.name));
            closeDocument(&doc);
        }
        EXPECT_EQ(readFile(built), readFile(committed)) << "run with KORRIN_WRITE_EXAMPLES=1 to update";
    }
}

#ifndef _WIN32
bool haveFreePascal() {
    return std::system("fpc -iV > /dev/null 2>&1") == 0;
}

TEST_F(PascalExamplesTest, GeneratedProgramsCompileAndRun) {
    if (!haveFreePascal()) GTEST_SKIP() << "fpc (Debian package fp-compiler) is not installed";
    usePascalConfig();
    for (const ExampleDiagram& example : pascalExamples()) {
        SCOPED_TRACE(example.name);
        const std::string name = example.name;
        const std::string diagram = dir.file(name + ".vrd");
        writeFile(diagram, readFile(examplesDir() + "/" + name + ".vrd"));
        ASSERT_EQ(openDocument(&doc, diagram.c_str()), 1);
        ASSERT_EQ(generateTo(name + ".pas"), 1);
        EXPECT_TRUE(host->messages.empty());
        const std::string compile =
            "cd '" + dir.path() + "' && fpc -v0 -o" + name + ".bin " + name + ".pas > " + name + ".log 2>&1";
        ASSERT_EQ(std::system(compile.c_str()), 0) << readFile(dir.file(name + ".log")) << "\n"
                                                   << output(name + ".pas");
        const std::string run = "cd '" + dir.path() + "' && ./" + name + ".bin > " + name + ".txt";
        ASSERT_EQ(std::system(run.c_str()), 0);
        EXPECT_EQ(readFile(dir.file(name + ".txt")), readFile(examplesDir() + "/" + name + ".out"));
        closeDocument(&doc);
    }
}
#endif

}  // namespace
