#include "app/shell_registration.h"

#include <cctype>

#include "platform/platform.h"
#include "resources/strings.h"

namespace {

std::string text(unsigned id) {
    char buffer[256] = {};
    platform::loadString(id, buffer, sizeof buffer);
    return buffer;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The product title with the code in its brackets replaced:
// "Korrin(VRD)" and ".vq" give "Korrin(VQ)".
std::string titleWithCode(const std::string& title, const std::string& extension) {
    std::size_t open = title.find('(');
    if (open == std::string::npos) return title;
    std::size_t close = title.find(')', open);
    std::string code = upper(extension.substr(extension.empty() || extension[0] != '.' ? 0 : 1));
    return title.substr(0, open + 1) + code + (close == std::string::npos ? "" : title.substr(close));
}

// The entries of one type T with description D.
void addType(std::vector<ShellEntry>& out, const ShellRegistrationInput& in, const std::string& type,
             const std::string& extension, const std::string& description, bool shellNew) {
    const std::string current = text(IDS_REG_TYPE_VRD);
    const std::string quoted = "\"" + in.programPath + "\"";
    const std::string shell = type + "\\" + text(IDS_REG_SHELL) + "\\";
    const std::string command = "\\" + text(IDS_REG_COMMAND);
    const std::string open = shell + text(IDS_REG_OPEN);
    const std::string ddeexec = open + "\\" + text(IDS_REG_DDEEXEC);
    const std::string generate = shell + text(IDS_REG_GENERATE);
    const std::string exportKey = shell + text(IDS_REG_EXPORT);
    out.push_back({type, true, description, "", ""});
    out.push_back({extension, true, current, "", ""});
    if (shellNew) out.push_back({extension + "\\ShellNew", false, "", "NullFile", ""});
    out.push_back({shell + text(IDS_REG_PRINT) + command, true, quoted + " /p \"%1\"", "", ""});
    out.push_back({shell + text(IDS_REG_PRINTTO) + command, true, quoted + " /p=\"%2\" \"%1\"", "", ""});
    out.push_back({generate, true, text(IDS_VERB_GENERATE), "", ""});
    out.push_back({generate + command, true, quoted + " /g \"%1\"", "", ""});
    out.push_back({exportKey, true, text(IDS_VERB_EXPORT), "", ""});
    out.push_back({exportKey + command, true, quoted + " /e \"%1\"", "", ""});
    out.push_back({open + command, true, quoted + " \"%1\"", "", ""});
    out.push_back({ddeexec, true, "[open(\"%1\")]", "", ""});
    out.push_back({ddeexec + "\\" + text(IDS_REG_APPLICATION), true, in.ddeName, "", ""});
    out.push_back({ddeexec + "\\" + text(IDS_REG_IFEXEC), true, "[NOP]", "", ""});
    out.push_back({ddeexec + "\\" + text(IDS_REG_TOPIC), true, "System", "", ""});
}

// The first key on the way down to `key` that does not exist ("" when the
// key itself exists): what a failed write has to take away again.
std::string firstMissingKey(ShellRegistry& registry, const std::string& key) {
    std::size_t end = 0;
    for (;;) {
        end = key.find('\\', end);
        std::string part = key.substr(0, end);
        if (!registry.keyExists(part)) return part;
        if (end == std::string::npos) return "";
        ++end;
    }
}

}  // namespace

std::vector<ShellEntry> shellRegistrationEntries(const ShellRegistrationInput& input) {
    const std::string title = text(IDS_TITLE);
    const std::string kind = text(IDS_DOCUMENT_KIND);
    const std::string oldExtension = text(IDS_REG_EXT_VQ);
    std::vector<ShellEntry> entries;
    addType(entries, input, text(IDS_REG_TYPE_VQ), oldExtension,
            titleWithCode(title, oldExtension) + " " + kind + text(IDS_REG_OLD_FORMAT), false);
    addType(entries, input, text(IDS_REG_TYPE_VRD), text(IDS_NATIVE_EXT), title + " " + kind, true);
    return entries;
}

bool writeShellEntry(ShellRegistry& registry, const ShellEntry& entry, bool force, std::uint32_t* error) {
    if (error) *error = 0;
    if (!force && registry.keyExists(entry.key)) return true;
    const std::string created = firstMissingKey(registry, entry.key);
    std::string oldDefault, oldNamed;
    const bool hadDefault = created.empty() && registry.readValue(entry.key, "", &oldDefault);
    const bool hadNamed = created.empty() && !entry.valueName.empty() &&
                          registry.readValue(entry.key, entry.valueName, &oldNamed);
    std::uint32_t failed = 0;
    if (entry.hasDefault) failed = registry.writeValue(entry.key, "", entry.defaultValue);
    if (!failed && !entry.valueName.empty() && (force || !hadNamed))
        failed = registry.writeValue(entry.key, entry.valueName, entry.namedValue);
    if (!failed) return true;
    if (error) *error = failed;
    if (!created.empty()) {
        registry.deleteKey(created);
        return false;
    }
    // The key was there before: it keeps what it held.
    if (entry.hasDefault) {
        if (hadDefault)
            registry.writeValue(entry.key, "", oldDefault);
        else
            registry.deleteValue(entry.key, "");
    }
    if (!entry.valueName.empty()) {
        if (hadNamed)
            registry.writeValue(entry.key, entry.valueName, oldNamed);
        else
            registry.deleteValue(entry.key, entry.valueName);
    }
    return false;
}

bool writeShellEntries(ShellRegistry& registry, const std::vector<ShellEntry>& entries, bool force,
                       ShellRegistrationFailure* failure) {
    bool all = true;
    for (const ShellEntry& entry : entries) {
        std::uint32_t error = 0;
        if (writeShellEntry(registry, entry, force, &error)) continue;
        if (all && failure) *failure = ShellRegistrationFailure{entry.key, error};
        all = false;
    }
    return all;
}

bool writeExtensionsEntry(const char* profilePath, const std::string& programPath, bool force) {
    const std::string extension = text(IDS_NATIVE_EXT);
    const std::string key = extension.substr(!extension.empty() && extension[0] == '.' ? 1 : 0);
    char existing[8] = {};
    if (!force &&
        platform::profileGetString("Extensions", key.c_str(), "", existing, sizeof existing, profilePath) > 0)
        return true;
    const std::string value = programPath + " ^" + extension;
    return platform::profileWriteString("Extensions", key.c_str(), value.c_str(), profilePath);
}
