// The editor's document types in the Windows shell: the registry entries
// under HKEY_CLASSES_ROOT (both types with their verbs, the DDE command of
// open, ShellNew for the current extension) and the [Extensions] entry of
// the system profile, with the overwrite rules of a normal start and of
// "initialize".
//
// Portable: the registry is reached through ShellRegistry (the Win32 build
// writes the real one, the tests a map), the profile through platform/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One key under the registry root. `key` is the full path below the root
// ("korrinvrd\shell\open\command"). The default value is written when
// `hasDefault`; the named value when `valueName` is not empty.
struct ShellEntry {
    std::string key;
    bool hasDefault = true;
    std::string defaultValue;
    std::string valueName;
    std::string namedValue;
};

// The registry as the registration sees it. Key paths use '\' and compare
// without regard to case. The write calls return 0 or a system error code.
struct ShellRegistry {
    virtual ~ShellRegistry() = default;
    virtual bool keyExists(const std::string& key) = 0;
    // `name` empty: the default value. False when the value is absent.
    virtual bool readValue(const std::string& key, const std::string& name, std::string* value) = 0;
    // Creates the key (and the keys above it) as needed.
    virtual std::uint32_t writeValue(const std::string& key, const std::string& name,
                                     const std::string& value) = 0;
    virtual std::uint32_t deleteValue(const std::string& key, const std::string& name) = 0;
    // Deletes the key with everything below it.
    virtual std::uint32_t deleteKey(const std::string& key) = 0;
};

// What the entries are made of besides the string table.
struct ShellRegistrationInput {
    std::string programPath;  // the module file's full path
    std::string ddeName;      // the module's base name without extension
};

// Every entry, in the order they are written: the older edition's type
// ("korrinvq", extension ".vq") first, then the current one ("korrinvrd",
// ".vrd"). Both extensions name the current type; only ".vrd" gets ShellNew.
std::vector<ShellEntry> shellRegistrationEntries(const ShellRegistrationInput& input);

// The first entry that could not be written and why.
struct ShellRegistrationFailure {
    std::string key;
    std::uint32_t error = 0;
};

// Writes one entry. Without `force` an existing key is left as it is (and
// counts as written); otherwise the key is created and its default value
// set, and the named value set when forced or when it is not there yet. A
// failed write is rolled back: the keys it created are deleted again, and a
// key that existed gets its earlier values back.
bool writeShellEntry(ShellRegistry& registry, const ShellEntry& entry, bool force, std::uint32_t* error);

// Writes all entries (going on past a failure, so that a partly writable
// registry gets what it can). True when every entry was written; otherwise
// `failure` names the first one that failed.
bool writeShellEntries(ShellRegistry& registry, const std::vector<ShellEntry>& entries, bool force,
                       ShellRegistrationFailure* failure);

// The older association: key "vrd" of section "Extensions" of the profile
// `profilePath` (null: the system profile) = the program path, " ^" and the
// extension. Without `force` an existing key is kept.
bool writeExtensionsEntry(const char* profilePath, const std::string& programPath, bool force);
