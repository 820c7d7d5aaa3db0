#include "charts.h"

#include "worksheet.h"

#include <algorithm>
#include <cstdio>

namespace {

bool TestRan(const ErrorCurve& curve) {
    for (double v : curve.test)
        if (v < 0.99997) // a point of 32767/32767 means no testing pass ran
            return true;
    return false;
}

} // namespace

std::string ErrorChart(const ErrorCurve& curve, int width, int height) {
    const size_t n = curve.train.size();
    if (n == 0) return "  (no error history)\n";
    const bool withTest = TestRan(curve);
    double top = 0.0;
    for (size_t i = 0; i < n; ++i) {
        top = std::max(top, curve.train[i]);
        if (withTest) top = std::max(top, curve.test[i]);
    }
    if (top <= 0.0) top = 1.0;
    const int columns = static_cast<int>(std::min<size_t>(n, static_cast<size_t>(width)));
    std::vector<std::string> grid(height, std::string(columns, ' '));
    auto plot = [&](const std::vector<double>& series, char mark) {
        for (int x = 0; x < columns; ++x) {
            // Each column shows the mean of the points that fall into it.
            size_t a = x * n / columns, b = (x + 1) * n / columns;
            double sum = 0.0;
            for (size_t i = a; i < b; ++i)
                sum += series[i];
            double v = sum / static_cast<double>(b - a);
            int y = static_cast<int>(v / top * (height - 1) + 0.5);
            y = std::clamp(y, 0, height - 1);
            char& cell = grid[height - 1 - y][x];
            cell = (cell == ' ' || cell == mark) ? mark : '#';
        }
    };
    if (withTest) plot(curve.test, 'o');
    plot(curve.train, '*');
    std::string out;
    char label[32];
    for (int row = 0; row < height; ++row) {
        double v = top * (height - 1 - row) / (height - 1);
        std::snprintf(label, sizeof label, "%8.4f |", v);
        out += label + grid[row] + "\n";
    }
    out += "         +" + std::string(columns, '-') + "\n";
    const long epochs = static_cast<long>(n) * curve.bucketSize;
    std::snprintf(label, sizeof label, "%ld", epochs);
    std::string axis = "          0";
    axis += std::string(std::max<int>(1, columns - 1 - static_cast<int>(std::string(label).size())),
                        ' ');
    out += axis + label + " epochs\n";
    out += withTest
               ? "          * training RMS error   o " + curve.secondName + " RMS error   # both\n"
               : "          * training RMS error\n";
    return out;
}

bool HistogramCounts(const std::string& text, std::vector<long>* counts) {
    counts->clear();
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') return false;
    std::string body = text.substr(1, text.size() - 2);
    size_t i = 0;
    while (i <= body.size()) {
        size_t comma = body.find(',', i);
        if (comma == std::string::npos) comma = body.size();
        std::string item = body.substr(i, comma - i);
        if (item.empty() || item.find_first_not_of("0123456789") != std::string::npos) return false;
        counts->push_back(std::strtol(item.c_str(), nullptr, 10));
        i = comma + 1;
    }
    return true;
}

std::string HistogramChart(const std::vector<long>& counts, double lo, double hi, int width) {
    long most = 1;
    for (long c : counts)
        most = std::max(most, c);
    const double bin = (hi - lo) / static_cast<double>(counts.size());
    std::string out;
    char label[64];
    for (size_t k = 0; k < counts.size(); ++k) {
        std::snprintf(label, sizeof label, "  %8.3f .. %8.3f |", lo + bin * k, lo + bin * (k + 1));
        int bar = static_cast<int>(counts[k] * width / most);
        if (counts[k] > 0 && bar == 0) bar = 1;
        out += label + std::string(bar, '=') + " " + std::to_string(counts[k]) + "\n";
    }
    return out;
}
