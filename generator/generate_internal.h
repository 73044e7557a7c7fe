// What the Generate commands and Generate all share.
#pragma once

#include <cstddef>

#include "core/path.h"
#include "generator/generator.h"

// The diagram's file name without directory and extension.
void diagramBaseName(const DiagramDocument* document, char* out, std::size_t size);
// Whether `path` names the diagram's own file.
bool isOwnFile(const DiagramDocument* document, const char* path);
// The output file in `directory` (kPathSize): the diagram's name with the
// generation extension. False when the path does not fit.
bool outputPathIn(const DiagramDocument* document, const char* directory, char* out);
// The standard generate directory of the hooks ("" for none).
void generatorGenerateDirectory(char* out);
// A generation into `outputPath` once the configuration and the output are
// settled: the two files, the template table, the whole diagram, then
// success or failure for the working copy, and saving afterwards.
int generateInto(DiagramDocument* document, const char* outputPath, bool batch, bool saveAfter,
                 GenerateTarget* target);
