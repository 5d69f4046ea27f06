// Forms are laid out in pixels of a 96-dpi screen (Small Fonts). On a screen of another logical
// DPI (Large Fonts: 120) their fonts, set in points, grow with it, so every design length a form
// or page uses (positions, sizes, column and panel widths, margins of its runtime layouts) is
// scaled by the screen's DPI over 96 when it enters: through TControl::Scaled, which reads the
// DPI once per application. Lengths the user made (stored placements and column widths) are in
// the pixels of the screen they were made on and are taken as they are.
#pragma once

namespace taskwell {

// The logical DPI the design lengths are given in.
constexpr int kDesignDpi = 96;

// A design length in pixels of a screen of the given logical DPI: length * dpi / 96 rounded to the
// nearest pixel, halves away from zero (as the system's MulDiv rounds). A nonzero length never
// becomes 0 (a 1-pixel gap stays a gap far below 96 dpi). A DPI the system cannot mean (0 when its
// call failed, or beyond any screen: outside 24..480) counts as 96, which changes nothing.
int ScaleDesignLength(int length, int dpi);

}  // namespace taskwell
