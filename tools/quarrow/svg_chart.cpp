#include "svg_chart.h"

#include "text_utf8.h"
#include "worksheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kLeft = 64, kRight = 16, kTop = 34, kBottom = 44;
constexpr int kDotCell = 3; // scatter points within one such square of pixels are drawn once
constexpr int kMaxUnitsDrawn = 10;

std::string Px(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", v);
    return buffer;
}

// A linear map from data values onto pixels, its ends on whole steps of 1, 2 or 5 times a
// power of ten so the ticks read as round numbers.
struct Axis {
    double lo = 0.0, hi = 1.0, from = 0.0, to = 1.0, step = 0.25;
    double operator()(double v) const { return from + (v - lo) / (hi - lo) * (to - from); }
};

// The span of the finite values, widened when it is a single value or there is none.
void Span(const std::vector<double>& values, double* lo, double* hi) {
    for (double v : values)
        if (std::isfinite(v)) *lo = std::min(*lo, v), *hi = std::max(*hi, v);
}

Axis MakeAxis(double lo, double hi, double from, double to, double pad = 0.0) {
    if (!(lo <= hi)) lo = 0.0, hi = 1.0;
    if (hi - lo < 1e-12 * std::max(1.0, std::fabs(hi))) {
        double room = std::max(0.5, std::fabs(hi) * 0.1);
        lo -= room, hi += room;
    }
    double margin = (hi - lo) * pad;
    lo -= margin, hi += margin;
    double rough = (hi - lo) / 4.0, unit = std::pow(10.0, std::floor(std::log10(rough)));
    double step = unit * (rough <= unit ? 1 : rough <= 2 * unit ? 2 : rough <= 5 * unit ? 5 : 10);
    return Axis{std::floor(lo / step) * step, std::ceil(hi / step) * step, from, to, step};
}

struct Plot {
    int left, right, top, bottom;
};

Plot PlotOf(const ChartFrame& f) {
    return Plot{kLeft, f.width - kRight, kTop, f.height - kBottom};
}

std::string Text(double x, double y, const std::string& text, const char* anchor = "middle",
                 const std::string& extra = "") {
    return "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor + "\"" + extra +
           ">" + XmlEscape(text) + "</text>";
}

std::string Open(int width, int height, const std::string& title) {
    std::string w = std::to_string(width), h = std::to_string(height);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h +
           "\" font-family=\"sans-serif\" font-size=\"11\" role=\"img\"><title>" +
           XmlEscape(title) + "</title><rect width=\"" + w + "\" height=\"" + h +
           "\" fill=\"#fff\"/>" + Text(width / 2.0, 18, title, "middle", " font-size=\"13\"");
}

// Frame, title, axis names and five ticks on each axis.
std::string Axes(const ChartFrame& f, const Axis& x, const Axis& y, bool xTicks = true) {
    Plot p = PlotOf(f);
    std::string s = Open(f.width, f.height, f.title);
    s += "<rect x=\"" + Px(p.left) + "\" y=\"" + Px(p.top) + "\" width=\"" + Px(p.right - p.left) +
         "\" height=\"" + Px(p.bottom - p.top) + "\" fill=\"none\" stroke=\"#888\"/>";
    auto ticks = [](const Axis& a) {
        std::vector<double> at;
        for (double k = std::ceil(a.lo / a.step);
             k * a.step <= a.hi * (1 + 1e-12) && at.size() < 12; ++k)
            at.push_back(k * a.step);
        return at;
    };
    for (double v : ticks(y)) {
        s += "<path d=\"M" + Px(p.left) + " " + Px(y(v)) + "h" + Px(p.right - p.left) +
             "\" stroke=\"#eee\"/>";
        s += Text(p.left - 4, y(v) + 4, ShortNumber(v, 4), "end");
    }
    if (xTicks)
        for (double v : ticks(x))
            s += Text(x(v), p.bottom + 14, ShortNumber(v, 4));
    s += Text((p.left + p.right) / 2.0, f.height - 8, f.xLabel);
    s += Text(14, (p.top + p.bottom) / 2.0, f.yLabel, "middle",
              " transform=\"rotate(-90 14 " + Px((p.top + p.bottom) / 2.0) + ")\"");
    return s;
}

