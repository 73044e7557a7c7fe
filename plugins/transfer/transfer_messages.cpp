// The texts of korrin-imp as a table, for builds without its resources.
#include "plugins/transfer/transfer_reader.h"

namespace {

struct MessageEntry {
    int id;
    const char* text;
};

constexpr MessageEntry kMessages[] = {
#define KSTR(id, name, text) {id, text},
#include "plugins/transfer/transfer_messages.def"
#undef KSTR
};

const char* find(int id) {
    for (const MessageEntry& m : kMessages)
        if (m.id == id) return m.text;
    return nullptr;
}

}  // namespace

const char* transferMessageText(int number, int language) {
    if (const char* text = find(number + language)) return text;
    return find(number + kLanguageEnglish);
}
