// Parser callbacks that keep nothing and only count the elements: a
// parser's own share of a conversion, measured without the editor.
#pragma once

#include <cstdint>

#include "import/parser_interface.h"

namespace bench_sink {

inline std::int64_t g_elements = 0;

inline std::int32_t KORRIN_STDCALL element(void*, std::int32_t, std::int32_t, const char*, std::int32_t,
                                           const void*, const char*, const void*, const void*, const char*,
                                           std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
    ++g_elements;
    return 0;
}
inline std::int32_t KORRIN_STDCALL levelStart(void*, std::int32_t, const char*, std::int32_t, const void*,
                                              std::int32_t* pos, std::uint32_t, const char*, std::int32_t,
                                              std::int32_t, const char*, const void*, const void*) {
    *pos = 0;
    ++g_elements;
    return 0;
}
inline std::int32_t KORRIN_STDCALL levelEnd(void*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
    return 0;
}
inline std::int32_t KORRIN_STDCALL treeStart(void*, std::int32_t, std::int32_t) {
    return 0;
}
inline std::int32_t KORRIN_STDCALL treeEnd(void*) {
    return 0;
}
inline std::int32_t KORRIN_STDCALL parseError(std::int32_t, const char*, std::int32_t) {
    return 0;
}

// Points the block's callbacks at the sink.
inline void install(ParserBlock& block) {
    block.writeElement = element;
    block.writeLevelStart = levelStart;
    block.writeLevelEnd = levelEnd;
    block.writeTreeStart = treeStart;
    block.writeTreeEnd = treeEnd;
    block.parseError = parseError;
}

}  // namespace bench_sink
