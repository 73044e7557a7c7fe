// The add-in link: any bytes received as a request are checked in both
// layouts without reading past them, and what passes is read as a request
// would be; the same bytes as an AddInCmd and a MouseCmd entry of the
// settings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/addin_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that a read past the end is seen.
    std::vector<std::uint8_t> bytes(data, data + size);
    for (AddInLayout layout : {AddInLayout::bits32, AddInLayout::bits64}) {
        const AddInLayoutInfo& l = addInLayoutInfo(layout);
        AddInPeer link{true, 0, 0};
        // The link is the one the record names, so that the later checks run.
        if (size >= l.minimum) {
            for (std::size_t i = 0; i < l.handleSize; ++i)
                link.window |= std::uint64_t{data[l.window + i]} << (8 * i);
            for (std::size_t i = 0; i < 4; ++i)
                link.processId |= std::uint32_t{data[l.processId + i]} << (8 * i);
        }
        AddInMessage message;
        if (checkAddInRequest(layout, link, link.window, 0, bytes.data(), bytes.size(), message) ==
            AddInRefusal::none) {
            std::string name;
            std::vector<std::uint32_t> lines;
            (void)specialLinesOf(message, name, lines);
            (void)encodeAddInRecord(layout, message);
        }
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    AddInCommand command;
    (void)parseAddInCommand(text, command);
    AddInMouseCommand mouse;
    (void)parseAddInMouseCommand(text, mouse);
    return 0;
}
