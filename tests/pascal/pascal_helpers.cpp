#include "tests/pascal/pascal_helpers.h"

#include <cstdio>
#include <cstring>

#include "config/language_config.h"
#include "core/buffered_file.h"
#include "core/diagram_file.h"
#include "plugins/pascal/pascal_native.h"

namespace pascal_test {

namespace {

bool endsWith(const char* text, const char* tail) {
    const std::size_t n = std::strlen(text), m = std::strlen(tail);
    return n >= m && std::strcmp(text + n - m, tail) == 0;
}

ParserEntryFn resolvePascal(const char* libraryName) {
    return endsWith(libraryName, "korrin-pas.dll") ? pascal_parse_native : nullptr;
}

std::string shown(const char* text) {
    std::string out;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '\r') continue;
        out += *c == '\n' ? '|' : *c;
    }
    return out;
}

std::string child(const ConstructNode* head) {
    if (!head) return "[]";
    if (!head->next && head->type == ConstructType::Dummy) return "-";
    if (!head->next && head->type == ConstructType::Text) return "<" + shown(textOf(head)) + ">";
    return "[" + brief(head) + "]";
}

}  // namespace

std::string brief(const ConstructNode* head) {
    std::string out;
    for (const ConstructNode* n = head; n; n = n->next) {
        if (n != head) out += ' ';
        const ConstructInfo* info = constructInfo(n->type);
        if (!info) {
            out += "?";
            continue;
        }
        if (n->type == ConstructType::Dummy) {
            out += "-";
            continue;
        }
        if (n->type == ConstructType::Text) {
            out += "\"" + shown(textOf(n)) + "\"";
            continue;
        }
        if (n->type == ConstructType::Level) {
            const ConstructNode* header = childAt(n, Slot::Head);
            out += "Seg<" +
                   std::string(header && header->type == ConstructType::Text ? shown(textOf(header)) : "") +
                   ">[" + brief(levelInfoOf(n)->body) + "]";
            continue;
        }
        out += info->name;
        for (std::uint8_t i = 0; i < info->childCount; ++i) out += child(childAt(n, info->children[i].slot));
    }
    return out;
}

std::string corpusDir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of("/\\")) + "/corpus";
}

void PascalTest::SetUp() {
    GeneratorTest::SetUp();
    setParserResolver(resolvePascal);
    setPascalNativeLanguage(kLanguageEnglish);
    setPascalNativeAllocator(nullptr, nullptr);
    savedEnvironment = g_importEnvironment;
    g_importEnvironment = ImportEnvironment{};
    options("");
}

void PascalTest::TearDown() {
    for (ConstructNode* r : roots) freeSequence(r);
    roots.clear();
    setParserResolver(nullptr);
    setPascalNativeAllocator(nullptr, nullptr);
    setPascalNativeLanguage(kLanguageEnglish);
    g_importEnvironment = savedEnvironment;
    GeneratorTest::TearDown();
}

void PascalTest::options(const std::string& lines, const std::string& settings) {
    configPath = dir.file("parse.cfg");
    gen_test::writeFile(configPath,
                        "[Settings]\r\n" + settings + "[ParseOptions]\r\nParser=korrin-pas.dll\r\n" + lines);
    std::snprintf(g_languageConfig.path, sizeof g_languageConfig.path, "%s", configPath.c_str());
}

ConstructNode* PascalTest::import(const std::string& source, const std::string& name) {
    const std::string path = dir.file(name);
    gen_test::writeFile(path, source);
    FileDescriptor file{};
    platform::OpenInfo info{};
    file.file = bfile::openFile(path.c_str(), &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
    EXPECT_NE(file.file, nullptr) << path;
    std::snprintf(file.path, sizeof file.path, "%s", info.pathName[0] ? info.pathName : path.c_str());
    file.kind = FileKind::Source;
    ImportRequest request{&doc, &file, 0, false, kLoadModeOpen};
    ConstructNode* root = runImport(request);
    // The tests look at the whole tree.
    if (root) {
        EXPECT_TRUE(tree_test::loadEverySegment(root, &doc));
    }
    if (file.file) bfile::close(file.file);
    std::string errorPath = path.substr(0, path.find_last_of('.')) + ".err";
    errors = gen_test::fileExists(errorPath) ? gen_test::readFile(errorPath) : std::string();
    if (gen_test::fileExists(errorPath)) platform::deleteFile(errorPath.c_str());
    if (root) roots.push_back(root);
    return root;
}

std::string PascalTest::parse(const std::string& source) {
    ConstructNode* root = import(source);
    if (!root) return "failed";
    EXPECT_EQ(root->type, ConstructType::Level);
    EXPECT_EQ(tree_test::checkLinks(root), "");
    return root->type == ConstructType::Level ? brief(levelInfoOf(root)->body) : brief(root);
}

std::string PascalTest::generateFrom(const std::string& source, const std::string& name) {
    usePascalConfig();
    ConstructNode* root = import(source, name + ".src");
    if (!root) return "";
    roots.erase(roots.end() - 1);
    closeDocument(&doc);
    std::string out;
    if (openDiagram(root, name + ".vrd") && generateTo(name + ".pas") == 1) out = output(name + ".pas");
    closeDocument(&doc);
    return out;
}

std::string withoutStamp(const std::string& generated) {
    std::string out;
    std::size_t at = 0;
    while (at < generated.size()) {
        std::size_t end = generated.find('\n', at);
        end = end == std::string::npos ? generated.size() : end + 1;
        const std::string line = generated.substr(at, end - at);
        if (line.find("Generated by") == std::string::npos) out += line;
        at = end;
    }
    return out;
}

}  // namespace pascal_test
