// The three recent-file rings of the frame (recently opened files, recently
// inserted files, help files) over the settings' RecentList: entry 0 is the
// newest, and the list keeps at most `length` entries.
//
// Portable: no window-system calls.
#pragma once

#include "app/settings.h"

// Puts `path` first; an entry naming the same file (in any letter case)
// moves up instead of being repeated, and the oldest entry drops out when
// the list is full. Nothing happens for a list of length 0 or an empty path.
void recentAdd(RecentList& list, const char* path);
// Entry `k` (0 = newest), or null.
const char* recentEntry(const RecentList& list, int k);
// Removes entry `k`; false when there is none.
bool recentRemove(RecentList& list, int k);

// The menu text of entry `k`: "&1 " and the path, ampersands doubled, long
// paths shortened in the middle ("C:\...\dir\file.vrd"). Returns the length.
int recentMenuText(const RecentList& list, int k, char* out, int size);

// A help-file entry "menu text,help file" split at its first comma; false
// when there is no comma or either part is empty.
bool splitHelpEntry(const char* entry, char* text, int textSize, char* file, int fileSize);
