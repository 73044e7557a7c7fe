// Slot access shared by the tree's own implementation files.
#pragma once

#include "core/construct_node.h"

// As childAt / setChildAt, but also for the edge types (49, 50), so that
// templates can build them and relinking keeps trees holding them sound.
// `has` (may be null) tells whether the type has the slot at all.
ConstructNode* childAtAny(const ConstructNode* node, Slot slot, bool* has);
int setChildAtAny(ConstructNode* child, ConstructNode* node, Slot slot);
