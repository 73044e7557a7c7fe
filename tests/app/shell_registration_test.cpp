// The shell registration against a registry held in a map: every key and
// value of both document types, the overwrite rules of a normal start and of
// "initialize", and the rollback of a write that fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "app/shell_registration.h"
#include "tests/config/temp_ini.h"
#include "tests/support/shell_entries_expected.h"

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Keys compare without case; "" names the default value. The write calls
// fail from the failAt-th on (0 = never) with error 5.
struct FakeRegistry : ShellRegistry {
    std::map<std::string, std::map<std::string, std::string>> keys;
    int writes = 0;
    int failAt = 0;
    bool failOnce = false;

    bool keyExists(const std::string& key) override { return keys.count(lower(key)) != 0; }
    bool readValue(const std::string& key, const std::string& name, std::string* value) override {
        auto k = keys.find(lower(key));
        if (k == keys.end()) return false;
        auto v = k->second.find(lower(name));
        if (v == k->second.end()) return false;
        if (value) *value = v->second;
        return true;
    }
    std::uint32_t writeValue(const std::string& key, const std::string& name,
                             const std::string& value) override {
        ++writes;
        if (failAt && writes >= failAt && (!failOnce || writes == failAt)) {
            // The key is made before the value fails, as RegCreateKeyEx and
            // RegSetValueEx would leave it.
            createKey(key);
            return 5;
        }
        createKey(key);
        keys[lower(key)][lower(name)] = value;
        return 0;
    }
    std::uint32_t deleteValue(const std::string& key, const std::string& name) override {
        auto k = keys.find(lower(key));
        if (k != keys.end()) k->second.erase(lower(name));
        return 0;
    }
    std::uint32_t deleteKey(const std::string& key) override {
        const std::string prefix = lower(key) + "\\";
        for (auto it = keys.begin(); it != keys.end();)
            it = it->first == lower(key) || it->first.rfind(prefix, 0) == 0 ? keys.erase(it) : std::next(it);
        return 0;
    }
    void createKey(const std::string& key) {
        std::string k = lower(key);
        for (std::size_t at = 0; (at = k.find('\\', at)) != std::string::npos; ++at) keys[k.substr(0, at)];
        keys[k];
    }
    std::string value(const std::string& key, const std::string& name = "") {
        std::string v = "<absent>";
        readValue(key, name, &v);
        return v;
    }
};

const ShellRegistrationInput kInput{"C:\\Program Files\\Korrin\\korrin.exe", "korrin"};

}  // namespace

TEST(ShellRegistration, EveryKeyAndValueOfBothTypes) {
    FakeRegistry registry;
    ShellRegistrationFailure failure;
    ASSERT_TRUE(writeShellEntries(registry, shellRegistrationEntries(kInput), true, &failure));
    const std::string exe = "\"C:\\Program Files\\Korrin\\korrin.exe\"";
    for (const ExpectedShellEntry& e : expectedShellEntries(exe))
        EXPECT_EQ(registry.value(e.key), e.value) << e.key;
    // ShellNew only for the current extension, with an empty NullFile.
    EXPECT_EQ(registry.value(".vrd\\ShellNew", "NullFile"), "");
    EXPECT_EQ(registry.value(".vrd\\ShellNew"), "<absent>");
    EXPECT_FALSE(registry.keyExists(".vq\\ShellNew"));
    EXPECT_EQ(shellRegistrationEntries(kInput).size(), 27u);
}

TEST(ShellRegistration, NormalStartKeepsEditedKeysAndInitializeRestoresThem) {
    FakeRegistry registry;
    const auto entries = shellRegistrationEntries(kInput);
    ASSERT_TRUE(writeShellEntries(registry, entries, false, nullptr));
    const std::string open = registry.value("korrinvrd\\shell\\open\\command");

    // The user changes the open command, removes the print verb and sets
    // ShellNew to a template file.
    registry.keys["korrinvrd\\shell\\open\\command"][""] = "notepad.exe \"%1\"";
    registry.deleteKey("korrinvrd\\shell\\print");
    registry.keys[".vrd\\shellnew"].erase("nullfile");
    registry.keys[".vrd\\shellnew"]["filename"] = "template.vrd";

    // A normal start: what exists stays, what is missing comes back.
    registry.writes = 0;
    ASSERT_TRUE(writeShellEntries(registry, entries, false, nullptr));
    EXPECT_EQ(registry.value("korrinvrd\\shell\\open\\command"), "notepad.exe \"%1\"");
    EXPECT_EQ(registry.value(".vrd\\ShellNew", "NullFile"), "<absent>");
    EXPECT_EQ(registry.writes, 1) << "only the missing print command is written";
    EXPECT_NE(registry.value("korrinvrd\\shell\\print\\command"), "<absent>");

    // "initialize": everything as registered, the user's extra value kept.
    ASSERT_TRUE(writeShellEntries(registry, entries, true, nullptr));
    EXPECT_EQ(registry.value("korrinvrd\\shell\\open\\command"), open);
    EXPECT_EQ(registry.value(".vrd\\ShellNew", "NullFile"), "");
    EXPECT_EQ(registry.value(".vrd\\ShellNew", "FileName"), "template.vrd");
}

TEST(ShellRegistration, AFailedWriteIsRolledBackAndReported) {
    const auto entries = shellRegistrationEntries(kInput);
    // Into an empty registry: the failing write takes the keys it made.
    {
        FakeRegistry registry;
        registry.failAt = 4;  // korrinvq, .vq, print\command, then printto\command
        registry.failOnce = true;
        ShellRegistrationFailure failure;
        EXPECT_FALSE(writeShellEntries(registry, entries, true, &failure));
        EXPECT_EQ(failure.key, "korrinvq\\shell\\printto\\command");
        EXPECT_EQ(failure.error, 5u);
        EXPECT_FALSE(registry.keyExists("korrinvq\\shell\\printto"));
        EXPECT_TRUE(registry.keyExists("korrinvq\\shell\\print\\command"));
        // The entries after the failure are still written.
        EXPECT_EQ(registry.value("korrinvrd\\shell\\open\\ddeexec\\topic"), "System");
    }
    // Over a key that existed: it keeps its value.
    {
        FakeRegistry registry;
        registry.keys[".vrd"][""] = "otherprogram.file";
        registry.failAt = 1;
        ShellRegistrationFailure failure;
        EXPECT_FALSE(writeShellEntries(registry, entries, true, &failure));
        EXPECT_EQ(failure.key, "korrinvq");
        EXPECT_EQ(registry.value(".vrd"), "otherprogram.file");
        EXPECT_FALSE(registry.keyExists("korrinvrd"));
        EXPECT_FALSE(registry.keyExists(".vq"));
    }
}

TEST(ShellRegistration, ExtensionsEntryOfTheProfile) {
    TempIni ini("[Extensions]\r\nvrd=C:\\old\\korrin.exe ^.vrd\r\n");
    EXPECT_TRUE(writeExtensionsEntry(ini.path(), "C:\\new\\korrin.exe", false));
    char value[260] = {};
    platform::profileGetString("Extensions", "vrd", "", value, sizeof value, ini.path());
    EXPECT_STREQ(value, "C:\\old\\korrin.exe ^.vrd");
    EXPECT_TRUE(writeExtensionsEntry(ini.path(), "C:\\new\\korrin.exe", true));
    platform::profileGetString("Extensions", "vrd", "", value, sizeof value, ini.path());
    EXPECT_STREQ(value, "C:\\new\\korrin.exe ^.vrd");
}
