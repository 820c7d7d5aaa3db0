#include "options.h"

#include "column_lists.h"
#include "worksheet.h"

#include <cmath>

std::string Options::Text(const std::string& name, const std::string& fallback) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
}

bool Options::Number(const std::string& name, double lo, double hi, double* v,
                     std::string* error) const {
    auto it = values.find(name);
    if (it == values.end()) return true;
    Cell c = CellFromField(it->second);
    if (c.kind != CellKind::Number || c.number < lo || c.number > hi) {
        *error = "--" + name + " \"" + it->second + "\": expected a number from " +
                 ShortNumber(lo) + " to " + ShortNumber(hi);
        return false;
    }
    *v = c.number;
    return true;
}

bool Options::Integer(const std::string& name, int lo, int hi, int* v, std::string* error) const {
    auto it = values.find(name);
    if (it == values.end()) return true;
    Cell c = CellFromField(it->second);
    if (c.kind != CellKind::Number || c.number != std::floor(c.number) || c.number < lo ||
        c.number > hi) {
        *error = "--" + name + " \"" + it->second + "\": expected a whole number from " +
                 std::to_string(lo) + " to " + std::to_string(hi);
        return false;
    }
    *v = static_cast<int>(c.number);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, const std::set<std::string>& valueNames,
                  const std::set<std::string>& switchNames, Options* options, std::string* error) {
    *options = Options();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2), value;
            size_t eq = name.find('=');
            bool inlineValue = eq != std::string::npos;
            if (inlineValue) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            if (switchNames.count(name) && !inlineValue) {
                options->switches.insert(name);
            } else if (valueNames.count(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        *error = a + " needs a value";
                        return false;
                    }
                    value = args[++i];
                }
                options->values[name] = value;
            } else {
                *error = "unknown option " + a;
                return false;
            }
        } else {
            options->positional.push_back(a);
        }
    }
    return true;
}

bool ParseHidden(const std::string& text, std::vector<int>* sizes, std::string* error) {
    sizes->clear();
    std::vector<std::string> items = SplitList(text);
    if (items.size() == 1 && items[0] == "0") return true;
    if (items.size() > 4) {
        *error = "--hidden: at most four hidden layers";
        return false;
    }
    for (const std::string& item : items) {
        Cell c = CellFromField(item);
        if (c.kind != CellKind::Number || c.number != std::floor(c.number) || c.number < 1 ||
            c.number > 32767) {
            *error = "--hidden \"" + text + "\": expected sizes such as 4 or 6,3";
            return false;
        }
        sizes->push_back(static_cast<int>(c.number));
    }
    return true;
}
