// korrin-pas without its DLL: the parser over the block's platform file
// handle, the options through the platform's profile reading, and the
// messages from the portable table. Native tests, the fuzz target and the
// benchmark call it where the editor would call the DLL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/parser_interface.h"
#include "plugins/pascal/pascal_parser.h"

extern "C" std::uint32_t KORRIN_STDCALL pascal_parse_native(ParserBlock* block);

// The editor's language (kLanguageEnglish by default).
void setPascalNativeLanguage(int language);
// The allocator of the parser (null: the C library), to fail its
// allocations in tests.
void setPascalNativeAllocator(void* (*allocate)(std::size_t), void (*release)(void*));

// The same over bytes in memory (fuzz target, benchmark).
struct PascalMemoryInput {
    const char* data;
    std::size_t size;
    std::size_t position;
    // Options by key (null: every option absent). Returns the value or null.
    const char* (*option)(const char* key);
};
// The environment over `input` with the native texts.
PascalEnvironment pascalMemoryEnvironment(PascalMemoryInput* input);
