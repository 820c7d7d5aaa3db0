// Command-line options: "--name value" pairs, switches and positional arguments.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct Options {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> switches;

    bool Has(const std::string& name) const { return values.count(name) > 0; }
    bool On(const std::string& name) const { return switches.count(name) > 0; }
    std::string Text(const std::string& name, const std::string& fallback = "") const;
    // Reads a number option within [lo, hi]; the fallback when absent. False with a message for
    // anything else.
    bool Number(const std::string& name, double lo, double hi, double* v, std::string* error) const;
    bool Integer(const std::string& name, int lo, int hi, int* v, std::string* error) const;
};

// `valueNames` take a value, `switchNames` do not; anything else is refused.
bool ParseOptions(const std::vector<std::string>& args, const std::set<std::string>& valueNames,
                  const std::set<std::string>& switchNames, Options* options, std::string* error);

// "4,3" -> {4, 3}; "0" or "" -> {}; each size 1 .. 32767, at most four.
bool ParseHidden(const std::string& text, std::vector<int>* sizes, std::string* error);
