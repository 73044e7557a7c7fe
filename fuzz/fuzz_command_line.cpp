// The editor's command line and the DDE execute commands: any text is split,
// matched against every option and parsed without reading past it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "app/dde_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // A response file's text ends at its first NUL and after 4096 bytes.
    std::string line = text.substr(0, text.find('\0')).substr(0, kResponseFileLimit);

    ArgumentList args;
    splitArguments(line, args);
    StartupOptions options;
    clearStartupOptions(options);
    parseOptions(args, options, size % 2 == 0);
    (void)isBatchStart(options);
    (void)isInitializeMode(line);

    DdeRequest request;
    (void)parseDdeCommand(text, request);
    return 0;
}
