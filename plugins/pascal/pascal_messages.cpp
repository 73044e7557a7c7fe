// The texts of korrin-pas as a table, for builds without its resources.
#include "plugins/pascal/pascal_parser.h"

namespace {

struct MessageEntry {
    int id;
    const char* text;
};

constexpr MessageEntry kMessages[] = {
#define KSTR(id, name, text) {id, text},
#include "plugins/pascal/pascal_messages.def"
#undef KSTR
};

const char* find(int id) {
    for (const MessageEntry& m : kMessages)
        if (m.id == id) return m.text;
    return nullptr;
}

}  // namespace

const char* pascalMessageText(int number, int language) {
    if (const char* text = find(number + language)) return text;
    return find(number + kLanguageEnglish);
}
