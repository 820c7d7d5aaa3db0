#include "network_file.h"

#include <gtest/gtest.h>

namespace {

NetworkFile Sample() {
    NetworkFile net;
    net.settings.method = CALC_FIXED16;
    net.settings.hidden = {2};
    net.settings.noise = 0.1;
    net.settings.gain = 1.0 / 3.0;
    net.inputNames = {"a", "b,c"};
    net.inputBounds = {ColumnBounds{-0.1, 1.1, {}}, ColumnBounds{0.0, 2.0, {"RED", "GREEN"}}};
    net.outputNames = {"y"};
    net.outputBounds = {ColumnBounds{0.1 + 0.2, 7.0, {}}};
    net.modeName = "mode";
    for (int k = 0; k < 9; ++k) // (2 + 1) x 2 + (2 + 1) x 1
        net.weights.push_back((k - 4) / 67108864.0 * 12345.0);
    return net;
}

// Every value comes back exactly; a damaged file is refused with what is wrong.
TEST(NetworkFile, RoundTripsExactlyAndRefusesDamagedFiles) {
    NetworkFile back;
    std::string error;
    const std::string text = NetworkFileText(Sample());
    ASSERT_TRUE(ParseNetworkFile(text, &back, &error)) << error;
    EXPECT_EQ(back.weights, Sample().weights);
    EXPECT_EQ(NetworkFileText(back), text);

    auto edited = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        return t.replace(t.find(from), from.size(), to);
    };
    const size_t lastRow = text.rfind('\n', text.size() - 2) + 1;
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"x,y\n", "not a network saved by quarrow"},
        {text.substr(0, lastRow), "should hold 9 weights"}, // the last row of weights is gone
        {std::string(text).replace(lastRow, 1, "z"), "is not a weight"},
        {edited("weights,9", "weights,8"), "announces 8 weights, the rows hold 9"},
        {edited("hidden,2", "hidden,0"), "bad value for hidden"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ParseNetworkFile(c.text, &back, &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

} // namespace
