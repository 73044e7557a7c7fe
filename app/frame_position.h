// Where the frame opens: the rules for the rectangle saved in
// `WindowCoordinates`.
//
// Portable: rectangles are the settings' SettingsRect (left, top, right,
// bottom in screen coordinates).
#pragma once

#include "app/settings.h"

// A saved rectangle is used only when it is at least a caption height wide
// and high and at least a caption height of it (in both directions) lies on
// the screen.
bool frameRectAcceptable(const SettingsRect& rect, const SettingsRect& screen, int captionHeight);

// Whether another frame of the program covers exactly `rect`.
using FrameTaken = bool (*)(const SettingsRect& rect, void* context);

// Moves `rect` right and down by a caption height while another frame sits
// exactly on it; when its centre would leave the screen it moves back
// toward the top left by caption height times the smaller of top / caption
// height and left / caption height. Stops when no frame is hit, or when the
// rectangle comes back to where it started.
SettingsRect placeFrameRect(SettingsRect rect, const SettingsRect& screen, int captionHeight,
                            FrameTaken taken, void* context);
