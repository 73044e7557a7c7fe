#include "tests/import/import_helpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "config/language_config.h"
#include "core/allocator.h"
#include "core/buffered_file.h"
#include "core/path.h"
#include "core/segment_paging.h"
#include "import/document_attributes.h"
#include "import/transfer_export.h"
#include "platform/platform.h"
#include "plugins/transfer/transfer_native.h"

namespace import_test {

// ---------------------------------------------------------------------------
// Building

ConstructNode* Builder::text(const char* t, std::int32_t line, ConstructType type) {
    ConstructNode* n = newNode(type);
    n->lineNumber = line;
    setText(n, t ? memStrDup(t) : nullptr);
    return n;
}

ConstructNode* Builder::labelled(ConstructNode* node, const char* left, const char* right) {
    setLeftLabel(node, left ? memStrDup(left) : nullptr);
    setRightLabel(node, right ? memStrDup(right) : nullptr);
    return node;
}

ConstructNode* Builder::dummy(ConstructType owner, Slot slot) {
    ConstructNode* n = newNode(ConstructType::Dummy);
    setPartInt(n, 0, typeCode(owner));
    setPartInt(n, 1, slotCode(slot));
    return n;
}

ConstructNode* Builder::make(ConstructType type, std::int32_t line,
                             std::initializer_list<ConstructNode*> sequences) {
    ConstructNode* n = newNode(type);
    n->lineNumber = line;
    const ConstructInfo* info = constructInfo(type);
    int i = 0;
    for (ConstructNode* head : sequences) {
        const Slot slot = info->children[i++].slot;
        setChildAt(head ? head : dummy(type, slot), n, slot);
    }
    return n;
}

ConstructNode* Builder::level(std::uint32_t id, std::int32_t line, ConstructNode* head, ConstructNode* body) {
    ConstructNode* n = tree_test::makeLevel(id, kSegLoaded, doc);
    n->lineNumber = line;
    setChildAt(head ? head : dummy(ConstructType::Level, Slot::Head), n, Slot::Head);
    if (body) setChildAt(body, n, Slot::Body);
    return n;
}

ConstructNode* seq(std::initializer_list<ConstructNode*> nodes) {
    return tree_test::chain(nodes);
}

DisplayOptions sampleOptions() {
    DisplayOptions d{};
    d.ifLayout = 1;
    d.showLevelNumbers = true;
    d.showLineNumbers = true;
    for (int i = 0; i < kColourCount; ++i)
        d.colours[i] = 0x10000u * static_cast<unsigned>(i) + 255u - static_cast<unsigned>(i);
    FontRecord& s = d.screenFont;
    std::strcpy(s.name1, "Courier New");
    std::strcpy(s.name2, "Regular");
    s.value1 = -13;
    s.shortValue[0] = 0x34;
    s.shortValue[1] = 0x12;
    s.values2[0] = 400;
    s.values2[1] = -1;
    s.values2[2] = 7;
    s.byteValue = 200;
    s.logFont.escapement = 900;
    s.logFont.orientation = -900;
    s.logFont.underline = 1;
    s.logFont.strikeOut = 0;
    s.logFont.charSet = 238;
    s.logFont.outPrecision = 3;
    s.logFont.clipPrecision = 2;
    s.logFont.quality = 1;
    s.logFont.pitchAndFamily = 49;
    s.values3[3] = 12;
    s.values3[4] = -2147483647 - 1;
    FontRecord& p = d.printerFont;
    std::strcpy(p.name1, "Arial");
    std::strcpy(p.name2, "");
    p.value1 = 10;
    p.values3[4] = 2147483647;
    return d;
}

namespace {

using CT = ConstructType;

void install(DiagramDocument* doc, ConstructNode* root, const char* shortInfo,
             const DisplayOptions& options) {
    doc->root = root;
    doc->shortInfo = shortInfo ? memStrDup(shortInfo) : nullptr;
    doc->display = options;
}

ConstructNode* everyConstruct(Builder& b) {
    ConstructNode* condition = b.make(
        CT::And, 24,
        {seq({b.text("a", 24), b.make(CT::Not, 25, {b.text("b", 25)}),
              b.make(CT::Or, 26, {seq({b.text("c"), b.text("d")})}), b.dummy(CT::And, Slot::Condition)})});
    return seq({
        b.make(CT::If, 10, {b.text("cond", 10), seq({b.text("then", 11)}), nullptr}),
        b.make(CT::While, 12, {b.text("w", 12), b.text("body", 12)}),
        b.make(CT::Loop, 13, {seq({b.text("l1", 13), b.make(CT::WhenExit, 14, {b.text("exit cond", 14)})})}),
        b.make(CT::OnCondition, 15,
               {seq({b.make(CT::OnConditionBranch, 16, {b.text("c1"), b.text("b1")}),
                     b.make(CT::OnConditionBranch, 17, {b.text("c2"), nullptr})}),
                b.make(CT::OnConditionBranch, 18, {b.text("rest cond"), b.text("rest body")})}),
        b.make(CT::If, 23, {condition, b.text("t"), b.text("e")}),
        b.make(CT::Block, 30, {b.text("block head", 30), seq({b.text("inside", 31)})}),
        b.make(CT::OnSelector, 31,
               {b.text("sel"),
                seq({b.make(CT::OnSelectorBranch, 32, {b.text("1"), b.text("one")}),
                     b.make(CT::OnSelectorBranch, 33, {b.text("2"), nullptr})}),
                b.make(CT::OnSelectorBranch, 34, {b.text("else"), b.text("other")})}),
        b.make(CT::For, 35, {b.text("i := 1 to 10"), b.text("f")}),
        b.make(CT::Repeat, 36, {seq({b.text("r")}), b.text("until cond")}),
        b.make(CT::Call, 37, {b.text("proc(1)")}),
        b.make(CT::Procedure, 38, {b.text("procedure p;"), seq({b.text("p body")})}),
        b.make(CT::Frame, 39, {b.text("begin"), seq({b.text("x")}), b.text("end;")}),
        b.make(CT::Function, 40, {b.text("function f: integer;"), b.text("f := 1")}),
        b.labelled(b.level(7, 41, b.text("segment head", 41), seq({b.text("in segment", 42)})), "SEG",
                   nullptr),
        b.level(8, 0, nullptr, nullptr),
        b.make(CT::Loop, 43, {nullptr}),
        b.text("special", 44, CT::SpecialText),
    });
}

ConstructNode* deepNesting(Builder& b, int depth) {
    ConstructNode* inner = b.text("innermost", depth + 1);
    for (int i = depth; i > 0; --i) inner = b.make(CT::If, i, {b.text("c", i), inner, nullptr});
    return inner;
}

ConstructNode* texts(Builder& b) {
    std::string longText(kTransferValueLimit, 'x');
    return seq({
        b.text("\xe4\xf6\xfc\xdf \xc4\xd6\xdc", 1),
        b.text("   indented", 2),
        b.text("a\r\n\r\nb", 3),
        b.text("x\r\n", 4),
        b.text("\r\n", 5),
        b.text("Line=abc\r\nEndText;\r\nKorrin:1", 6),
        b.text("a;b:c=d", 7),
        b.text(longText.c_str(), 8),
        b.labelled(b.text("labelled", 9), "L1\r\nL2", "R1"),
        b.labelled(b.text("right only", 10), nullptr, "R"),
        b.text("big line", 2147483647),
        b.make(CT::Call, 0, {b.text("no line")}),
    });
}

}  // namespace

int sampleCount() {
    return 5;
}

const char* sampleName(int index) {
    static const char* const names[] = {"empty", "statements", "every construct", "deep", "texts"};
    return index >= 0 && index < sampleCount() ? names[index] : "";
}

void buildSample(int index, DiagramDocument* doc) {
    Builder b{doc};
    switch (index) {
        case 0:
            install(doc, b.level(1, 0, nullptr, nullptr), nullptr, DisplayOptions{});
            break;
        case 1:
            install(doc,
                    b.level(1, 1, b.text("main program", 1),
                            seq({b.text("a := 1;", 2), b.text("b := 2;\r\nc := 3;", 3),
                                 b.labelled(b.text("x", 4), "L1", nullptr),
                                 b.text("special", 5, CT::SpecialText)})),
                    "Short info\r\nsecond line", sampleOptions());
            break;
        case 2:
            install(doc, b.level(3, 9, b.text("every construct", 9), everyConstruct(b)), "constructs",
                    sampleOptions());
            break;
        case 3:
            install(doc, b.level(1, 0, b.text("deep"), deepNesting(b, 150)), nullptr, DisplayOptions{});
            break;
        default:
            install(doc, b.level(2, 0, b.text("texts"), texts(b)), "\xe4 short", sampleOptions());
            break;
    }
}

// ---------------------------------------------------------------------------
// Random diagrams

namespace {

struct Random {
    std::mt19937 rng;
    Builder b;
    int budget;
    std::uint32_t nextId = 1;

