// A line graph as a child window drawn by the peer: the background in the graph's colour, grid lines
// every step of both axes in the axis colour, and each visible series as a line in its own colour,
// x running from the x axis's minimum at the left edge to its maximum at the right, y from the y
// axis's minimum at the bottom to its maximum at the top. The plot fills the window: no labels,
// legend or margins. Lines leaving the plot are cut at its edges.
//
// The picture is drawn into a bitmap kept by the peer and copied to the window in one go, so the
// window never shows a half-drawn graph. It is drawn again when the graph announces a new picture
// (not while plotting is off: the last picture stays) or the window's size changes.
#pragma once

#include <memory>
#include <vector>

#include "platform/win32/Win32PaintedPeer.h"

namespace taskwell {
class TxyGraph;
}

namespace taskwell::win32 {

class Win32GraphPeer : public Win32PaintedPeer {
public:
    static std::unique_ptr<Win32GraphPeer> Create(Win32UiBackend& backend, TxyGraph& graph);
    Win32GraphPeer(Win32UiBackend& backend, TxyGraph& graph);
    ~Win32GraphPeer() override;

    // Where a value falls on an axis of `pixels` pixels from min to max: 0 at min, pixels - 1 at
    // max (on the y axis the caller turns it upside down). Values outside the range fall outside.
    static double Position(double value, double min, double max, int pixels);
    // The multiples of step within min..max (both ends included when they are multiples), at most
    // `limit` of them.
    static std::vector<double> GridValues(double min, double max, double step, int limit = 1000);
    // Cuts the segment (x0,y0)-(x1,y1) to the rectangle left..right, top..bottom; false when no
    // part of it lies inside.
    static bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                            double bottom);

protected:
    void Apply(Change what, int index) override;

private:
    void Render(::HDC dc, int width, int height);
    void Paint(::HDC dc) override;

    // Deletes the picture and its device context (a new size, or the peer going).
    void DropPicture();

    ::HBITMAP picture_ = nullptr;       // the last picture drawn
    ::HDC memory_ = nullptr;            // the device context the picture stays selected into
    ::HGDIOBJ memoryDefault_ = nullptr;  // that context's own bitmap, put back before deleting it
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    bool stale_ = true;  // the graph changed since the picture was drawn
};

}  // namespace taskwell::win32
