// The texts of a plug-in as a table, for builds without its resources
// (native tests, fuzz targets, benchmarks): the entries of its .def file,
// found by message number plus language, English when the language lacks
// one.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "import/parser_interface.h"

struct PluginMessage {
    int id;
    const char* text;
};

template <std::size_t N>
const char* pluginMessageText(const PluginMessage (&table)[N], int number, int language) {
    for (int id : {number + language, number + kLanguageEnglish})
        for (const PluginMessage& m : table)
            if (m.id == id) return m.text;
    return nullptr;
}