std::string Legend(const ChartFrame& f,
                   const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string s;
    double x = PlotOf(f).right - 8;
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        double w = 16 + 6.5 * static_cast<double>(it->first.size());
        x -= w;
        s += "<rect x=\"" + Px(x) + "\" y=\"" + Px(kTop + 6) +
             "\" width=\"10\" height=\"10\" fill=\"" + XmlEscape(it->second) + "\"/>";
        s += Text(x + 13, kTop + 15, it->first, "start");
    }
    return s;
}

// The polylines of a sampled curve, one per unbroken stretch.
std::string Polylines(const std::vector<CurvePoint>& points, const Axis& x, const Axis& y,
                      const std::string& colour) {
    std::string s, run;
    int length = 0;
    CurvePoint last{0.0, 0.0};
    // A point standing alone between gaps is drawn as a dot; a one-point line shows nothing.
    auto flush = [&] {
        if (length == 1)
            s += "<circle cx=\"" + Px(x(last.x)) + "\" cy=\"" + Px(y(last.y)) +
                 "\" r=\"2\" fill=\"" + XmlEscape(colour) + "\"/>";
        else if (length > 1)
            s += "<polyline fill=\"none\" stroke=\"" + XmlEscape(colour) +
                 "\" stroke-width=\"1.5\" points=\"" + run + "\"/>";
        run.clear();
        length = 0;
    };
    for (const CurvePoint& c : points) {
        if (std::isnan(c.y)) {
            flush();
            continue;
        }
        run += (run.empty() ? "" : " ") + Px(x(c.x)) + "," + Px(y(c.y));
        last = c;
        ++length;
    }
    flush();
    return s;
}

} // namespace

std::vector<CurvePoint> SampleCurve(const std::vector<double>& values, int columns) {
    std::vector<CurvePoint> points;
    size_t n = values.size();
    auto at = [&](size_t k) {
        return CurvePoint{static_cast<double>(k + 1), std::isfinite(values[k]) ? values[k] : kNaN};
    };
    if (columns < 1 || n <= 2 * static_cast<size_t>(columns)) {
        for (size_t k = 0; k < n; ++k)
            points.push_back(at(k));
        return points;
    }
    for (size_t c = 0; c < static_cast<size_t>(columns); ++c) {
        size_t begin = c * n / columns, end = (c + 1) * n / columns;
        size_t lo = n, hi = n;
        for (size_t k = begin; k < end; ++k) {
            if (!std::isfinite(values[k])) continue;
            if (lo == n || values[k] < values[lo]) lo = k;
            if (hi == n || values[k] > values[hi]) hi = k;
        }
        if (lo == n) {
            points.push_back(CurvePoint{static_cast<double>(begin + 1), kNaN});
            continue;
        }
        points.push_back(at(std::min(lo, hi)));
        if (lo != hi) points.push_back(at(std::max(lo, hi)));
    }
    return points;
}

std::string SvgLineChart(const ChartFrame& f, const std::vector<LineSeries>& series, double marker,
                         const std::string& markerLabel) {
    Plot p = PlotOf(f);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo, first = lo, last = -lo;
    auto xOf = [](const LineSeries& line, double k1) {
        size_t k = static_cast<size_t>(k1) - 1;
        return k < line.x.size() ? line.x[k] : k1;
    };
    for (const LineSeries& line : series) {
        Span(line.values, &lo, &hi);
        if (line.values.empty()) continue;
        first = std::min(first, xOf(line, 1.0));
        last = std::max(last, xOf(line, static_cast<double>(line.values.size())));
    }
    lo = std::min(lo, 0.0); // errors read best against zero
    Axis x = MakeAxis(first, last, p.left, p.right);
    Axis y = MakeAxis(lo, hi, p.bottom, p.top);
    std::string s = Axes(f, x, y);
    std::vector<std::pair<std::string, std::string>> keys;
    for (const LineSeries& line : series) {
        if (line.values.empty()) continue;
        std::vector<CurvePoint> points = SampleCurve(line.values, p.right - p.left);
        for (CurvePoint& c : points)
            c.x = xOf(line, c.x);
        s += Polylines(points, x, y, line.colour);
        keys.push_back({line.name, line.colour});
    }
    if (marker >= x.lo && marker <= x.hi && marker > 0.0) {
        s += "<path d=\"M" + Px(x(marker)) + " " + Px(p.top) + "V" + Px(p.bottom) +
             "\" stroke=\"#555\" stroke-dasharray=\"4 3\"/>";
        bool room = x(marker) + 40 < p.right; // else the label goes on the line's left
        s += Text(x(marker) + (room ? 3 : -3), p.bottom - 4, markerLabel, room ? "start" : "end");
    }
    return s + Legend(f, keys) + "</svg>";
}

