// The texts of korrin-pas as a table, for builds without its resources.
#include "plugins/message_table.h"
#include "plugins/pascal/pascal_parser.h"

namespace {

constexpr PluginMessage kMessages[] = {
#define KSTR(id, name, text) {id, text},
#include "plugins/pascal/pascal_messages.def"
#undef KSTR
};

}  // namespace

const char* pascalMessageText(int number, int language) {
    return pluginMessageText(kMessages, number, language);
}
