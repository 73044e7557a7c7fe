// korrin-imp without its DLL: the reader over the block's platform file
// handle, the keyword texts from the string table of the program it runs
// in, and the messages from the portable table. Native tests, the fuzz
// target and the benchmark call it where the editor would call the DLL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/parser_interface.h"
#include "plugins/transfer/transfer_reader.h"

extern "C" std::uint32_t KORRIN_STDCALL transfer_parse_native(ParserBlock* block);

// The language of the messages (kLanguageEnglish by default).
void setTransferNativeLanguage(int language);
// The allocator of the reader (null: the C library), to fail its
// allocations in tests.
void setTransferNativeAllocator(void* (*allocate)(std::size_t), void (*release)(void*));

// The same over bytes in memory (the fuzz target): `read` state for
// TransferEnvironment::read.
struct TransferMemoryInput {
    const char* data;
    std::size_t size;
    std::size_t position;
    bool oem;
};
std::int32_t transferReadMemory(void* context, char* buffer, std::int32_t size);
// The environment over `input` with the native texts.
TransferEnvironment transferMemoryEnvironment(TransferMemoryInput* input);
