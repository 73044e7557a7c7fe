// The editor's command line and the DDE execute commands: any text is split,
// matched against every option and parsed without reading past it. The
// whole text is one command line (as a response file would give it), and
// so is each of its lines, so that one input can hold many command lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "app/dde_command.h"

namespace {

void parseAll(const std::string& text, bool printFileStandard) {
    // A response file's text ends at its first NUL and after 4096 bytes.
    std::string line = text.substr(0, text.find('\0')).substr(0, kResponseFileLimit);
    ArgumentList args;
    splitArguments(line, args);
    StartupOptions options;
    clearStartupOptions(options);
    parseOptions(args, options, printFileStandard);
    (void)isBatchStart(options);
    (void)isInitializeMode(line);

    DdeRequest request;
    (void)parseDdeCommand(text, request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const bool printFileStandard = size % 2 == 0;
    parseAll(text, printFileStandard);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start && end - start < text.size())
            parseAll(text.substr(start, end - start), printFileStandard);
    }
    return 0;
}
