// The texts of korrin-imp as a table, for builds without its resources.
#include "plugins/message_table.h"
#include "plugins/transfer/transfer_reader.h"

namespace {

constexpr PluginMessage kMessages[] = {
#define KSTR(id, name, text) {id, text},
#include "plugins/transfer/transfer_messages.def"
#undef KSTR
};

}  // namespace

const char* transferMessageText(int number, int language) {
    return pluginMessageText(kMessages, number, language);
}
