// The add-in record in both layouts, the checks every request passes, and
// the add-in commands of the settings.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/addin_link.h"
#include "resources/commands.h"

namespace {

const AddInPeer kLink{true, 0x10203, 4242};

AddInMessage request(std::uint32_t kind) {
    AddInMessage m;
    m.window = kLink.window;
    m.processId = kLink.processId;
    m.threadId = 7;
    m.reply = 0x7FFF0000;
    m.kind = kind;
    return m;
}

AddInRefusal check(AddInLayout layout, const std::vector<std::uint8_t>& bytes, AddInMessage& out,
                   std::uint64_t sender = kLink.window) {
    return checkAddInRequest(layout, kLink, sender, 0, bytes.data(), bytes.size(), out);
}

}  // namespace

TEST(AddInRecord, BothLayoutsCarryEveryField) {
    struct Case {
        AddInLayout layout;
        std::size_t kindAt, payloadAt, minimum;
    };
    for (const Case& c : {Case{AddInLayout::bits32, 48, 72, 76}, Case{AddInLayout::bits64, 56, 100, 104}}) {
        AddInMessage m = request(kAddInGoToLine);
        m.params[0] = 1;
        m.params[2] = 123;
        std::vector<std::uint8_t> bytes = encodeAddInRecord(c.layout, m);
        ASSERT_EQ(bytes.size(), c.minimum);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "KorrinAddInData");
        EXPECT_EQ(bytes[c.kindAt + 3], 0x80);
        EXPECT_EQ(bytes[c.kindAt], 3);
        AddInMessage out;
        ASSERT_EQ(check(c.layout, bytes, out), AddInRefusal::none);
        EXPECT_EQ(out.params[2], 123u);
        EXPECT_EQ(out.threadId, 7u);
        EXPECT_EQ(out.reply, 0x7FFF0000u);

        // A notice with a payload: the name and its zero follow the header.
        AddInMessage notice;
        notice.kind = kAddInGenerated;
        notice.payload = "C:\\out\\a.pas";
        notice.hasPayload = true;
        bytes = encodeAddInRecord(c.layout, notice);
        ASSERT_EQ(bytes.size(), c.minimum + 13);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + c.payloadAt)), "C:\\out\\a.pas");
        EXPECT_EQ(bytes[c.payloadAt - 4], 13);
    }
}

