// Helpers for the Pascal parser tests: a fixture that imports source texts
// through the editor's real import (runImport) with korrin-pas's parser
// bound in process, a compact description of the resulting trees, and the
// round trip through the generator.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/construct_node.h"
#include "import/parser_import.h"
#include "tests/generator/generator_helpers.h"

namespace pascal_test {

// A sequence as compact text. A construct is its name followed by its
// child sequences in slot order; a child sequence that is one text is shown
// as <text>, a Dummy as -, any other sequence in brackets. A text in a
// sequence is shown quoted; a segment as Seg<header>[content]. Line breaks
// of texts are shown as |.
std::string brief(const ConstructNode* head);

// The repository's test corpus folder (tests/pascal/corpus).
std::string corpusDir();

class PascalTest : public gen_test::GeneratorTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a language configuration whose ParseOptions name korrin-pas.dll
    // and add `options` (lines "Key=value\r\n"), and makes it the one in force.
    void options(const std::string& lines, const std::string& settings = "SourceFileFormat=ANSI\r\n");
    // Imports `source` (written to a file named `name`) through runImport.
    // The root (freed by the fixture), or null; the error file's text is in
    // `errors`.
    ConstructNode* import(const std::string& source, const std::string& name = "source.pas");
    // The content of the top segment of an import, briefly, or "failed".
    std::string parse(const std::string& source);
    // Imports `source` with examples/pascal.cfg in force and generates
    // Pascal from the diagram; the generated text, or "" on failure.
    std::string generateFrom(const std::string& source, const std::string& name);

    std::string errors;
    std::vector<ConstructNode*> roots;
    ImportEnvironment savedEnvironment{};
};

// Lines of a generated text without the line that names the time and file.
std::string withoutStamp(const std::string& generated);

}  // namespace pascal_test