std::string SvgColumnChart(const ChartFrame& f, const std::vector<std::string>& labels,
                           const std::vector<double>& values) {
    Plot p = PlotOf(f);
    double lo = 0.0, hi = 0.0;
    Span(values, &lo, &hi);
    Axis y = MakeAxis(lo, hi, p.bottom, p.top);
    std::string s = Axes(f, Axis{}, y, false);
    size_t n = values.size();
    double step = n ? static_cast<double>(p.right - p.left) / static_cast<double>(n) : 0.0;
    for (size_t k = 0; k < n; ++k) {
        if (!std::isfinite(values[k])) continue;
        double top = std::min(y(values[k]), y(0.0)), bottom = std::max(y(values[k]), y(0.0));
        std::string tip = (k < labels.size() ? labels[k] + ": " : "") + ShortNumber(values[k]);
        s += "<rect x=\"" + Px(p.left + step * k + step * 0.1) + "\" y=\"" + Px(top) +
             "\" width=\"" + Px(step * 0.8) + "\" height=\"" + Px(bottom - top) +
             "\" fill=\"#4a7ab5\"><title>" + XmlEscape(tip) + "</title></rect>";
    }
    if (n > 0 && !labels.empty()) {
        s += Text(p.left + step / 2, p.bottom + 14, labels.front());
        if (n > 1 && labels.size() >= n)
            s += Text(p.right - step / 2, p.bottom + 14, labels[n - 1]);
    }
    return s + "</svg>";
}

std::string SvgScatterChart(const ChartFrame& f, const std::vector<PointSeries>& series) {
    Plot p = PlotOf(f);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const PointSeries& ps : series) {
        Span(ps.x, &lo, &hi);
        Span(ps.y, &lo, &hi);
    }
    Axis x = MakeAxis(lo, hi, p.left, p.right, 0.05);
    Axis y = MakeAxis(lo, hi, p.bottom, p.top, 0.05);
    std::string s = Axes(f, x, y);
    s += "<path d=\"M" + Px(p.left) + " " + Px(p.bottom) + "L" + Px(p.right) + " " + Px(p.top) +
         "\" stroke=\"#bbb\"/>";
    std::vector<std::pair<std::string, std::string>> keys;
    int cols = (p.right - p.left) / kDotCell + 1, rows = (p.bottom - p.top) / kDotCell + 1;
    for (const PointSeries& ps : series) {
        std::vector<bool> drawn(static_cast<size_t>(cols) * rows, false);
        std::string path;
        size_t n = std::min(ps.x.size(), ps.y.size());
        for (size_t k = 0; k < n; ++k) {
            if (!std::isfinite(ps.x[k]) || !std::isfinite(ps.y[k])) continue;
            int cx = static_cast<int>((x(ps.x[k]) - p.left) / kDotCell);
            int cy = static_cast<int>((y(ps.y[k]) - p.top) / kDotCell);
            size_t cell = static_cast<size_t>(cy) * cols + cx;
            if (drawn[cell]) continue;
            drawn[cell] = true;
            path += "M" + std::to_string(p.left + cx * kDotCell + 1) + " " +
                    std::to_string(p.top + cy * kDotCell + 1) + "h0";
        }
        if (path.empty()) continue;
        s += "<path d=\"" + path + "\" stroke=\"" + XmlEscape(ps.colour) +
             "\" stroke-width=\"5\" stroke-linecap=\"round\" stroke-opacity=\"0.7\"/>";
        keys.push_back({ps.name, ps.colour});
    }
    return s + Legend(f, keys) + "</svg>";
}

