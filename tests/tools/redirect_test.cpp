// korrin-re's reading of its request and of the program it starts.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "redirect/redirect_request.h"

namespace {

std::map<std::string, std::string> g_env;

bool readEnv(const char* name, std::string& value) {
    auto it = g_env.find(name);
    if (it == g_env.end()) return false;
    value = it->second;
    return true;
}

TEST(Redirect, TheRequest) {
    g_env = {};
    redirect::Request r = redirect::readRequest(readEnv);
    EXPECT_EQ(r.language, 49);
    EXPECT_EQ(r.showWindow, 1);
    EXPECT_TRUE(r.commandLine.empty() && r.stdOut.empty());

    g_env = {{"KorrinRedirLang", " 44 "},
             {"KorrinRedirShowWnd", "2"},
             {"KorrinRedirStdIn", "in.txt"},
             {"KorrinRedirStdOut", std::string(300, 'o')},
             {"KorrinRedirStdErr", ""},
             {"KorrinRedirProgName", "Make"},
             {"KorrinRedirCmdLine", "make " + std::string(5000, 'x')}};
    r = redirect::readRequest(readEnv);
    EXPECT_EQ(r.language, 44);
    EXPECT_EQ(r.showWindow, 2);
    EXPECT_EQ(r.stdIn, "in.txt");
    EXPECT_EQ(r.stdOut.size(), redirect::kFileNameSize - 1);
    EXPECT_EQ(r.programName, "Make");
    EXPECT_EQ(r.commandLine.size(), 5005u);  // any length

    // A language without texts, and numbers that are none, take the defaults.
    g_env = {{"KorrinRedirLang", "7"}, {"KorrinRedirShowWnd", "two"}};
    r = redirect::readRequest(readEnv);
    EXPECT_EQ(r.language, 49);
    EXPECT_EQ(r.showWindow, 1);
    EXPECT_EQ(redirect::messageId(10300, r.language), 10349u);
}

TEST(Redirect, TheProgramFileAndSameFiles) {
    EXPECT_EQ(redirect::programFileOf("  \"C:\\Program Files\\cc.exe\" -x"), "C:\\Program Files\\cc.exe");
    EXPECT_EQ(redirect::programFileOf("\"unclosed name"), "unclosed name");
    EXPECT_EQ(redirect::programFileOf("cc.exe\t-x y"), "cc.exe");
    EXPECT_EQ(redirect::programFileOf("   "), "");
    EXPECT_TRUE(redirect::sameFile("C:\\Tmp\\Out.txt", "c:/tmp/OUT.TXT"));
    EXPECT_FALSE(redirect::sameFile("out.txt", "err.txt"));
    EXPECT_FALSE(redirect::sameFile("", ""));
}

struct Bytes {
    std::string data;
};

std::size_t readBytes(void* context, std::uint32_t offset, unsigned char* out, std::size_t count) {
    const std::string& data = static_cast<Bytes*>(context)->data;
    if (offset >= data.size()) return 0;
    const std::size_t n = std::min(count, data.size() - offset);
    std::memcpy(out, data.data() + offset, n);
    return n;
}

TEST(Redirect, ExecutableKinds) {
    auto header = [](unsigned relocations, const std::string& signature) {
        std::string data(128, '\0');
        data[0] = 'M';
        data[1] = 'Z';
        data[24] = static_cast<char>(relocations);
        data[60] = 100;
        return data.substr(0, 100) + signature;
    };
    const struct {
        std::string data;
        redirect::ExecutableKind kind;
    } cases[] = {
        {header(0x3F, "PE"), redirect::ExecutableKind::dos},
        {header(0x40, "NE"), redirect::ExecutableKind::ne},
        {header(0x40, "LE"), redirect::ExecutableKind::le},
        {header(0x40, "LX"), redirect::ExecutableKind::lx},
        {header(0x40, std::string("PE\0\0", 4)), redirect::ExecutableKind::pe},
        {header(0x40, "PE\1\0"), redirect::ExecutableKind::unknown},
        {header(0x40, ""), redirect::ExecutableKind::unknown},
        {std::string(63, 'M'), redirect::ExecutableKind::unknown},
        {"\x7f"
         "ELF" +
             std::string(100, '\0'),
         redirect::ExecutableKind::unknown},
    };
    for (const auto& c : cases) {
        Bytes bytes{c.data};
        EXPECT_EQ(redirect::executableKind(readBytes, &bytes), c.kind) << c.data.size();
    }
}

}  // namespace
