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

TEST(NetworkFile, RoundTripsEveryValueExactly) {
    NetworkFile net = Sample(), back;
    std::string error;
    ASSERT_TRUE(ParseNetworkFile(NetworkFileText(net), &back, &error)) << error;
    EXPECT_EQ(back.settings.method, CALC_FIXED16);
    EXPECT_EQ(back.settings.hidden, net.settings.hidden);
    EXPECT_EQ(back.settings.gain, net.settings.gain);
    EXPECT_EQ(back.settings.noise, net.settings.noise);
    EXPECT_EQ(back.inputNames, net.inputNames);
    EXPECT_EQ(back.inputBounds[1].symbols, net.inputBounds[1].symbols);
    EXPECT_EQ(back.outputBounds[0].lo, net.outputBounds[0].lo);
    EXPECT_EQ(back.modeName, "mode");
    EXPECT_EQ(back.weights, net.weights);
}

TEST(NetworkFile, RefusesDamagedFiles) {
    NetworkFile back;
    std::string error;
    std::string text = NetworkFileText(Sample());
    EXPECT_FALSE(ParseNetworkFile("x,y\n", &back, &error));

    std::string shorter = text.substr(0, text.rfind('\n', text.size() - 2) + 1);
    EXPECT_FALSE(ParseNetworkFile(shorter, &back, &error)); // the last row of weights is gone
    EXPECT_NE(error.find("9 weights"), std::string::npos) << error;

    std::string badWeight = text;
    badWeight.replace(badWeight.rfind('\n', badWeight.size() - 2) + 1, 1, "z");
    EXPECT_FALSE(ParseNetworkFile(badWeight, &back, &error));

    // A count that disagrees with rows that fit the network: both numbers named.
    std::string miscounted = text;
    miscounted.replace(miscounted.find("weights,9"), 9, "weights,8");
    EXPECT_FALSE(ParseNetworkFile(miscounted, &back, &error));
    EXPECT_NE(error.find("announces 8 weights, the rows hold 9"), std::string::npos) << error;

    std::string badHidden = text;
    badHidden.replace(badHidden.find("hidden,2"), 8, "hidden,0");
    EXPECT_FALSE(ParseNetworkFile(badHidden, &back, &error));
}

} // namespace
