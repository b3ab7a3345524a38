// BuildImages' work for THemisphereButton: masks and filled ellipses through GDI, the per-pixel shading
// directly in the DIB sections of 32-bit working bitmaps.
#pragma once

#include "controls/hemisphere/HemiShade.h"
#include "framework/Graphics.h"

class THemisphereButton;

// The pixels of a 32-bit bitmap, top row first (pending GDI drawing is flushed first).
hemi::TPixelView PixelView(TBitmap& bitmap);

// Renders the button's ImageOut, ImageIn and ImageMask from its properties at its current size.
void RenderHemisphereImages(THemisphereButton& button);
