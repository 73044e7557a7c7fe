#include "app/addin_link.h"

#include <cstddef>
#include <cstring>

#include "core/construct_node.h"
#include "view/segment_window.h"

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AddInRecord) == 76);
static_assert(offsetof(AddInRecord, window) == 32);
static_assert(offsetof(AddInRecord, processId) == 36);
static_assert(offsetof(AddInRecord, threadId) == 40);
static_assert(offsetof(AddInRecord, reply) == 44);
static_assert(offsetof(AddInRecord, kind) == 48);
static_assert(offsetof(AddInRecord, params) == 52);
static_assert(offsetof(AddInRecord, payloadLength) == 68);
static_assert(offsetof(AddInRecord, payload) == 72);
#else
static_assert(sizeof(void*) == 8);
static_assert(sizeof(AddInRecord) == 104);
static_assert(offsetof(AddInRecord, window) == 32);
static_assert(offsetof(AddInRecord, processId) == 40);
static_assert(offsetof(AddInRecord, threadId) == 44);
static_assert(offsetof(AddInRecord, reply) == 48);
static_assert(offsetof(AddInRecord, kind) == 56);
static_assert(offsetof(AddInRecord, params) == 64);
static_assert(offsetof(AddInRecord, payloadLength) == 96);
static_assert(offsetof(AddInRecord, payload) == 100);
#endif

namespace {

constexpr AddInLayoutInfo kLayouts[2] = {
    {32, 36, 40, 44, 48, 52, 4, 68, 72, 76, 4},
    {32, 40, 44, 48, 56, 64, 8, 96, 100, 104, 8},
};

std::uint64_t get(const std::uint8_t* data, std::size_t at, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
    return value;
}

void put(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Requests whose payload is a file name.
bool needsFileName(std::uint32_t kind) {
    return kind == kAddInOpen || kind == kAddInSpecialLines || kind == kAddInCloseDiagram;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The fields of an AddInCmd value: split at commas outside double quotes.
std::vector<std::string_view> fields(std::string_view value) {
    std::vector<std::string_view> out;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == '"') quoted = !quoted;
        if (i == value.size() || (value[i] == ',' && !quoted)) {
            out.push_back(trim(value.substr(start, i - start)));
            start = i + 1;
        }
    }
    return out;
}

// A field that must be a quoted text.
bool quotedText(std::string_view field, std::string& out) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return false;
    out = std::string(field.substr(1, field.size() - 2));
    return out.find('"') == std::string::npos;
}

bool number(std::string_view field, unsigned long& out) {
    if (field.empty() || field.size() > 9) return false;
    out = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

}  // namespace

const AddInLayoutInfo& addInLayoutInfo(AddInLayout layout) {
    return kLayouts[layout == AddInLayout::bits32 ? 0 : 1];
}

std::vector<std::uint8_t> encodeAddInRecord(AddInLayout layout, const AddInMessage& message) {
    const AddInLayoutInfo& l = addInLayoutInfo(layout);
    const std::size_t payloadLength = message.hasPayload ? message.payload.size() + 1 : 0;
    std::vector<std::uint8_t> out(l.minimum + payloadLength, 0);
    std::memcpy(out.data(), kAddInTag, sizeof kAddInTag);
    put(out, l.window, message.window, l.handleSize);
    put(out, l.processId, message.processId, 4);
    put(out, l.threadId, message.threadId, 4);
    put(out, l.reply, message.reply, l.handleSize);
    put(out, l.kind, message.kind, 4);
    for (int i = 0; i < 4; ++i)
        put(out, l.params + static_cast<std::size_t>(i) * l.paramSize, message.params[i], l.paramSize);
    put(out, l.payloadLength, payloadLength, 4);
    if (payloadLength) std::memcpy(out.data() + l.payload, message.payload.data(), message.payload.size());
    return out;
}

