// korrin-conn's command line: any text is split, and the DDE and start
// commands are built from what the split gives.
#include <cstddef>
#include <cstdint>
#include <string>

#include "connector/connector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)wantsSyntax(text);
    ConnArguments args;
    if (!splitConnArguments(text, args)) return 0;
    (void)fileExtension(args.fileName);
    (void)ddeExecuteText(args.fileName, args.line);
    (void)applicationOfCommand(args.rest);
    (void)startCommandLine(args.rest, args);
    (void)startCommandLine("\"C:\\K\\korrin.exe\" \"%1\"", args);
    return 0;
}
