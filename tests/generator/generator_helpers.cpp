#include "tests/generator/generator_helpers.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/profile.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "core/diagram_writer.h"
#include "core/element_stream.h"
#include "core/outcome.h"

namespace gen_test {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Building diagrams

namespace {

ConstructNode* fill(ConstructNode* owner, Slot slot, ConstructNode* content) {
    ConstructNode* head = content ? content : newPlaceholder(owner, slot);
    setChildAt(head, owner, slot);
    return owner;
}

ConstructNode* textOrPlaceholder(ConstructNode* owner, Slot slot, const char* t) {
    return fill(owner, slot, t ? text(t) : nullptr);
}

int collect(ConstructNode* node, void* context) {
    static_cast<std::vector<ConstructNode*>*>(context)->push_back(node);
    return 1;
}

}  // namespace

ConstructNode* text(const char* t) {
    return tree_test::makeText(t);
}

ConstructNode* seq(std::initializer_list<ConstructNode*> nodes) {
    ConstructNode* head = nullptr;
    ConstructNode* last = nullptr;
    for (ConstructNode* n : nodes) {
        if (!n) continue;
        if (last) {
            last->next = n;
            n->up = last;
        } else {
            head = n;
        }
        last = lastOf(n);
    }
    return head;
}

ConstructNode* ifThen(ConstructNode* condition, ConstructNode* thenPart, ConstructNode* elsePart) {
    ConstructNode* n = newNode(ConstructType::If);
    fill(n, Slot::Condition, condition);
    fill(n, Slot::Then, thenPart);
    return fill(n, Slot::Else, elsePart);
}

ConstructNode* whileDo(ConstructNode* condition, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::While);
    fill(n, Slot::Condition, condition);
    return fill(n, Slot::Body, body);
}

ConstructNode* forDo(const char* head, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::For);
    textOrPlaceholder(n, Slot::Head, head);
    return fill(n, Slot::Body, body);
}

ConstructNode* repeatUntil(ConstructNode* body, ConstructNode* condition) {
    ConstructNode* n = newNode(ConstructType::Repeat);
    fill(n, Slot::Body, body);
    return fill(n, Slot::Condition, condition);
}

ConstructNode* loop(ConstructNode* body) {
    return fill(newNode(ConstructType::Loop), Slot::Body, body);
}

ConstructNode* exitWhen(ConstructNode* condition) {
    return fill(newNode(ConstructType::WhenExit), Slot::Condition, condition);
}

ConstructNode* andOf(ConstructNode* operands) {
    return fill(newNode(ConstructType::And), Slot::Condition, operands);
}

ConstructNode* orOf(ConstructNode* operands) {
    return fill(newNode(ConstructType::Or), Slot::Condition, operands);
}

ConstructNode* notOf(ConstructNode* operand) {
    return fill(newNode(ConstructType::Not), Slot::Condition, operand);
}

ConstructNode* ofBranch(const char* labels, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::OnSelectorBranch);
    textOrPlaceholder(n, Slot::Head, labels);
    return fill(n, Slot::BranchBody, body);
}

ConstructNode* caseOf(const char* selector, ConstructNode* branches, ConstructNode* restBody) {
    ConstructNode* n = newNode(ConstructType::OnSelector);
    textOrPlaceholder(n, Slot::Head, selector);
    setChildAt(branches, n, Slot::Branches);
    ConstructNode* rest = newNode(ConstructType::OnSelectorBranch);
    fill(rest, Slot::Head, nullptr);
    fill(rest, Slot::BranchBody, restBody);
    setChildAt(rest, n, Slot::Rest);
    return n;
}

ConstructNode* whenBranch(ConstructNode* condition, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::OnConditionBranch);
    fill(n, Slot::Condition, condition);
    return fill(n, Slot::BranchBody, body);
}

ConstructNode* switchOf(ConstructNode* branches, ConstructNode* restBody, ConstructNode* restCondition) {
    ConstructNode* n = newNode(ConstructType::OnCondition);
    setChildAt(branches, n, Slot::Branches);
    setChildAt(whenBranch(restCondition, restBody), n, Slot::Rest);
    return n;
}

