#include "platform/win32/Win32GraphPeer.h"

#include <cmath>

#include "platform/win32/Win32UiBackend.h"
#include "ui/TxyGraph.h"

namespace taskwell::win32 {

namespace {

// A usable axis: a finite range of positive length.
bool Usable(const TGraphAxis& axis) {
    return std::isfinite(axis.Min) && std::isfinite(axis.Max) && axis.Max > axis.Min;
}

COLORREF Colour(int bbggrr) {
    return static_cast<COLORREF>(bbggrr & 0xFFFFFF);
}

::POINT Pixel(double x, double y) {
    return ::POINT{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
}

// A pen selected into a device context for the lifetime of a scope, then deleted.
class PenScope {
public:
    PenScope(::HDC dc, COLORREF colour) : dc_(dc), pen_(::CreatePen(PS_SOLID, 1, colour)) {
        if (pen_) old_ = ::SelectObject(dc_, pen_);
    }
    ~PenScope() {
        if (!pen_) return;
        ::SelectObject(dc_, old_);
        ::DeleteObject(pen_);
    }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;
    bool Made() const { return pen_ != nullptr; }

private:
    ::HDC dc_;
    ::HPEN pen_;
    ::HGDIOBJ old_ = nullptr;
};

}  // namespace

std::unique_ptr<Win32GraphPeer> Win32GraphPeer::Create(Win32UiBackend& backend, TxyGraph& graph) {
    auto peer = std::make_unique<Win32GraphPeer>(backend, graph);
    if (!peer->CreateChild(Win32UiBackend::GraphClass(), 0, 0)) return nullptr;
    return peer;
}

Win32GraphPeer::Win32GraphPeer(Win32UiBackend& backend, TxyGraph& graph) : Win32PaintedPeer(backend, graph) {}

Win32GraphPeer::~Win32GraphPeer() {
    DestroyHandle();
    DropPicture();
}

void Win32GraphPeer::DropPicture() {
    if (memory_) {
        ::SelectObject(memory_, memoryDefault_);
        ::DeleteDC(memory_);
    }
    if (picture_) ::DeleteObject(picture_);
    memory_ = nullptr;
    memoryDefault_ = nullptr;
    picture_ = nullptr;
    pictureWidth_ = pictureHeight_ = 0;
}

double Win32GraphPeer::Position(double value, double min, double max, int pixels) {
    return (value - min) / (max - min) * (pixels - 1);
}

std::vector<double> Win32GraphPeer::GridValues(double min, double max, double step, int limit) {
    std::vector<double> values;
    if (!(step > 0) || !std::isfinite(min) || !std::isfinite(max) || max < min) return values;
    // A line that misses a multiple by rounding alone still counts as on it.
    const double slack = step * 1e-9;
    for (double n = std::ceil((min - slack) / step); static_cast<int>(values.size()) < limit; ++n) {
        const double v = n * step;
        if (v > max + slack) break;
        values.push_back(v);
    }
    return values;
}

bool Win32GraphPeer::ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top,
                                 double right, double bottom) {
    const double dx = x1 - x0, dy = y1 - y0;
    double from = 0, to = 1;
    // The part of the segment (0..1 along it) on the inner side of one edge: p * t <= q.
    auto inside = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > to) return false;
            if (t > from) from = t;
        } else {
            if (t < from) return false;
            if (t < to) to = t;
        }
        return true;
    };
    if (!inside(-dx, x0 - left) || !inside(dx, right - x0) || !inside(-dy, y0 - top) || !inside(dy, bottom - y0))
        return false;
    const double sx = x0, sy = y0;
    if (to < 1) {
        x1 = sx + to * dx;
        y1 = sy + to * dy;
    }
    if (from > 0) {
        x0 = sx + from * dx;
        y0 = sy + from * dy;
    }
    return true;
}

void Win32GraphPeer::Apply(Change what, int index) {
    if (what == Change::Picture) {
        stale_ = true;
        Repaint();
        return;
    }
    Win32ControlPeer::Apply(what, index);
}

