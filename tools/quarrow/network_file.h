// A trained network kept as a small CSV sheet: settings, columns with their scaling ranges and
// symbols, and the weights eight to a row.
#pragma once

#include "range.h"
#include "settings.h"

#include <string>
#include <vector>

struct NetworkFile {
    NetSettings settings;
    std::vector<std::string> inputNames, outputNames;
    std::vector<ColumnBounds> inputBounds, outputBounds;
    std::string modeName; // the mode column the network was trained with, "" for none
    std::vector<double> weights;
};

std::string NetworkFileText(const NetworkFile& net);
bool ParseNetworkFile(const std::string& text, NetworkFile* net, std::string* error);
bool SaveNetworkFile(const std::string& path, const NetworkFile& net, std::string* error);
bool LoadNetworkFile(const std::string& path, NetworkFile* net, std::string* error);
