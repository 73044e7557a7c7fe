// Batch starts of the editor: the options that run one action and exit, the
// response file, "initialize" and the settings file of the command line.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_support.h"

using e2e::Editor;

TEST(Batch, GenerateWithoutItsEngineFailsClearly) {
    Editor editor;
    ASSERT_TRUE(editor.start("-g x.vrd", "", false));
    int code = editor.waitExit();
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    std::string log = editor.log();
    EXPECT_NE(log.find("start batch"), std::string::npos) << log;
    EXPECT_NE(log.find("command 2235 unavailable"), std::string::npos) << log;
    std::string errors = e2e::readFile(editor.errors);
    EXPECT_NE(errors.find("korrin: Generate source code is not available in this version."),
              std::string::npos)
        << errors;
}

TEST(Batch, OnlyTheFirstActionIsHonoured) {
    Editor editor;
    ASSERT_TRUE(editor.start("-print -g x.vrd", "", false));
    EXPECT_NE(editor.waitExit(), 0);
    std::string log = editor.log();
    EXPECT_NE(log.find("command 2225 unavailable"), std::string::npos) << log;
    EXPECT_EQ(log.find("command 2235"), std::string::npos) << log;
    std::string errors = e2e::readFile(editor.errors);
    EXPECT_NE(errors.find("Print"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Generate"), std::string::npos) << errors;
}

TEST(Batch, GenerateAllAndSaveRunTheirCommands) {
    {
        Editor editor;
        ASSERT_TRUE(editor.start("-ga", "", false));
        EXPECT_NE(editor.waitExit(), 0);
        EXPECT_NE(editor.log().find("command 2245 unavailable"), std::string::npos) << editor.log();
        // Reported once, though the conversion and the batch message both ask.
        std::string errors = e2e::readFile(editor.errors);
        EXPECT_EQ(errors.find("Generate all"), errors.rfind("Generate all")) << errors;
        EXPECT_NE(errors.find("Generate all"), std::string::npos) << errors;
    }
    {
        // From a response file.
        std::string response = e2e::tempPath("korrin-args", ".rsp");
        ASSERT_TRUE(e2e::writeFile(response, "-s=\"out dir\\y.vrd\"\r\nx.vrd\r\n"));
        Editor batch;
        ASSERT_TRUE(batch.launch("@" + response));
        EXPECT_NE(batch.waitExit(), 0);
        std::string log = batch.log();
        EXPECT_NE(log.find("command 2205 unavailable"), std::string::npos) << log;  // x.vrd
        EXPECT_NE(log.find("command 2210 unavailable"), std::string::npos) << log;
        DeleteFileA(response.c_str());
    }
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

TEST(Batch, InitializeRegistersAndEnds) {
    Editor editor;
    ASSERT_TRUE(editor.launch("/initialize"));
    EXPECT_EQ(editor.waitExit(), 0);
    std::string log = editor.log();
    EXPECT_NE(log.find("register forced"), std::string::npos) << log;
    EXPECT_EQ(log.find("start "), std::string::npos) << log;
}

TEST(Batch, TheSettingsFileOfTheCommandLine) {
    Editor editor;
    ASSERT_TRUE(editor.start("", "[Settings]\r\nToolBar=no\r\nRepeat=yes\r\nFtAvailable=no\r\n"));
    std::string dump = editor.menuDump();
    EXPECT_NE(dump.find("item 7701 e- "), std::string::npos) << dump;
    EXPECT_NE(dump.find("item 7100 ec "), std::string::npos) << dump;
    editor.post(WM_CLOSE);
    EXPECT_EQ(editor.waitExit(), 0);
    // The exit writes the frame's place and the recent-file lists.
    std::string settings = e2e::readFile(editor.settings);
    EXPECT_NE(settings.find("WindowStyle="), std::string::npos) << settings;
}