AddInRefusal checkAddInRequest(AddInLayout layout, const AddInPeer& link, std::uint64_t sender,
                               std::uint32_t dataType, const std::uint8_t* data, std::size_t size,
                               AddInMessage& out) {
    out = AddInMessage{};
    const AddInLayoutInfo& l = addInLayoutInfo(layout);
    if (!link.active) return AddInRefusal::notLinked;
    if (sender != link.window) return AddInRefusal::otherSender;
    if (dataType != 0) return AddInRefusal::wrongDataType;
    if (!data || size < l.minimum) return AddInRefusal::tooShort;
    out.reply = get(data, l.reply, l.handleSize);
    if (!out.reply) return AddInRefusal::noReply;
    if (std::memcmp(data, kAddInTag, sizeof kAddInTag) != 0) return AddInRefusal::wrongTag;
    out.window = get(data, l.window, l.handleSize);
    out.processId = static_cast<std::uint32_t>(get(data, l.processId, 4));
    out.threadId = static_cast<std::uint32_t>(get(data, l.threadId, 4));
    if (out.window != link.window || out.processId != link.processId) return AddInRefusal::wrongPeer;
    out.kind = static_cast<std::uint32_t>(get(data, l.kind, 4));
    for (int i = 0; i < 4; ++i)
        out.params[i] = get(data, l.params + static_cast<std::size_t>(i) * l.paramSize, l.paramSize);
    const std::uint64_t payloadLength = get(data, l.payloadLength, 4);
    if (payloadLength > size - l.payload) return AddInRefusal::badPayload;
    const char* payload = reinterpret_cast<const char*>(data + l.payload);
    if (payloadLength) {
        const void* zero = std::memchr(payload, 0, static_cast<std::size_t>(payloadLength));
        std::size_t text = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - payload)
                                : static_cast<std::size_t>(payloadLength);
        out.payload.assign(payload, text);
        out.hasPayload = zero != nullptr;
    }
    if (out.kind < kAddInClose || out.kind > kAddInCloseDiagram ||
        (out.kind > kAddInCopySelection && out.kind != kAddInCloseDiagram))
        return AddInRefusal::unknownKind;
    if (needsFileName(out.kind) && (!out.hasPayload || out.payload.empty())) return AddInRefusal::badPayload;
    if (out.kind == kAddInSpecialLines) {
        // The line numbers follow the name's zero, count of them.
        const std::uint64_t count = out.params[0] & 0xFFFFFFFFu;
        if (count * 4 >= payloadLength || out.payload.size() + 1 + count * 4 > payloadLength)
            return AddInRefusal::badParameters;
        out.payload.assign(payload, static_cast<std::size_t>(payloadLength));
    }
    if (out.kind == kAddInCopySelection &&
        (out.params[0] == 0 || out.params[1] < 8 || !out.params[2] || !out.params[3]))
        return AddInRefusal::badParameters;
    return AddInRefusal::none;
}

bool specialLinesOf(const AddInMessage& request, std::string& fileName, std::vector<std::uint32_t>& lines) {
    lines.clear();
    const std::size_t zero = request.payload.find('\0');
    if (request.kind != kAddInSpecialLines || zero == std::string::npos) return false;
    fileName = request.payload.substr(0, zero);
    const std::size_t count = static_cast<std::size_t>(request.params[0] & 0xFFFFFFFFu);
    if (zero + 1 + count * 4 > request.payload.size()) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.payload.data()) + zero + 1;
    for (std::size_t i = 0; i < count; ++i) lines.push_back(static_cast<std::uint32_t>(get(bytes, i * 4, 4)));
    return true;
}