    int pick(int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    std::string word() {
        static const char alphabet[] = "abcXYZ019 =:;.,()\xe4\xf6\xfc\xdf\xa7\xb0";
        std::string w;
        const int n = 1 + pick(12);
        for (int i = 0; i < n; ++i) w += alphabet[pick(static_cast<int>(sizeof alphabet) - 1)];
        return w;
    }
    std::string textValue() {
        std::string t = word();
        while (chance(25)) t += "\r\n" + (chance(20) ? std::string() : word());
        return t;
    }
    std::int32_t line() { return chance(30) ? 0 : 1 + pick(5000); }

    ConstructNode* withLabels(ConstructNode* n) {
        if (chance(10))
            b.labelled(n, textValue().c_str(), chance(50) ? textValue().c_str() : nullptr);
        else if (chance(5))
            b.labelled(n, nullptr, word().c_str());
        return n;
    }

    ConstructNode* textNode() {
        const std::string t = textValue();
        return withLabels(b.text(t.c_str(), line(), chance(15) ? CT::SpecialText : CT::Text));
    }

    ConstructNode* construct(int depth, bool condition) {
        --budget;
        if (condition) {
            const int k = pick(5);
            if (depth <= 0 || k < 2) return textNode();
            const CT type = k == 2 ? CT::And : k == 3 ? CT::Or : CT::Not;
            return withLabels(b.make(type, line(), {sequence(type, Slot::Condition, depth - 1)}));
        }
        static const CT kinds[] = {CT::If,        CT::While,      CT::Loop,     CT::WhenExit, CT::OnCondition,
                                   CT::Block,     CT::OnSelector, CT::For,      CT::Repeat,   CT::Call,
                                   CT::Procedure, CT::Frame,      CT::Function, CT::Level};
        if (depth <= 0 || chance(45)) return textNode();
        const CT type = kinds[pick(static_cast<int>(sizeof kinds / sizeof kinds[0]))];
        if (type == CT::Level) {
            ConstructNode* head = chance(70) ? b.text(textValue().c_str(), line()) : nullptr;
            ConstructNode* body = sequence(CT::Level, Slot::Body, depth - 1);
            return withLabels(b.level(nextId++, line(), head, body));
        }
        if (type == CT::OnCondition || type == CT::OnSelector) {
            const CT branch = type == CT::OnCondition ? CT::OnConditionBranch : CT::OnSelectorBranch;
            auto branches = [&](int count) {
                ConstructNode* head = nullptr;
                ConstructNode* last = nullptr;
                for (int i = 0; i < count; ++i) {
                    const ConstructInfo* info = constructInfo(branch);
                    ConstructNode* n = b.make(branch, line(),
                                              {sequence(branch, info->children[0].slot, depth - 2),
                                               sequence(branch, info->children[1].slot, depth - 2)});
                    if (!head)
                        head = n;
                    else {
                        last->next = n;
                        n->up = last;
                    }
                    last = n;
                }
                return head;
            };
            if (type == CT::OnCondition)
                return withLabels(b.make(type, line(), {branches(1 + pick(3)), branches(1)}));
            return withLabels(b.make(
                type, line(), {sequence(type, Slot::Head, depth - 1), branches(1 + pick(3)), branches(1)}));
        }
        const ConstructInfo* info = constructInfo(type);
        ConstructNode* heads[3] = {nullptr, nullptr, nullptr};
        for (int i = 0; i < info->childCount; ++i)
            heads[i] = sequence(type, info->children[i].slot, depth - 1);
        switch (info->childCount) {
            case 1:
                return withLabels(b.make(type, line(), {heads[0]}));
            case 2:
                return withLabels(b.make(type, line(), {heads[0], heads[1]}));
            default:
                return withLabels(b.make(type, line(), {heads[0], heads[1], heads[2]}));
        }
    }

    // A sequence for `slot` of `owner`: empty (a segment body), a Dummy, or
    // constructs; conditions may mix Dummies in.
    ConstructNode* sequence(CT owner, Slot slot, int depth) {
        const bool condition = slot == Slot::Condition;
        const bool body = owner == CT::Level && slot == Slot::Body;
        if (budget <= 0 || depth < 0 || chance(15)) return body ? nullptr : b.dummy(owner, slot);
        const int count = 1 + pick(3);
        ConstructNode* head = nullptr;
        ConstructNode* last = nullptr;
        for (int i = 0; i < count; ++i) {
            ConstructNode* n = condition && chance(20) ? b.dummy(owner, slot) : construct(depth, condition);
            if (!head)
                head = n;
            else {
                last->next = n;
                n->up = last;
            }
            last = n;
        }
        return head;
    }
};

}  // namespace

void buildRandom(std::uint32_t seed, DiagramDocument* doc, int budget) {
    Random r{std::mt19937(seed), Builder{doc}, budget};
    r.nextId = 2;
    ConstructNode* body = r.sequence(CT::Level, Slot::Body, 6);
    ConstructNode* root = r.b.level(1, r.line(), r.chance(50) ? r.b.text("top", 0) : nullptr, body);
    install(doc, root, r.chance(50) ? r.textValue().c_str() : nullptr,
            r.chance(50) ? sampleOptions() : DisplayOptions{});
}

std::string carried(const DiagramDocument* doc) {
    std::ostringstream out;
    out << tree_test::dump(doc->root) << "\nshort:" << (doc->shortInfo ? doc->shortInfo : "~");
    const DisplayOptions& d = doc->display;
    out << "\nif:" << int(d.ifLayout) << " levels:" << d.showLevelNumbers << " lines:" << d.showLineNumbers
        << " last:" << doc->lastLevelId;
    char text[kFontDescriptionSize];
    formatColourList(d.colours, text, sizeof text);
    out << "\ncolours:" << text;
    formatFontDescription(d.screenFont, text, sizeof text);
    out << "\nscreen:" << text;
    formatFontDescription(d.printerFont, text, sizeof text);
    out << "\nprinter:" << text;
    return out.str();
}

// ---------------------------------------------------------------------------
// Files

TempName::TempName(const char* extension) {
    char base[platform::kMaxPath] = "";
    platform::tempFileName("kit", base);
    base_ = base;
    path_ = base_ + extension;
}

TempName::~TempName() {
    platform::deleteFile(path_.c_str());
    platform::deleteFile(errorPath().c_str());
    platform::deleteFile(base_.c_str());
}

std::string TempName::errorPath() const {
    return base_ + ".err";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---------------------------------------------------------------------------
// Plug-ins in process

std::function<std::uint32_t(ParserBlock*)> g_script;

namespace {

std::uint32_t KORRIN_STDCALL scriptedParse(ParserBlock* block) {
    return g_script ? g_script(block) : kParseOk;
}

void fixedTime(char* out, std::size_t size) {
    std::snprintf(out, size, "%s", kFixedTime);
}

bool endsWith(const char* text, const char* tail) {
    const std::size_t n = std::strlen(text), m = std::strlen(tail);
    return n >= m && std::strcmp(text + n - m, tail) == 0;
}

}  // namespace

ParserEntryFn resolveInProcess(const char* libraryName) {
    if (endsWith(libraryName, kTransferImportLibrary)) return transfer_parse_native;
    if (std::strcmp(libraryName, "scripted") == 0) return scriptedParse;
    return nullptr;
}

DiagramDocument* newDocument(std::vector<DiagramDocument*>& documents) {
    auto* d = new DiagramDocument{};
    setCurrentStreamFormat(d);
    documents.push_back(d);
    return d;
}

void ImportTest::SetUp() {
    tree_test::TreeTest::SetUp();
    setCurrentStreamFormat(&doc);
    setParserResolver(resolveInProcess);
    setExportClock(fixedTime);
    setTransferNativeLanguage(kLanguageEnglish);
    setTransferNativeAllocator(nullptr, nullptr);
    savedEnvironment = g_importEnvironment;
    g_importEnvironment = ImportEnvironment{};
    g_script = nullptr;
    g_languageConfig.path[0] = 0;
}

void ImportTest::TearDown() {
    std::vector<DiagramDocument*> all = documents;
    all.push_back(&doc);
    for (DiagramDocument* d : all) {
        if (std::find(roots.begin(), roots.end(), d->root) == roots.end()) freeSequence(d->root);
        d->root = nullptr;
        forgetDocumentInfo(d);
        releaseTemporaryFile(d);
    }
    for (ConstructNode* r : roots) freeSequence(r);
    roots.clear();
    for (DiagramDocument* d : documents) delete d;
    documents.clear();
    setParserResolver(nullptr);
    setExportClock(nullptr);
    setTransferNativeAllocator(nullptr, nullptr);
    g_importEnvironment = savedEnvironment;
    g_script = nullptr;
    g_languageConfig.path[0] = 0;
    if (!configPath.empty()) platform::deleteFile(configPath.c_str());
    tree_test::TreeTest::TearDown();
}

std::string ImportTest::exportText(DiagramDocument* document, bool oem) {
    TempName file(".etf");
    EXPECT_EQ(exportTransferFile(document ? document : &doc, file.path(), oem), 1);
    return readFile(file.path());
}

ConstructNode* ImportTest::importFile(const char* path, bool transfer, DiagramDocument* target,
                                      std::uint32_t flags, int loadMode) {
    DiagramDocument* d = target ? target : &doc;
    FileDescriptor source{};
    platform::OpenInfo info{};
    source.file = bfile::openFile(path, &info, platform::kOpenRead | platform::kShareDenyWrite, 0);
    EXPECT_NE(source.file, nullptr) << path;
    std::snprintf(source.path, sizeof source.path, "%s", info.pathName[0] ? info.pathName : path);
    source.kind = transfer ? FileKind::Transfer : FileKind::Source;
    ImportRequest request{d, &source, flags, transfer, loadMode};
    ConstructNode* root = runImport(request);
    // The tests look at the whole tree.
    if (root) {
        EXPECT_TRUE(tree_test::loadEverySegment(root, d));
    }
    if (source.file) bfile::close(source.file);
    char errorPath[platform::kMaxPath];
    std::snprintf(errorPath, sizeof errorPath, "%s", source.path);
    replaceExtension(errorPath, sizeof errorPath, ".err");
    lastErrors = readFile(errorPath);
    if (root) roots.push_back(root);
    return root;
}

ConstructNode* ImportTest::importText(const std::string& text, DiagramDocument* target, std::uint32_t flags,
                                      int loadMode) {
    TempName file(".etf");
    writeFile(file.path(), text);
    return importFile(file.path(), true, target, flags, loadMode);
}

void ImportTest::useConfig(const std::string& parseOptions) {
    if (configPath.empty()) {
        char base[platform::kMaxPath] = "";
        platform::tempFileName("kic", base);
        configPath = base;
    }
    writeFile(configPath, "[ParseOptions]\r\n" + parseOptions);
    std::snprintf(g_languageConfig.path, sizeof g_languageConfig.path, "%s", configPath.c_str());
}

}  // namespace import_test