ConstructNode* block(const char* comment, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::Block);
    textOrPlaceholder(n, Slot::Head, comment);
    return fill(n, Slot::Body, body);
}

ConstructNode* frame(const char* head, ConstructNode* body, const char* footer) {
    ConstructNode* n = newNode(ConstructType::Frame);
    textOrPlaceholder(n, Slot::Head, head);
    fill(n, Slot::Body, body);
    return textOrPlaceholder(n, Slot::Footer, footer);
}

ConstructNode* procedure(const char* head, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::Procedure);
    textOrPlaceholder(n, Slot::Head, head);
    return fill(n, Slot::Body, body);
}

ConstructNode* function(const char* head, ConstructNode* body) {
    ConstructNode* n = newNode(ConstructType::Function);
    textOrPlaceholder(n, Slot::Head, head);
    return fill(n, Slot::Body, body);
}

ConstructNode* call(const char* what) {
    return textOrPlaceholder(newNode(ConstructType::Call), Slot::Head, what);
}

ConstructNode* segment(DiagramDocument& doc, const char* title, ConstructNode* body) {
    ConstructNode* n = tree_test::makeLevel(0, kSegLoaded, &doc);
    textOrPlaceholder(n, Slot::Head, title);
    setChildAt(body, n, Slot::Body);
    return n;
}

ConstructNode* topSegment(DiagramDocument& doc, ConstructNode* body) {
    return segment(doc, nullptr, body);
}

ConstructNode* hostCommand(const char* command) {
    ConstructNode* n = newConstruct(nullptr, 5300);
    if (HostCommand* hc = hostCommandOf(n)) hc->commandText = memStrDup(command);
    return n;
}

ConstructNode* specialText(const char* t) {
    ConstructNode* n = newNode(ConstructType::SpecialText);
    setText(n, memStrDup(t));
    return n;
}

ConstructNode* labelled(ConstructNode* node, const char* left, const char* right) {
    if (left) setLeftLabel(node, memStrDup(left));
    if (right) setRightLabel(node, memStrDup(right));
    return node;
}

std::vector<ConstructNode*> nodesOf(ConstructNode* head) {
    std::vector<ConstructNode*> nodes;
    forEachNode(head, collect, &nodes);
    return nodes;
}

