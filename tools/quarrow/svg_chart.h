// Charts as inline SVG for the report page: plain shapes, no scripts, no fonts to fetch. Every
// text is escaped; values that are not finite are left out. However many values a chart is
// given, what it draws is bounded by its size in pixels.
#pragma once

#include <string>
#include <vector>

struct ChartFrame {
    std::string title, xLabel, yLabel;
    int width = 640, height = 280;
};

struct LineSeries {
    std::string name, colour;
    std::vector<double> values; // value k is drawn at x[k], or at k + 1 when x is empty
    std::vector<double> x;      // rising
};

struct PointSeries {
    std::string name, colour;
    std::vector<double> x, y; // pairs; the shorter list decides how many
};

// One point of a sampled curve; y is NaN where the line breaks.
struct CurvePoint {
    double x, y;
};

// The points that draw `values` (value k at x = k + 1) across `columns` pixel columns: all of
// them when there are at most two per column, otherwise per column the smallest and the
// largest value in the order they came, so every peak and dip stays visible.
std::vector<CurvePoint> SampleCurve(const std::vector<double>& values, int columns);

// Lines against x; `marker` > 0 draws a dashed upright line there with `markerLabel`.
std::string SvgLineChart(const ChartFrame& frame, const std::vector<LineSeries>& series,
                         double marker = 0.0, const std::string& markerLabel = "");
// One bar per value, labelled by `labels` under the first and last bar and in each bar's tip.
std::string SvgColumnChart(const ChartFrame& frame, const std::vector<std::string>& labels,
                           const std::vector<double>& values);
// Points on equal axes with the line y = x; points closer than a few pixels are drawn once.
std::string SvgScatterChart(const ChartFrame& frame, const std::vector<PointSeries>& series);
// A grid, actual classes down and predicted across, each cell shaded by its count.
std::string SvgConfusionChart(const std::string& title, const std::vector<std::string>& classes,
                              const std::vector<std::vector<int>>& confusion);
// The layers as columns of units, inputs at the left.
std::string SvgNetworkShape(const std::vector<int>& layers);