void Win32GraphPeer::Render(::HDC dc, int width, int height) {
    TxyGraph* graph = As<TxyGraph>();
    RECT all{0, 0, width, height};
    ::HBRUSH back = ::CreateSolidBrush(Colour(graph ? graph->BackColor : 0));
    ::FillRect(dc, &all, back ? back : static_cast<::HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (back) ::DeleteObject(back);
    if (!graph) return;
    const TGraphAxis& xAxis = graph->XAxis;
    const TGraphAxis& yAxis = graph->YAxis;
    const bool xUsable = Usable(xAxis), yUsable = Usable(yAxis);
    auto column = [&](double x) { return Position(x, xAxis.Min, xAxis.Max, width); };
    auto row = [&](double y) { return (height - 1) - Position(y, yAxis.Min, yAxis.Max, height); };

    {
        PenScope grid(dc, Colour(graph->AxisColor));
        if (xUsable && xAxis.Visible && xAxis.Gridlines) {
            for (double v : GridValues(xAxis.Min, xAxis.Max, xAxis.Step())) {
                const LONG x = Pixel(column(v), 0).x;
                ::MoveToEx(dc, x, 0, nullptr);
                ::LineTo(dc, x, height);
            }
        }
        if (yUsable && yAxis.Visible && yAxis.Gridlines) {
            for (double v : GridValues(yAxis.Min, yAxis.Max, yAxis.Step())) {
                const LONG y = Pixel(0, row(v)).y;
                ::MoveToEx(dc, 0, y, nullptr);
                ::LineTo(dc, width, y);
            }
        }
        // The axes: through the origin when it is in view and the graph asks for that, else along
        // the bottom and left edges.
        if (xUsable && yUsable) {
            const bool zeroY = graph->CrossAtZero && yAxis.Min <= 0 && yAxis.Max >= 0;
            const bool zeroX = graph->CrossAtZero && xAxis.Min <= 0 && xAxis.Max >= 0;
            if (xAxis.Visible && xAxis.ShowAxis) {
                const LONG y = Pixel(0, row(zeroY ? 0.0 : yAxis.Min)).y;
                ::MoveToEx(dc, 0, y, nullptr);
                ::LineTo(dc, width, y);
            }
            if (yAxis.Visible && yAxis.ShowAxis) {
                const LONG x = Pixel(column(zeroX ? 0.0 : xAxis.Min), 0).x;
                ::MoveToEx(dc, x, 0, nullptr);
                ::LineTo(dc, x, height);
            }
        }
    }
    if (!xUsable || !yUsable) return;

    const double right = width - 1, bottom = height - 1;
    for (int n = 1; n <= graph->SeriesCount(); ++n) {
        TDataSeries& series = graph->Series(n);
        if (!series.Visible) continue;
        const auto points = series.Points();
        if (points.empty()) continue;
        const COLORREF colour = Colour(series.LineColor);
        PenScope line(dc, colour);
        // Runs of joined segments are drawn as one polyline each; a segment cut at an edge, or a
        // point that is no number, ends a run. A polyline leaves out its last pixel: it is set.
        std::vector<::POINT> run;
        auto flush = [&] {
            if (run.size() >= 2) ::Polyline(dc, run.data(), static_cast<int>(run.size()));
            if (!run.empty()) ::SetPixelV(dc, run.back().x, run.back().y, colour);
            run.clear();
        };
        if (points.size() == 1) {
            const double x = column(points[0].first), y = row(points[0].second);
            if (x >= 0 && x <= right && y >= 0 && y <= bottom) {
                run.push_back(Pixel(x, y));
                flush();
            }
            continue;
        }
        for (size_t i = 1; i < points.size(); ++i) {
            double x0 = column(points[i - 1].first), y0 = row(points[i - 1].second);
            double x1 = column(points[i].first), y1 = row(points[i].second);
            if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
                flush();
                continue;
            }
            const double endX = x1, endY = y1;
            const bool startInside = x0 >= 0 && x0 <= right && y0 >= 0 && y0 <= bottom;
            if (!ClipSegment(x0, y0, x1, y1, 0, 0, right, bottom)) {
                flush();
                continue;
            }
            const ::POINT from = Pixel(x0, y0), to = Pixel(x1, y1);
            const bool joins = startInside && !run.empty() && run.back().x == from.x && run.back().y == from.y;
            if (!joins) {
                flush();
                run.push_back(from);
            }
            run.push_back(to);
            if (x1 != endX || y1 != endY) flush();
        }
        flush();
    }
}

void Win32GraphPeer::Paint(::HDC dc) {
    RECT r{};
    ::GetClientRect(Handle(), &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    TxyGraph* graph = As<TxyGraph>();
    const bool resized = !memory_ || width != pictureWidth_ || height != pictureHeight_;
    if (resized) {
        DropPicture();
        // The bitmap stays selected into a device context of its own between paints: making that
        // context on every paint asked the window server about the display each time.
        picture_ = ::CreateCompatibleBitmap(dc, width, height);
        memory_ = picture_ ? ::CreateCompatibleDC(dc) : nullptr;
        if (memory_) {
            memoryDefault_ = ::SelectObject(memory_, picture_);
            pictureWidth_ = width;
            pictureHeight_ = height;
        } else {
            DropPicture();
        }
    }
    if (!memory_) {
        // Without a bitmap to draw into the graph is drawn straight onto the window.
        Render(dc, width, height);
        return;
    }
    // While plotting is off the last picture stays, unless there is none of this size.
    if (resized || (stale_ && (!graph || graph->Plotting()))) {
        Render(memory_, width, height);
        stale_ = false;
    }
    ::BitBlt(dc, 0, 0, width, height, memory_, 0, 0, SRCCOPY);
}

}  // namespace taskwell::win32
