// Batch starts of the editor: the options that run one action and exit, the
// response file, "initialize" and the settings file of the command line.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "tests/e2e/e2e_support.h"

using e2e::Editor;

namespace {

// A working folder with copies of example diagrams and a settings file
// naming the example configuration; removed afterwards.
struct Workspace {
    std::string dir;
    std::string settings;

    Workspace() {
        char base[MAX_PATH] = {};
        GetTempPathA(sizeof base, base);
        char name[MAX_PATH] = {};
        GetTempFileNameA(base, "kbt", 0, name);
        DeleteFileA(name);
        dir = name;
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    ~Workspace() {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA(file(data.cFileName).c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(dir.c_str());
    }
    std::string file(const std::string& name) const { return dir + "\\" + name; }
    bool copyExample(const std::string& name) const {
        return CopyFileA(example(name).c_str(), file(name).c_str(), FALSE) != 0;
    }
    static std::string example(const std::string& name) { return e2e::examplePath(name); }
    // ConfigurationFile = the example configuration, generated sources into
    // this folder, no save after generating (the diagrams stay as copied).
    std::string settingsText() const {
        return "[Settings]\r\nConfigurationFile=" + example("pascal.cfg") + "\r\nSourcePath=" + dir +
               "\\*.pas\r\nSaveAfterGen=no\r\n";
    }
};

// A generated source without its second line (the time and the paths).
std::string withoutStamp(std::string source) {
    const std::size_t first = source.find('\n');
    const std::size_t second = first == std::string::npos ? first : source.find('\n', first + 1);
    if (second != std::string::npos) source.erase(first + 1, second - first);
    return source;
}

}  // namespace

TEST(Batch, GenerateWritesTheExampleSource) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    const std::string expected = withoutStamp(e2e::readFile(Workspace::example("loops.pas")));
    ASSERT_FALSE(expected.empty());
    {
        // Into the generate directory under the diagram's name.
        Editor editor;
        ASSERT_TRUE(editor.start("-g \"" + work.file("loops.vrd") + "\"", work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors) << editor.log();
        EXPECT_NE(editor.log().find(e2e::logLine("command", {CMD_FILE_GENERATE}, "done")), std::string::npos)
            << editor.log();
        EXPECT_EQ(withoutStamp(e2e::readFile(work.file("loops.pas"))), expected);
    }
    {
        // Into the target the option names.
        Editor editor;
        ASSERT_TRUE(editor.start("-g=\"" + work.file("other.pas") + "\" \"" + work.file("loops.vrd") + "\"",
                                 work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
        EXPECT_EQ(withoutStamp(e2e::readFile(work.file("other.pas"))), expected);
    }
    {
        // A diagram that is not there: a clear failure, nothing generated.
        Editor editor;
        ASSERT_TRUE(editor.start("-g \"" + work.file("missing.vrd") + "\"", work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 1);
        EXPECT_EQ(editor.log().find(e2e::logLine("command", {CMD_FILE_GENERATE}, "done")), std::string::npos)
            << editor.log();
        EXPECT_FALSE(e2e::readFile(editor.errors).empty());
    }
}

TEST(Batch, OnlyTheFirstActionIsHonoured) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    Editor editor;
    ASSERT_TRUE(editor.start("-print -g \"" + work.file("loops.vrd") + "\"", "", false));
    EXPECT_NE(editor.waitExit(), 0);
    std::string log = editor.log();
    EXPECT_NE(log.find(e2e::logLine("command", {CMD_FILE_PRINT})), std::string::npos) << log;
    EXPECT_EQ(log.find(e2e::logLine("command", {CMD_FILE_GENERATE})), std::string::npos) << log;
    std::string errors = e2e::readFile(editor.errors);
    EXPECT_EQ(errors.find("Generate"), std::string::npos) << errors;
}

TEST(Batch, PrintWithoutAPrinterFailsWithItsReason) {
    // The tests' CUPS_SERVER names no server: there is no printer at all.
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    Editor editor;
    ASSERT_TRUE(editor.start("-p \"" + work.file("loops.vrd") + "\"", work.settingsText(), false));
    EXPECT_EQ(editor.waitExit(60000), 1);
    const std::string errors = e2e::readFile(editor.errors);
    EXPECT_NE(errors.find("Default printer not found."), std::string::npos) << errors;
}

TEST(Batch, SaveAndExportWriteTheirTargets) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("grades.vrd"));
    {
        Editor editor;
        ASSERT_TRUE(editor.start("-s=\"" + work.file("copy.vrd") + "\" \"" + work.file("grades.vrd") + "\"",
                                 work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
        const std::string copy = e2e::readFile(work.file("copy.vrd"));
        ASSERT_GT(copy.size(), 8u);
        EXPECT_EQ(copy.compare(0, 8,
                               std::string("VRD\0"
                                           "6.3\0",
                                           8)),
                  0);
    }
    {
        // The saved copy generates the same source as the example.
        Editor editor;
        ASSERT_TRUE(editor.start("-g=\"" + work.file("copy.pas") + "\" \"" + work.file("copy.vrd") + "\"",
                                 work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
        EXPECT_EQ(withoutStamp(e2e::readFile(work.file("copy.pas"))),
                  withoutStamp(e2e::readFile(Workspace::example("grades.pas"))));
    }
    {
        Editor editor;
        ASSERT_TRUE(editor.start("-e=\"" + work.file("grades.etf") + "\" \"" + work.file("grades.vrd") + "\"",
                                 work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
        const std::string etf = e2e::readFile(work.file("grades.etf"));
        EXPECT_NE(etf.find("Korrin"), std::string::npos) << etf.substr(0, 200);
    }
    {
        // The transfer file converted back (korrin-imp.dll, without the
        // question in a batch run) generates the same source.
        Editor editor;
        ASSERT_TRUE(editor.start("-g=\"" + work.file("back.pas") + "\" \"" + work.file("grades.etf") + "\"",
                                 work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
        EXPECT_EQ(withoutStamp(e2e::readFile(work.file("back.pas"))),
                  withoutStamp(e2e::readFile(Workspace::example("grades.pas"))));
    }
}

TEST(Batch, AFailedRunNamesItsReasonAndLeavesItsTargetAsItWas) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    // A diagram whose segment bodies are damaged: it opens, its content
    // cannot be read.
    std::string damaged = e2e::readFile(work.file("loops.vrd"));
    const std::size_t tree = damaged.find("TREE");
    ASSERT_NE(tree, std::string::npos);
    damaged.replace(tree + (damaged.size() - tree) / 2, 64, 64, '\xEE');
    ASSERT_TRUE(e2e::writeFile(work.file("damaged.vrd"), damaged));
    ASSERT_TRUE(e2e::writeFile(work.file("bad.pas"), "program Bad;\r\nbegin\r\n  until y;\r\nend.\r\n"));
    ASSERT_TRUE(e2e::writeFile(work.file("kept.vrd"), "kept"));
    const std::string loops = e2e::readFile(work.file("loops.vrd"));
    struct Case {
        std::string arguments;
        const char* reason;
        std::string target;
        bool exists;
        std::string left;  // what the target holds afterwards
    } cases[] = {
        {"-g=\"" + work.file("loops.vrd") + "\" \"" + work.file("loops.vrd") + "\"",
         "Impossible to overwrite current VRD file.", work.file("loops.vrd"), true, loops},
        {"-e=\"" + work.file("new.etf") + "\" \"" + work.file("damaged.vrd") + "\"",
         "damaged.vrd contains a structural error.", work.file("new.etf"), false, ""},
        {"-s=\"" + work.file("new.vrd") + "\" \"" + work.file("bad.pas") + "\"", "errors",
         work.file("new.vrd"), false, ""},
        {"-s=\"" + work.file("kept.vrd") + "\" \"" + work.file("bad.pas") + "\"", "errors",
         work.file("kept.vrd"), true, "kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        Editor editor;
        ASSERT_TRUE(editor.start(c.arguments, work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 1);
        const std::string errors = e2e::readFile(editor.errors);
        EXPECT_NE(errors.find(c.reason), std::string::npos) << errors;
        EXPECT_EQ(GetFileAttributesA(c.target.c_str()) != INVALID_FILE_ATTRIBUTES, c.exists);
        EXPECT_TRUE(e2e::readFile(c.target) == c.left);
    }
}

TEST(Batch, GenerateAllInTheCurrentDirectory) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    ASSERT_TRUE(work.copyExample("primes.vrd"));
    ASSERT_TRUE(e2e::writeFile(work.file("broken.vrd"), std::string("VRD\0"
                                                                    "6.3\0TREE\x10\0\xff\xff\xff",
                                                                    17)));
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(work.dir.c_str()));
    Editor editor;
    const bool started = editor.start("-ga", work.settingsText(), false);
    SetCurrentDirectoryA(previous);
    ASSERT_TRUE(started);
    // The broken diagram fails; the others are generated.
    EXPECT_EQ(editor.waitExit(60000), 1);
    EXPECT_EQ(withoutStamp(e2e::readFile(work.file("loops.pas"))),
              withoutStamp(e2e::readFile(Workspace::example("loops.pas"))));
    EXPECT_EQ(withoutStamp(e2e::readFile(work.file("primes.pas"))),
              withoutStamp(e2e::readFile(Workspace::example("primes.pas"))));
    const std::string errors = e2e::readFile(editor.errors);
    EXPECT_NE(errors.find("2 file(s) generated, 1 file(s) failed."), std::string::npos) << errors;
    EXPECT_NE(errors.find("broken.vrd"), std::string::npos) << errors;
    // Run once, though the conversion and the batch message both ask.
    EXPECT_EQ(errors.find("file(s) generated"), errors.rfind("file(s) generated")) << errors;
}

TEST(Batch, APascalSourceGoesThroughTheParserPlugIn) {
    // A source the generator wrote, read by korrin-pas.dll beside the
    // editor and generated again; its segment comments are dropped on the
    // way, and from then on the text stays the same.
    Workspace work;
    ASSERT_TRUE(work.copyExample("primes.pas"));
    for (const char* step : {"again", "third"}) {
        const std::string from = std::string(step) == "again" ? "primes.pas" : "again.pas";
        Editor editor;
        ASSERT_TRUE(
            editor.start("-g=\"" + work.file(std::string(step) + ".pas") + "\" \"" + work.file(from) + "\"",
                         work.settingsText(), false));
        EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
    }
    const std::string again = e2e::readFile(work.file("again.pas"));
    EXPECT_EQ(again.compare(0, 15, "{Korrin:V 6.32}"), 0) << again;
    EXPECT_NE(again.find("program Primes;"), std::string::npos);
    EXPECT_EQ(again.find("{Korrin:("), std::string::npos);
    EXPECT_EQ(withoutStamp(e2e::readFile(work.file("third.pas"))), withoutStamp(again));
    // The source itself is left as it was.
    EXPECT_EQ(e2e::readFile(work.file("primes.pas")), e2e::readFile(Workspace::example("primes.pas")));

    // A source with a syntax error: no diagram, no output, the error file
    // beside the source.
    ASSERT_TRUE(
        e2e::writeFile(work.file("bad.pas"), "program Bad;\r\nbegin\r\n  x := 1;\r\n  until y;\r\nend.\r\n"));
    Editor failing;
    ASSERT_TRUE(failing.start("-g=\"" + work.file("bad.out") + "\" \"" + work.file("bad.pas") + "\"",
                              work.settingsText(), false));
    EXPECT_EQ(failing.waitExit(60000), 1);
    EXPECT_TRUE(e2e::readFile(work.file("bad.out")).empty());
    EXPECT_NE(e2e::readFile(work.file("bad.err")).find("4"), std::string::npos)
        << e2e::readFile(failing.errors);
}

TEST(Batch, ConvertAllNamesItsDirectory) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("grades.vrd"));
    Editor editor;
    ASSERT_TRUE(editor.start("-ca=\"" + work.dir + "\"", work.settingsText(), false));
    EXPECT_EQ(editor.waitExit(60000), 0) << e2e::readFile(editor.errors);
    EXPECT_EQ(withoutStamp(e2e::readFile(work.file("grades.pas"))),
              withoutStamp(e2e::readFile(Workspace::example("grades.pas"))));
}

TEST(Batch, GenerateAllFromTheMenuShowsItsProgressAndReport) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(work.dir.c_str()));
    Editor editor;
    const bool started = editor.start("", work.settingsText());
    SetCurrentDirectoryA(previous);
    ASSERT_TRUE(started);
    std::size_t from = editor.log().size();
    editor.command(CMD_FILE_GENERATE_ALL);
    // The report at the end, over the frame.
    ASSERT_TRUE(
        editor.waitFor("message 20713 Generate all: 1 file(s) generated, 0 file(s) failed.", 30000, from))
        << editor.log().substr(from);
    // The message box under the product title (the progress dialog is
    // still up behind it).
    HWND report = nullptr;
    for (int i = 0; i < 100 && !report; ++i) {
        report = FindWindowA("#32770", "Korrin(VRD)");
        if (!report) Sleep(50);
    }
    ASSERT_NE(report, nullptr);
    EXPECT_NE(FindWindowA("#32770", "Generate all"), nullptr);
    PostMessageA(report, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(editor.waitFor(e2e::logLine("command", {CMD_FILE_GENERATE_ALL}, "done"), 10000, from))
        << editor.log().substr(from);
    EXPECT_FALSE(e2e::readFile(work.file("loops.pas")).empty());
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Batch, AResponseFileNamesTheAction) {
    Workspace work;
    ASSERT_TRUE(work.copyExample("loops.vrd"));
    std::string response = work.file("args.rsp");
    ASSERT_TRUE(e2e::writeFile(
        response, "-s=\"" + work.file("out copy.vrd") + "\"\r\n\"" + work.file("loops.vrd") + "\"\r\n"));
    Editor batch;
    ASSERT_TRUE(batch.launch("@" + response));
    EXPECT_EQ(batch.waitExit(60000), 0) << e2e::readFile(batch.errors);
    std::string log = batch.log();
    EXPECT_NE(log.find(e2e::logLine("command", {CMD_FILE_OPEN}, "done")), std::string::npos) << log;
    EXPECT_NE(log.find(e2e::logLine("command", {CMD_FILE_SAVE}, "done")), std::string::npos) << log;
    EXPECT_GT(e2e::readFile(work.file("out copy.vrd")).size(), 8u);
}

TEST(Batch, AnOptionThatIsNoOptionStartsNormally) {
    Editor editor;
    ASSERT_TRUE(editor.start("-ga=x"));
    EXPECT_NE(editor.log().find("start interactive"), std::string::npos);
    EXPECT_TRUE(IsWindowVisible(editor.frame));
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
}

TEST(Batch, MissingResponseFile) {
    Editor editor;
    ASSERT_TRUE(editor.launch("@C:\\no\\such\\file.rsp"));
    EXPECT_EQ(editor.waitExit(), 1);
    EXPECT_NE(e2e::readFile(editor.errors).find("Unable to read the response file C:\\no\\such\\file.rsp."),
              std::string::npos);
    EXPECT_EQ(editor.log().find("start"), std::string::npos);
}

// "initialize" ends at once with 0, without a frame and without a word on
// standard error (the file types are registered there once the shell
// registration is built).
TEST(Batch, InitializeEndsAtOnce) {
    Editor editor;
    ASSERT_TRUE(editor.launch("/initialize"));
    EXPECT_EQ(editor.waitExit(), 0);
    EXPECT_EQ(e2e::readFile(editor.errors), "");
    EXPECT_EQ(editor.log().find("start "), std::string::npos) << editor.log();
}

TEST(Batch, TheSettingsFileOfTheCommandLine) {
    Editor editor;
    ASSERT_TRUE(editor.start("", "[Settings]\r\nToolBar=no\r\nRepeat=yes\r\nFtAvailable=no\r\n"));
    std::string dump = editor.menuDump();
    EXPECT_NE(dump.find(e2e::logLine("item", {CMD_OPTIONS_TOOL_BAR}, "e- ")), std::string::npos) << dump;
    EXPECT_NE(dump.find(e2e::logLine("item", {CMD_OPTIONS_REPEAT}, "ec ")), std::string::npos) << dump;
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
    // The exit writes the frame's place and the recent-file lists.
    std::string settings = e2e::readFile(editor.settings);
    EXPECT_NE(settings.find("WindowStyle="), std::string::npos) << settings;
}
