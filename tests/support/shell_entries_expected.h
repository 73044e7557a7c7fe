// The file-type keys and values a registration leaves in the classes root,
// for a program started as `exe` (quoted as the commands need it): one
// table for the test against the fake registry and the one against Wine's.
#pragma once

#include <string>
#include <vector>

struct ExpectedShellEntry {
    std::string key;
    std::string value;
};

inline std::vector<ExpectedShellEntry> expectedShellEntries(const std::string& exe) {
    std::vector<ExpectedShellEntry> table;
    // The current type; the older edition's type has its own description
    // and the same verbs, and its extension opens as the current type.
    for (const char* type : {"korrinvrd", "korrinvq"}) {
        const std::string shell = std::string(type) + "\\shell\\";
        auto add = [&](const std::string& key, std::string value) {
            table.push_back({key, std::move(value)});
        };
        add(shell + "print\\command", exe + " /p \"%1\"");
        add(shell + "printto\\command", exe + " /p=\"%2\" \"%1\"");
        add(shell + "generate", "&Generate");
        add(shell + "generate\\command", exe + " /g \"%1\"");
        add(shell + "export", "E&xport");
        add(shell + "export\\command", exe + " /e \"%1\"");
        add(shell + "open\\command", exe + " \"%1\"");
        add(shell + "open\\ddeexec", "[open(\"%1\")]");
        add(shell + "open\\ddeexec\\application", "korrin");
        add(shell + "open\\ddeexec\\ifexec", "[NOP]");
        add(shell + "open\\ddeexec\\topic", "System");
    }
    table.push_back({"korrinvrd", "Korrin(VRD) Structure Diagram"});
    table.push_back({".vrd", "korrinvrd"});
    table.push_back({"korrinvq", "Korrin(VQ) Structure Diagram(old format)"});
    table.push_back({".vq", "korrinvrd"});
    return table;
}