TEST(AddInRecord, EveryMalformedRequestIsRefused) {
    using Bytes = std::vector<std::uint8_t>;
    for (AddInLayout layout : {AddInLayout::bits32, AddInLayout::bits64}) {
        const AddInLayoutInfo& l = addInLayoutInfo(layout);
        AddInMessage open = request(kAddInOpen);
        open.payload = "C:\\a.vrd";
        open.hasPayload = true;
        const Bytes good = encodeAddInRecord(layout, open);
        AddInMessage out;
        ASSERT_EQ(check(layout, good, out), AddInRefusal::none);
        EXPECT_EQ(out.payload, "C:\\a.vrd");

        struct Case {
            const char* what;
            std::function<void(Bytes&)> spoil;
            AddInRefusal refusal;
        };
        const Case cases[] = {
            {"cut short", [&](Bytes& b) { b.resize(l.minimum - 1); }, AddInRefusal::tooShort},
            {"no reply address", [&](Bytes& b) { std::fill_n(b.begin() + l.reply, l.handleSize, 0); },
             AddInRefusal::noReply},
            {"wrong tag", [](Bytes& b) { b[0] = 'k'; }, AddInRefusal::wrongTag},
            {"other window", [&](Bytes& b) { b[l.window] ^= 1; }, AddInRefusal::wrongPeer},
            {"other process", [&](Bytes& b) { b[l.processId] ^= 1; }, AddInRefusal::wrongPeer},
            {"payload longer than received", [&](Bytes& b) { b[l.payloadLength] = 200; },
             AddInRefusal::badPayload},
            {"payload length near 4 GB", [&](Bytes& b) { std::fill_n(b.begin() + l.payloadLength, 4, 0xFF); },
             AddInRefusal::badPayload},
            {"name without its zero", [&](Bytes& b) { b[l.payload + 8] = 'x'; }, AddInRefusal::badPayload},
            {"unknown kind", [&](Bytes& b) { b[l.kind] = 0x0B; }, AddInRefusal::unknownKind},
            {"a notice kind", [&](Bytes& b) { b[l.kind + 3] = 0; }, AddInRefusal::unknownKind},
        };
        for (const Case& c : cases) {
            Bytes bytes = good;
            c.spoil(bytes);
            EXPECT_EQ(check(layout, bytes, out), c.refusal) << c.what;
        }
        EXPECT_EQ(check(layout, good, out, kLink.window + 1), AddInRefusal::otherSender);
        EXPECT_EQ(checkAddInRequest(layout, AddInPeer{}, kLink.window, 0, good.data(), good.size(), out),
                  AddInRefusal::notLinked);
        EXPECT_EQ(checkAddInRequest(layout, kLink, kLink.window, 1, good.data(), good.size(), out),
                  AddInRefusal::wrongDataType);
        EXPECT_EQ(checkAddInRequest(layout, kLink, kLink.window, 0, nullptr, 0, out), AddInRefusal::tooShort);

        // Special lines: the count must fit the payload.
        AddInMessage lines = request(kAddInSpecialLines);
        lines.payload = std::string("C:\\a.vrd") + '\0' + std::string("\x05\0\0\0\x09\0\0\0", 8);
        lines.hasPayload = true;
        lines.params[0] = 2;
        Bytes bytes = encodeAddInRecord(layout, lines);
        ASSERT_EQ(check(layout, bytes, out), AddInRefusal::none);
        std::string name;
        std::vector<std::uint32_t> numbers;
        ASSERT_TRUE(specialLinesOf(out, name, numbers));
        EXPECT_EQ(name, "C:\\a.vrd");
        EXPECT_EQ(numbers, (std::vector<std::uint32_t>{5, 9}));
        lines.params[0] = 3;
        EXPECT_EQ(check(layout, encodeAddInRecord(layout, lines), out), AddInRefusal::badParameters);
        lines.params[0] = 0x40000001;  // count * 4 overflows 32 bits
        EXPECT_EQ(check(layout, encodeAddInRecord(layout, lines), out), AddInRefusal::badParameters);

        // Copy the selection: a buffer and a positions record of 8 bytes.
        AddInMessage copy = request(kAddInCopySelection);
        copy.params[0] = 100;
        copy.params[1] = 8;
        copy.params[2] = 0x1000;
        copy.params[3] = 0x2000;
        EXPECT_EQ(check(layout, encodeAddInRecord(layout, copy), out), AddInRefusal::none);
        copy.params[1] = 4;
        EXPECT_EQ(check(layout, encodeAddInRecord(layout, copy), out), AddInRefusal::badParameters);
    }
}

// An AddInCmd entry: the menu text, the id and the rest of the fields.
std::string entry(const std::string& text, unsigned id, const std::string& rest = ",,1,\"\",\"\",0,\"\",#") {
    return text + "," + std::to_string(id) + rest;
}

