// The reader of transfer files: everything korrin-imp does, over an
// environment that supplies the file's bytes and the texts. The DLL
// (korrin_imp_win32.cpp) is a thin shell over it; native tests and the fuzz
// target drive it directly through the same parameter block and callbacks.
//
// What it does with one call (the plug-in's korrin_parse):
//   refuses a nested call (11) and interface versions outside 10007..10009
//   (12); allocates its work area (18 on failure); loads the keyword texts;
//   checks the header's edition; sends the short information and the options
//   as attributes (1000..1011); describes the tree through the callbacks as
//   the content of the top segment (owner 14, slot 4) and ends the outer
//   sequence. Messages go to parse_error_v2 with the prefix "Line %u:
//   Error: " or "Line %u: Warning: " (the line of the entry in the file) and
//   are counted through the block's counters. Returns 2 after errors, 1
//   after warnings only, 0 otherwise; 10 when constructs nest deeper than
//   the editor can read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "import/parser_interface.h"

// Message numbers; the text of number n in language L is string n + L.
enum TransferMessage : int {
    kMsgErrorPrefix = 100,
    kMsgWarningPrefix = 200,
    kMsgExpected = 300,
    kMsgInvalidKeyword = 400,
    kMsgTooLong = 500,
    kMsgNotEmpty = 600,
    kMsgOtherEdition = 700,
    kMsgUnexpected = 800,
    kMsgEndOfFile = 900,
    kMsgIncomplete = 1000,
    kMsgInvalidElement = 1100,
    kMsgEdition = 1200,
};

struct TransferEnvironment {
    // Reads up to `size` bytes of the open file, already in the editor's
    // character set: the count, 0 at the end, -1 on an error.
    std::int32_t (*read)(void* context, char* buffer, std::int32_t size);
    // Copies the text of keyword `index` (0..257); returns its length, 0
    // when the keyword has no text.
    int (*keyword)(void* context, int index, char* buffer, int size);
    // Copies the text of message `number` in the editor's language.
    int (*message)(void* context, int number, char* buffer, int size);
    void* context;
    // Zero-filled blocks; null uses the C library.
    void* (*allocate)(std::size_t size) = nullptr;
    void (*release)(void* block) = nullptr;
};

std::uint32_t transferParse(ParserBlock* block, const TransferEnvironment& env);

// Limits of the reader.
constexpr int kTransferValueLimit = 29984;  // characters of a joined value
constexpr int kTransferLineLimit = 32767;   // characters of a line in the file
constexpr int kTransferMaxNesting = 8000;   // constructs open inside each other
constexpr int kTransferColourLimit = 253;   // characters of the colour list taken

// The portable table of the texts (transfer_messages.def), for native
// builds: the text of message `number` in `language`, English when the
// language has none; null for an unknown number.
const char* transferMessageText(int number, int language);
