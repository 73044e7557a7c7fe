// The diagrams behind the golden sources (tests/generator/golden/) and the
// Pascal example programs (examples/): each built construct by construct.
#pragma once

#include <span>

#include "core/construct_node.h"
#include "core/diagram_document.h"

namespace gen_test {

struct ExampleDiagram {
    const char* name;                               // file name without extension
    ConstructNode* (*build)(DiagramDocument& doc);  // the root, a top segment
};

// Little programs: loops; case and if-else-if chains with and/or/not;
// procedures, functions and nested segments.
std::span<const ExampleDiagram> pascalExamples();
// Every construct the generator writes; nested segments; multi-line texts
// and labels.
std::span<const ExampleDiagram> goldenDiagrams();

}  // namespace gen_test