TEST(AddInCommands, EntriesOfTheSettings) {
    const unsigned first = CMD_ADDIN_FIRST, last = CMD_ADDIN_LAST;
    AddInCommand c;
    ASSERT_TRUE(
        parseAddInCommand(entry("\"&Check\\tCtrl+F5\"", first,
                                ", \"Ctrl+F5\", \"tools.dll|CHECK\", \"Checks the diagram\", \"tools.hlp\", "
                                "12, \"x\", #"),
                          c));
    EXPECT_EQ(c.id, first);
    EXPECT_EQ(c.menuText, "&Check\tCtrl+F5");
    EXPECT_EQ(c.shortcut.modifiers(), 2u);
    EXPECT_EQ(c.shortcut.functionKey, 5u);
    EXPECT_EQ(c.imageModule, "tools.dll");
    EXPECT_EQ(c.imageName, "CHECK");
    EXPECT_EQ(c.helpText, "Checks the diagram");
    EXPECT_EQ(c.helpContext, 12u);
    ASSERT_TRUE(parseAddInCommand(entry("\"Run\"", last, ",,3,\"\",\"\",0,\"\",#"), c));
    EXPECT_EQ(c.imageNumber, 3);
    EXPECT_FALSE(c.shortcut.valid);

    const std::string skipped[] = {
        entry("\"Name\"", CMD_ADDIN_NAME),                         // the menu's own id
        entry("\"Name\"", CMD_ADDIN_EMPTY),                        // the placeholder's id
        entry("\"Name\"", first, ",\"F5\",1,\"\",\"\",0,\"\",#"),  // a shortcut without modifier
        entry("\"Name\"", first, ",\"Ctrl+F25\",1,\"\",\"\",0,\"\",#"),
        entry("\"Name\"", first, ",\"Ctrl+Meta+F2\",1,\"\",\"\",0,\"\",#"),
        entry("\"Name\"", first, ",,1,\"\",\"\",0,\"\""),    // no closing #
        entry("Name", first),                                // an unquoted menu text
        entry("\"\"", first),                                // an empty one
        entry("\"Name\"", first, ",,x,\"\",\"\",0,\"\",#"),  // an image that is neither
        "\"Name\",95x1,,1,\"\",\"\",0,\"\",#",
        entry("\"" + std::string(128, 'm') + "\"", first),  // a menu text too long
        "",
    };
    for (const std::string& e : skipped) EXPECT_FALSE(parseAddInCommand(e, c)) << e;

    std::vector<AddInCommand> table(2);
    table[0].id = first;
    table[0].shortcut = parseAddInShortcut("Shift+Alt+F12");
    table[1].id = first + 1;
    table[1].shortcut = parseAddInShortcut("ctrl+f1");
    EXPECT_EQ(addInCommandForKey(table, 12, 1 | 4), first);
    EXPECT_EQ(addInCommandForKey(table, 12, 1), 0u);
    EXPECT_EQ(addInCommandForKey(table, 1, 2), first + 1);
    EXPECT_EQ(addInMenuTitle(" \"My &Tools\" "), "My &Tools");
}

TEST(AddInCommands, MouseCommandsOfTheSettings) {
    const unsigned first = CMD_ADDIN_FIRST;
    struct Case {
        const char* value;
        bool valid;
        unsigned modifiers = 0;
        AddInButton button = kAddInLeft;
        bool doubleClick = false;
    };
    const std::string id = std::to_string(first);
    const Case cases[] = {
        {"\"Ctrl+Shift+Left\",ID", true, 3, kAddInLeft, false},
        {" \"alt + double right\" , ID ", true, 4, kAddInRight, true},
        {"\"Shift+Ctrl+Alt+Middle\",ID", true, 7, kAddInMiddle, false},
        {"\"Left\",ID", false},             // no modifier
        {"\"Double Left\",ID", false},      // no modifier either
        {"\"Ctrl+Double\",ID", false},      // no button
        {"\"Ctrl+Meta+Left\",ID", false},   // an unknown modifier
        {"\"Ctrl+Left+Shift\",ID", false},  // the button not last
        {"Ctrl+Left,ID", false},            // unquoted
        {"\"Ctrl+Left\",x", false},         // no id
        {"\"Ctrl+Left\"", false},           // nothing after the click
    };
    for (const Case& k : cases) {
        std::string value = k.value;
        if (const std::size_t at = value.find("ID"); at != std::string::npos) value.replace(at, 2, id);
        AddInMouseCommand m;
        ASSERT_EQ(parseAddInMouseCommand(value, m), k.valid) << value;
        if (!k.valid) continue;
        EXPECT_EQ(m.modifiers, k.modifiers) << value;
        EXPECT_EQ(m.button, k.button) << value;
        EXPECT_EQ(m.doubleClick, k.doubleClick) << value;
        EXPECT_EQ(m.command, first) << value;
    }
    AddInMouseCommand m;
    for (unsigned outside : {CMD_ADDIN_NAME, CMD_ADDIN_EMPTY})
        EXPECT_FALSE(parseAddInMouseCommand("\"Ctrl+Left\"," + std::to_string(outside), m));
    std::vector<AddInMouseCommand> table(2);
    ASSERT_TRUE(parseAddInMouseCommand("\"Ctrl+Left\"," + id, table[0]));
    ASSERT_TRUE(parseAddInMouseCommand("\"Ctrl+Double Left\"," + std::to_string(first + 1), table[1]));
    EXPECT_EQ(addInCommandForClick(table, kAddInLeft, false, 2), first);
    EXPECT_EQ(addInCommandForClick(table, kAddInLeft, true, 2), first + 1);
    EXPECT_EQ(addInCommandForClick(table, kAddInLeft, false, 3), 0u) << "modifiers match exactly";
    EXPECT_EQ(addInCommandForClick(table, kAddInRight, false, 2), 0u);
}
