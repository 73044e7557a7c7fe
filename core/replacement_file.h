// Files written in place of others only once they are complete: the new
// content goes to a work file beside the target, which replaces the target
// at the end. A write that fails leaves the target as it was (a transfer
// file or a generated source the user already has is never lost to a
// failed run).
#pragma once

#include "core/diagram_document.h"

// The work file for `target`: its full path with "~new" appended. False
// when that does not fit.
bool replacementWorkName(const char* target, char out[kPathSize]);

// Puts the complete `work` file in the place of `target` (which need not
// exist). False when the target cannot be replaced: the work file is
// deleted and the target stays as it was.
bool replaceWithWorkFile(const char* work, const char* target);