std::string SvgConfusionChart(const std::string& title, const std::vector<std::string>& classes,
                              const std::vector<std::vector<int>>& confusion) {
    constexpr int kLabel = 110, kCell = 34;
    int n = static_cast<int>(classes.size());
    int width = std::max(kLabel + n * kCell + 16, 240), height = kLabel + n * kCell + 28;
    std::string s = Open(width, height, title);
    s += Text(kLabel + n * kCell / 2.0, 34, "predicted");
    s += Text(14, kLabel + n * kCell / 2.0, "actual", "middle",
              " transform=\"rotate(-90 14 " + Px(kLabel + n * kCell / 2.0) + ")\"");
    int most = 1;
    for (const auto& row : confusion)
        for (int v : row)
            most = std::max(most, v);
    for (int k = 0; k < n; ++k) {
        double mid = kLabel + k * kCell + kCell / 2.0;
        s += Text(kLabel - 6, mid + 4, classes[k], "end");
        s += Text(mid, kLabel - 6, classes[k], "start",
                  " transform=\"rotate(-60 " + Px(mid) + " " + Px(kLabel - 6) + ")\"");
    }
    s += "<rect x=\"" + Px(kLabel) + "\" y=\"" + Px(kLabel) + "\" width=\"" + Px(n * kCell) +
         "\" height=\"" + Px(n * kCell) + "\" fill=\"#f7f7f7\" stroke=\"#888\"/>";
    // Cells that hold nothing stay the background, so a wide table stays small.
    for (int a = 0; a < n && a < static_cast<int>(confusion.size()); ++a) {
        for (int q = 0; q < n && q < static_cast<int>(confusion[a].size()); ++q) {
            int v = confusion[a][q];
            if (v <= 0) continue;
            double share = static_cast<double>(v) / most;
            double x = kLabel + q * kCell, y = kLabel + a * kCell;
            s += "<rect x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" width=\"" + Px(kCell) +
                 "\" height=\"" + Px(kCell) + "\" fill=\"" + (a == q ? "#2b6cb0" : "#c53030") +
                 "\" fill-opacity=\"" + Px(0.15 + 0.85 * share) + "\"/>";
            s += Text(x + kCell / 2.0, y + kCell / 2.0 + 4, std::to_string(v), "middle",
                      share > 0.5 ? " fill=\"#fff\"" : "");
        }
    }
    return s + "</svg>";
}

std::string SvgNetworkShape(const std::vector<int>& layers) {
    constexpr int kGap = 130, kUnit = 24;
    auto shownOf = [](int units) { return std::clamp(units, 0, kMaxUnitsDrawn); };
    int n = static_cast<int>(layers.size()), tallest = 1;
    for (int units : layers)
        tallest = std::max(tallest, shownOf(units));
    int width = std::max(60 + n * kGap, 240), height = 80 + tallest * kUnit;
    std::string s = Open(width, height, "Network shape");
    auto unitY = [&](int shown, int k) {
        return 40 + tallest * kUnit / 2.0 + (k - (shown - 1) / 2.0) * kUnit;
    };
    for (int l = 0; l + 1 < n; ++l) {
        int a = shownOf(layers[l]), b = shownOf(layers[l + 1]);
        std::string d;
        for (int i = 0; i < a; ++i)
            for (int j = 0; j < b; ++j)
                d += "M" + Px(60 + l * kGap) + " " + Px(unitY(a, i)) + "L" +
                     Px(60 + (l + 1) * kGap) + " " + Px(unitY(b, j));
        if (!d.empty()) s += "<path d=\"" + d + "\" stroke=\"#ccc\" stroke-width=\"0.6\"/>";
    }
    for (int l = 0; l < n; ++l) {
        int shown = shownOf(layers[l]);
        double x = 60 + l * kGap;
        for (int k = 0; k < shown; ++k)
            s += "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(unitY(shown, k)) +
                 "\" r=\"8\" fill=\"#4a7ab5\"/>";
        std::string name = l == 0 ? "inputs" : l + 1 == n ? "outputs" : "hidden";
        s += Text(x, height - 24, name + " " + std::to_string(layers[l]));
        if (layers[l] > shown)
            s += Text(x, height - 10, "(" + std::to_string(kMaxUnitsDrawn) + " drawn)");
    }
    return s + "</svg>";
}
