#include "ui/TxyGraph.h"

#include <cmath>

namespace taskwell {

double TGraphAxis::Step() const {
    const double range = Max - Min;
    if (range <= 0) return 1;
    if (!AutoStepping && StoredStep > 0 && range / StoredStep <= 50) return StoredStep;
    const double power = std::pow(10.0, std::floor(std::log10(range)));
    if (range / power >= 5) return power;
    for (double divisor : {2.0, 5.0, 10.0, 20.0, 50.0})
        if (range / (power / divisor) >= 5) return power / divisor;
    return power / 100;
}

void TDataSeries::Add(double x, double y) {
    points_.emplace(x, y);
    Changed();
}

void TDataSeries::Delete(double x) {
    auto from = points_.lower_bound(x - XTolerance);
    auto to = points_.upper_bound(x + XTolerance);
    if (from == to) return;
    points_.erase(from, to);
    Changed();
}

double TDataSeries::ValueAt(double x) const {
    auto it = points_.lower_bound(x - XTolerance);
    if (it == points_.end() || it->first > x + XTolerance) return 0;
    return it->second;
}

std::vector<std::pair<double, double>> TDataSeries::Points() const {
    return {points_.begin(), points_.end()};
}

void TDataSeries::Hold() {
    ++hold_;
}

void TDataSeries::Release() {
    if (hold_ == 0 || --hold_ > 0) return;
    if (pending_) {
        pending_ = false;
        graph_.SeriesChanged();
    }
}

void TDataSeries::Changed() {
    if (hold_ > 0) {
        pending_ = true;
        return;
    }
    graph_.SeriesChanged();
}

TxyGraph::TxyGraph() = default;
TxyGraph::~TxyGraph() = default;

TDataSeries& TxyGraph::Series(int n) {
    while (SeriesCount() < n) series_.push_back(std::make_unique<TDataSeries>(*this));
    return *series_[static_cast<size_t>(n < 1 ? 0 : n - 1)];
}

void TxyGraph::SetPlotting(bool on) {
    if (on == plotting_) return;
    plotting_ = on;
    if (on) {
        dirty_ = false;
        ++repaints_;
        Notify(Change::Picture);
    }
}

void TxyGraph::SeriesChanged() {
    if (!plotting_) {
        dirty_ = true;
        return;
    }
    ++repaints_;
    Notify(Change::Picture);
}

}  // namespace taskwell
