// korrin-test-parser.dll: a parser plug-in for the tests of the editor's
// binding. The open file holds the result code to return (a decimal
// number). It describes a top segment (id 0, head "top") holding a text and
// a second segment (id 0, head "inner"), writes a trace line, and reports
// one warning with result 1 and one error with result 2.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "import/parser_interface.h"

extern "C" __declspec(dllexport) std::uint32_t __stdcall korrin_parse(ParserBlock* block) {
    if (!block || block->interfaceVersion != kParserInterfaceVersion) return kParseBadVersion;
    char text[32] = {};
    DWORD got = 0;
    ReadFile(reinterpret_cast<HANDLE>(block->sourceFile), text, sizeof text - 1, &got, nullptr);
    const auto result = static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));

    void* tree = block->treeContext;
    block->writeDebug("test parser");
    std::int32_t outer = 0;
    std::int32_t inner = 0;
    block->writeLevelStart(tree, 1, "top", 1, nullptr, &outer, 0, nullptr, 0, 0, "main", nullptr, nullptr);
    block->writeTreeStart(tree, 14, 4);
    block->writeElement(tree, 2, 15, "first", 1, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0);
    block->writeLevelStart(tree, 3, "inner", 3, nullptr, &inner, 0, nullptr, 0, 0, nullptr, nullptr, nullptr);
    block->writeTreeStart(tree, 14, 4);
    block->writeElement(tree, 4, 15, "second", 1, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0);
    block->writeTreeEnd(tree);
    block->writeLevelEnd(tree, inner, 30, 40, 2);
    block->writeTreeEnd(tree);
    block->writeLevelEnd(tree, outer, 0, 100, 5);
    block->writeTreeEnd(tree);
    if (result == kParseWarnings) {
        block->parseError(3, "Line 3: Warning: test warning", 0);
        ++*block->warningCounter;
    } else if (result == kParseErrors) {
        block->parseError(2, "Line 2: Error: test error", 0);
        ++*block->errorCounter;
    }
    return result;
}