namespace {

// "Ctrl+Shift+<last>": the modifier words (lower case) before the last
// word; false for an unknown word or none at all.
bool modifiersBefore(std::string_view text, AddInShortcut& mods, std::string& last) {
    const std::string t = lower(trim(text));
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = t.find('+', start);
        std::string word(trim(
            std::string_view(t).substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
        if (plus == std::string::npos) {
            last = word;
            return mods.shift || mods.ctrl || mods.alt;
        }
        if (word == "ctrl")
            mods.ctrl = true;
        else if (word == "shift")
            mods.shift = true;
        else if (word == "alt")
            mods.alt = true;
        else
            return false;
        start = plus + 1;
    }
}

}  // namespace

AddInShortcut parseAddInShortcut(std::string_view text) {
    AddInShortcut out;
    std::string key;
    unsigned long functionKey = 0;
    if (!modifiersBefore(text, out, key) || key.size() < 2 || key[0] != 'f' ||
        !number(std::string_view(key).substr(1), functionKey) || functionKey < 1 || functionKey > 24)
        return AddInShortcut{};
    out.functionKey = static_cast<unsigned>(functionKey);
    out.valid = true;
    return out;
}

bool parseAddInMouseCommand(std::string_view value, AddInMouseCommand& out) {
    out = AddInMouseCommand{};
    const std::vector<std::string_view> f = fields(trim(value));
    std::string click, button;
    unsigned long id = 0;
    AddInShortcut mods;
    if (f.size() != 2 || !quotedText(f[0], click) || !number(f[1], id) || id < kAddInFirstCommand ||
        id > kAddInLastCommand || !modifiersBefore(click, mods, button))
        return false;
    if (button.rfind("double ", 0) == 0) {
        out.doubleClick = true;
        button = std::string(trim(std::string_view(button).substr(7)));
    }
    if (button == "left")
        out.button = kAddInLeft;
    else if (button == "right")
        out.button = kAddInRight;
    else if (button == "middle")
        out.button = kAddInMiddle;
    else
        return false;
    out.modifiers = mods.modifiers();
    out.command = static_cast<unsigned>(id);
    return true;
}

unsigned addInCommandForClick(const std::vector<AddInMouseCommand>& commands, AddInButton button,
                              bool doubleClick, unsigned modifiers) {
    for (const AddInMouseCommand& c : commands)
        if (c.button == button && c.doubleClick == doubleClick && c.modifiers == modifiers) return c.command;
    return 0;
}

bool parseAddInCommand(std::string_view value, AddInCommand& out) {
    out = AddInCommand{};
    const std::vector<std::string_view> f = fields(trim(value));
    if (f.size() != 9 || f[8] != "#") return false;
    if (!quotedText(f[0], out.menuText) || out.menuText.empty() || out.menuText.size() > kAddInMenuTextMax)
        return false;
    for (std::size_t at; (at = out.menuText.find("\\t")) != std::string::npos;)
        out.menuText.replace(at, 2, "\t");
    unsigned long id = 0;
    if (!number(f[1], id) || id < kAddInFirstCommand || id > kAddInLastCommand) return false;
    out.id = static_cast<unsigned>(id);
    if (!f[2].empty()) {
        std::string shortcut;
        if (!quotedText(f[2], shortcut)) return false;
        out.shortcut = parseAddInShortcut(shortcut);
        if (!out.shortcut.valid) return false;
    }
    unsigned long image = 0;
    std::string module;
    if (quotedText(f[3], module)) {
        const std::size_t bar = module.find('|');
        out.imageModule = module.substr(0, bar);
        if (bar != std::string::npos) out.imageName = module.substr(bar + 1);
        if (out.imageModule.empty()) return false;
    } else if (number(f[3], image)) {
        out.imageNumber = static_cast<int>(image);
    } else if (!f[3].empty()) {
        return false;
    }
    unsigned long context = 0;
    if (!quotedText(f[4], out.helpText) || !quotedText(f[5], out.helpFile) || !number(f[6], context) ||
        !quotedText(f[7], out.extra))
        return false;
    out.helpContext = static_cast<unsigned>(context);
    return true;
}

std::string addInMenuTitle(std::string_view value) {
    std::string_view v = trim(value);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

unsigned addInCommandForKey(const std::vector<AddInCommand>& commands, unsigned functionKey,
                            unsigned modifiers) {
    for (const AddInCommand& c : commands)
        if (c.shortcut.valid && c.shortcut.functionKey == functionKey && c.shortcut.modifiers() == modifiers)
            return c.id;
    return 0;
}

std::int32_t relatedLine(DiagramDocument* document, long line, unsigned relation) {
    if (relation == kRelationNextLine) {
        const LineSearch next = findLine(document, line + 1);
        const ConstructNode* node = next.exact ? next.exact : next.succeeding;
        return node ? node->lineNumber : 0;
    }
    const ConstructNode* node = findLine(document, line).exact;
    if (!node) return 0;
    // The predecessor of a node is its `up` when that holds it as `next`.
    auto previous = [](const ConstructNode* n) -> const ConstructNode* {
        return n->up && n->up->next == n ? n->up : nullptr;
    };
    const ConstructNode* related = nullptr;
    switch (relation) {
        case kRelationSelf:
            related = node;
            break;
        case kRelationEnclosing:
            // The nearest owner that carries a line; a segment's
            // constructs lie inside the segment's own construct.
            related = ownerOf(node);
            while (related && related->lineNumber <= 0) related = ownerOf(related);
            break;
        case kRelationPrevious:
            related = previous(node);
            break;
        case kRelationNext:
            related = node->next;
            break;
        case kRelationFirst:
            related = node;
            while (const ConstructNode* p = previous(related)) related = p;
            break;
        case kRelationLast:
            related = node;
            while (related->next) related = related->next;
            break;
        default:
            break;
    }
    return related ? related->lineNumber : 0;
}
