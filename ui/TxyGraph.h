// A line graph: data series of (x, y) points kept in order of x, drawn as polylines over two axes
// with grid lines. Only what the usage histories need is here: fixed axis ranges, a grid whose step
// follows from the range, colours, one line series without markers, and the operations to add,
// delete and read points with drawing and change notices held while a batch of changes runs.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TxyGraph;

struct TGraphAxis {
    double Min = 0;
    double Max = 100;
    bool Gridlines = true;
    bool ShowAxis = true;
    bool AutoStepping = true;
    double StoredStep = 1;
    bool Visible = true;
    // The distance between grid lines: the stored step, unless stepping is automatic, the stored step
    // is not positive or would give more than 50 divisions; then the largest power of ten not above
    // the range if it gives at least 5 divisions, else that power divided by the first of 2, 5, 10,
    // 20 and 50 that gives at least 5, else divided by 100.
    double Step() const;
};

class TDataSeries {
public:
    explicit TDataSeries(TxyGraph& graph) : graph_(graph) {}

    // Adds a point after any with the same x.
    void Add(double x, double y);
    // Deletes every point whose x lies within XTolerance of x.
    void Delete(double x);
    // The y of the first point at x (within XTolerance); 0 when there is none.
    double ValueAt(double x) const;
    int Count() const { return static_cast<int>(points_.size()); }
    // The points in order of x.
    std::vector<std::pair<double, double>> Points() const;

    // While held, changes are recorded but not announced; releasing announces them once.
    void Hold();
    void Release();
    bool Held() const { return hold_ > 0; }

    double XTolerance = 1e-9;
    bool Visible = true;
    int LineColor = 0x00FF00;  // 0xBBGGRR: RGB(0, 255, 0)
    bool PointMarkers = false;

private:
    void Changed();
    TxyGraph& graph_;
    std::multimap<double, double> points_;
    int hold_ = 0;
    bool pending_ = false;
};

class TxyGraph : public TControl {
public:
    TxyGraph();
    ~TxyGraph() override;

    TGraphAxis XAxis;
    TGraphAxis YAxis;
    TGraphAxis Y2Axis;
    int BackColor = 0x000000;   // 0xBBGGRR
    int AxisColor = 0x004000;   // RGB(0, 64, 0): axes and grid
    bool CrossAtZero = true;    // the axes cross at the origin rather than at the plot's edges
    bool ShowLegend = false;
    bool ShowAxisLabels = false;

    // Series n (from 1), made on first use.
    TDataSeries& Series(int n);
    int SeriesCount() const { return static_cast<int>(series_.size()); }

    // Drawing off holds every repaint until it is switched on again, which repaints once.
    bool Plotting() const { return plotting_; }
    void SetPlotting(bool on);
    // How many times the graph asked to be repainted.
    int Repaints() const { return repaints_; }

private:
    friend class TDataSeries;
    void SeriesChanged();
    std::vector<std::unique_ptr<TDataSeries>> series_;
    bool plotting_ = true;
    bool dirty_ = false;
    int repaints_ = 0;
};

}  // namespace taskwell
