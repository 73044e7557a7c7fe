// Helpers for the generator tests: building diagrams construct by
// construct, writing them as native files, a harness around the template
// writer, and a fixture with a language configuration, a fixed clock and a
// scripted host.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>

#include "config/language_config.h"
#include "core/construct_node.h"
#include "core/diagram_document.h"
#include "core/diagram_file.h"
#include "generator/generation.h"
#include "generator/generator.h"
#include "tests/core/tree_helpers.h"
#include "tests/support/host_recorder.h"

namespace gen_test {

// ---------------------------------------------------------------------------
// Building diagrams. Null arguments become placeholders for their slot, as
// in a construct fresh from the editor's templates.

ConstructNode* text(const char* t);
// Links the nodes into one sequence; null entries are left out.
ConstructNode* seq(std::initializer_list<ConstructNode*> nodes);
ConstructNode* ifThen(ConstructNode* condition, ConstructNode* thenPart, ConstructNode* elsePart = nullptr);
ConstructNode* whileDo(ConstructNode* condition, ConstructNode* body);
ConstructNode* forDo(const char* head, ConstructNode* body);
ConstructNode* repeatUntil(ConstructNode* body, ConstructNode* condition);
ConstructNode* loop(ConstructNode* body);
ConstructNode* exitWhen(ConstructNode* condition);
ConstructNode* andOf(ConstructNode* operands);
ConstructNode* orOf(ConstructNode* operands);
ConstructNode* notOf(ConstructNode* operand);
ConstructNode* caseOf(const char* selector, ConstructNode* branches, ConstructNode* restBody);
ConstructNode* ofBranch(const char* labels, ConstructNode* body);
// A multi-way selection; `restCondition` is what its rest branch holds in
// its (never generated) condition slot.
ConstructNode* switchOf(ConstructNode* branches, ConstructNode* restBody,
                        ConstructNode* restCondition = nullptr);
ConstructNode* whenBranch(ConstructNode* condition, ConstructNode* body);
ConstructNode* block(const char* comment, ConstructNode* body);
ConstructNode* frame(const char* head, ConstructNode* body, const char* footer);
ConstructNode* procedure(const char* head, ConstructNode* body);
ConstructNode* function(const char* head, ConstructNode* body);
ConstructNode* call(const char* what);
ConstructNode* segment(DiagramDocument& doc, const char* title, ConstructNode* body);
ConstructNode* topSegment(DiagramDocument& doc, ConstructNode* body);
ConstructNode* hostCommand(const char* command);
ConstructNode* specialText(const char* t);
ConstructNode* labelled(ConstructNode* node, const char* left, const char* right);

// Every node reachable in memory from `head`, in stream order.
std::vector<ConstructNode*> nodesOf(ConstructNode* head);

// ---------------------------------------------------------------------------
// Files

// A fresh directory under the temporary directory, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The repository's examples/ and tests/generator/golden/ folders.
std::string examplesDir();
std::string goldenDir();

// Writes `root` as a native diagram file (the tree stays unchanged).
bool writeDiagramFile(DiagramDocument& doc, ConstructNode* root, const std::string& path);

// CR LF line ends as LF.
std::string unixLines(const std::string& text);
// The text's lines (split at CR LF).
std::vector<std::string> linesOf(const std::string& text);

// A configuration file: [GenStrings] with `templates` (name = value; the
// values written as they are) and [GenOptions] with `options` lines.
std::string configText(const std::map<std::string, std::string>& templates, const std::string& options = "");
// Every template name set to the empty value, then `templates` on top.
std::map<std::string, std::string> allTemplates(const std::map<std::string, std::string>& templates = {});

// The moment the tests' clock shows.
GenTime fixedTime();

// ---------------------------------------------------------------------------
// The template writer on its own

// A generation state over a memory output with a template table made of
// `templates` (index -> value; indexes not given are absent).
class WriterHarness {
public:
    explicit WriterHarness(const std::map<int, std::string>& templates,
                           const GenOptions& options = defaults());
    ~WriterHarness();
    WriterHarness(const WriterHarness&) = delete;
    WriterHarness& operator=(const WriterHarness&) = delete;

    static GenOptions defaults();
    GenState& state() { return *state_; }
    int write(int index, bool emit = true, const ConstructNode* construct = nullptr);
    bool childEmit = true;
    // Everything written so far.
    std::string output();

private:
    GenState* state_ = nullptr;
    TemplateTable* table_ = nullptr;
    tree_test::WriteStream stream_;
};

// ---------------------------------------------------------------------------
// Whole generations

class GeneratorTest : public tree_test::TreeTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a configuration file and makes it the one in force.
    void useConfig(const std::string& content, const char* ext = ".PAS");
    void usePascalConfig();
    // Writes `root` to `name` in the temporary directory, frees it and opens
    // the file as the document (bodies left on disk).
    bool openDiagram(ConstructNode* root, const std::string& name = "plan.vrd");
    // Generates into `name` (Generate with a stored name). Returns the result
    // of generate.
    int generateTo(const std::string& name = "plan.out");
    // The generated file's bytes.
    std::string output(const std::string& name = "plan.out") { return readFile(dir.file(name)); }
    // The document's tree with every body loaded.
    ConstructNode* loadedRoot();

    std::unique_ptr<HostRecorder> host;
    TempDir dir;
    GenerateTarget target{};
    LanguageConfig savedConfig{};
    GeneratorHooks savedHooks{};
    std::string configPath;
};

}  // namespace gen_test