// ---------------------------------------------------------------------------
// Files

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate =
            base / ("korrin-gen-" + std::to_string(static_cast<long>(::time(nullptr)) % 100000) + "-" +
                    std::to_string(counter++));
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const {
    return (fs::path(path_) / name).string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

namespace {
std::string repositoryDir() {
    std::string here = __FILE__;
    for (int up = 0; up < 3; ++up) here = here.substr(0, here.find_last_of("/\\"));
    return here;
}
}  // namespace

std::string examplesDir() {
    return repositoryDir() + "/examples";
}

std::string goldenDir() {
    return repositoryDir() + "/tests/generator/golden";
}

bool writeDiagramFile(DiagramDocument& doc, ConstructNode* root, const std::string& path) {
    const std::uint8_t mode = doc.streamMode;
    doc.streamMode = kStreamModeKeepTree;
    platform::OpenInfo info{};
    BufferedFile* f =
        bfile::openFile(path.c_str(), &info, platform::kOpenReadWrite | platform::kOpenCreate, 0);
    bool ok = f && writeDiagram(&doc, root, f, false) == 1;
    if (f && bfile::close(f) != 0) ok = false;
    doc.streamMode = mode;
    return ok;
}

std::string unixLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find("\r\n", start);
        if (at == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    return lines;
}

std::string configText(const std::map<std::string, std::string>& templates, const std::string& options) {
    std::string text = "[GenStrings]\r\n";
    for (const auto& [name, value] : templates) text += name + "=" + value + "\r\n";
    text += "[GenOptions]\r\n" + options;
    return text;
}

std::map<std::string, std::string> allTemplates(const std::map<std::string, std::string>& templates) {
    std::map<std::string, std::string> all;
    for (int i = 0; i < kTemplateCount; ++i) {
        char name[80];
        platform::loadString(templateNameId(i), name, sizeof name);
        all[name] = "";
    }
    for (const auto& [name, value] : templates) all[name] = value;
    return all;
}

GenTime fixedTime() {
    // 2024-05-06 07:08:09 UTC as a file time.
    return GenTime{2024, 5, 6, 7, 8, 9, (1714979289ull + 11644473600ull) * 10000000ull};
}

namespace {
void fixedNow(GenTime* out) {
    *out = fixedTime();
}
}  // namespace

// ---------------------------------------------------------------------------
// WriterHarness

GenOptions WriterHarness::defaults() {
    GenOptions o{};
    o.initialIndent = 0;
    o.maxIndent = -1;
    o.maxLineLength = -1;
    return o;
}

WriterHarness::WriterHarness(const std::map<int, std::string>& templates, const GenOptions& options) {
    state_ = static_cast<GenState*>(memAlloc(sizeof(GenState)));
    table_ = static_cast<TemplateTable*>(memAlloc(sizeof(TemplateTable)));
    for (int i = 0; i < kTemplateCount; ++i) {
        char name[80];
        platform::loadString(templateNameId(i), name, sizeof name);
        TemplateEntry& e = table_->entries[i];
        e.name = memStrDup(name);
        auto it = templates.find(i);
        e.value = memStrDup(it == templates.end() ? kTemplateDefault : it->second.c_str());
        e.flags = it == templates.end() ? kTemplateAbsent : 0;
    }
    initGenState(*state_, options);
    state_->output = stream_.file();
    state_->templates = table_;
    state_->outputPath = "out.src";
}

WriterHarness::~WriterHarness() {
    releaseGenState(*state_);
    freeTemplateTable(table_);
    memFree(state_);
}

int WriterHarness::write(int index, bool emit, const ConstructNode* construct) {
    return writeTemplate(*state_, index, emit, &childEmit, construct);
}

std::string WriterHarness::output() {
    flushOutput(*state_);
    return stream_.bytes();
}

// ---------------------------------------------------------------------------
// GeneratorTest

void GeneratorTest::SetUp() {
    TreeTest::SetUp();
    host = std::make_unique<HostRecorder>();
    host->defaultAnswer = kAnswerOk;
    savedConfig = g_languageConfig;
    initLanguageConfig(g_languageConfig);
    GeneratorHooks hooks{};
    hooks.now = fixedNow;
    savedHooks = setGeneratorHooks(hooks);
}

void GeneratorTest::TearDown() {
    closeDocument(&doc);
    setGeneratorHooks(savedHooks);
    g_languageConfig = savedConfig;
    host.reset();
    TreeTest::TearDown();
}

void GeneratorTest::useConfig(const std::string& content, const char* ext) {
    configPath = dir.file("lang.cfg");
    writeFile(configPath, content);
    std::snprintf(g_languageConfig.path, sizeof g_languageConfig.path, "%s", configPath.c_str());
    setGenFileExt(g_languageConfig, ext);
}

void GeneratorTest::usePascalConfig() {
    configPath = examplesDir() + "/pascal.cfg";
    std::snprintf(g_languageConfig.path, sizeof g_languageConfig.path, "%s", configPath.c_str());
    setGenFileExt(g_languageConfig, ".pas");
}

bool GeneratorTest::openDiagram(ConstructNode* root, const std::string& name) {
    const std::string path = dir.file(name);
    const bool written = writeDiagramFile(doc, root, path);
    freeSequence(root);
    if (!written) return false;
    return openDocument(&doc, path.c_str()) == 1;
}

int GeneratorTest::generateTo(const std::string& name) {
    std::snprintf(target.storedPath, sizeof target.storedPath, "%s", dir.file(name).c_str());
    return generate(&doc, CMD_FILE_GENERATE, false, false, &target);
}

ConstructNode* GeneratorTest::loadedRoot() {
    tree_test::loadEverySegment(doc.root, &doc);
    return doc.root;
}

}  // namespace gen_test
