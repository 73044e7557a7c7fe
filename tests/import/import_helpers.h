// Helpers for the import and transfer-file tests: a fixture with a scripted
// host and the plug-ins bound in process, builders for diagrams that a
// transfer file carries exactly, the sample set of diagrams, and export and
// import through the real paths.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "import/parser_import.h"
#include "tests/core/tree_helpers.h"
#include "tests/support/host_recorder.h"

namespace import_test {

// ---------------------------------------------------------------------------
// Building diagrams

// Constructs for `doc`. A null sequence in a construct's list becomes the
// Dummy of that slot (as the editor keeps empty sequences); a segment's
// body may stay empty.
struct Builder {
    DiagramDocument* doc;

    ConstructNode* text(const char* t, std::int32_t line = 0, ConstructType type = ConstructType::Text);
    ConstructNode* labelled(ConstructNode* node, const char* left, const char* right);
    ConstructNode* dummy(ConstructType owner, Slot slot);
    // `sequences` in slot order of the type (transfer-file order).
    ConstructNode* make(ConstructType type, std::int32_t line,
                        std::initializer_list<ConstructNode*> sequences);
    // A loaded segment with `head` (null: the Dummy of slot 9) and `body`.
    ConstructNode* level(std::uint32_t id, std::int32_t line, ConstructNode* head, ConstructNode* body);
};

// Links nodes into a sequence (tree_test::chain).
ConstructNode* seq(std::initializer_list<ConstructNode*> nodes);

// The sample diagrams: each installs its tree as the document's root and
// sets document information and display options. `index` runs from 0 to
// sampleCount() - 1.
int sampleCount();
const char* sampleName(int index);
void buildSample(int index, DiagramDocument* doc);

// A random diagram that a transfer file carries exactly.
void buildRandom(std::uint32_t seed, DiagramDocument* doc, int budget = 300);

// Display options different from the defaults.
DisplayOptions sampleOptions();

// What the transfer file carries of a document, as text: the tree, the short
// information and the options, for comparing.
std::string carried(const DiagramDocument* doc);

// ---------------------------------------------------------------------------
// Files

// A file name in the temporary directory with the given extension (nothing
// is created); the file and its ".err" sibling are deleted with the object.
class TempName {
public:
    explicit TempName(const char* extension);
    ~TempName();
    TempName(const TempName&) = delete;
    TempName& operator=(const TempName&) = delete;
    const char* path() const { return path_.c_str(); }
    std::string errorPath() const;

private:
    std::string base_;
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// The export header's time in the tests.
constexpr const char* kFixedTime = "2024-01-02 03:04:05";

// ---------------------------------------------------------------------------
// Plug-ins in process

// The plug-in behind the library name "scripted": the test's function.
extern std::function<std::uint32_t(ParserBlock*)> g_script;

// Resolves "...korrin-imp.dll" to korrin-imp's native reader and "scripted"
// to g_script; anything else is not found.
ParserEntryFn resolveInProcess(const char* libraryName);

class ImportTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The export of `document` (null: doc) as it is written to a file.
    std::string exportText(DiagramDocument* document = nullptr, bool oem = false);
    // Imports `text` as a transfer file named `name`.etf into `target`
    // (null: doc) through runImport. The root (owned by the caller).
    ConstructNode* importText(const std::string& text, DiagramDocument* target = nullptr,
                              std::uint32_t flags = 0, int loadMode = kLoadModeOpen);
    // Imports a file of `kind` through runImport.
    ConstructNode* importFile(const char* path, bool transfer, DiagramDocument* target = nullptr,
                              std::uint32_t flags = 0, int loadMode = kLoadModeOpen);
    // Writes a language configuration with the given ParseOptions lines and
    // makes it the one in force.
    void useConfig(const std::string& parseOptions);

    // The error file of the last import (empty when none was written).
    std::string lastErrors;

    HostRecorder host;
    std::vector<ConstructNode*> roots;  // freed at the end
    std::vector<DiagramDocument*> documents;
    std::string configPath;
    ImportEnvironment savedEnvironment;
};

// A document of the test (fresh, current format), freed by the fixture.
DiagramDocument* newDocument(std::vector<DiagramDocument*>& documents);

}  // namespace import_test
