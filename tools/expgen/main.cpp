// Writes the exponential's constant tables to the named file, or to standard output.
#include "expgen_table.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::string text = ExpTableText();
    FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (out != stdout) written = std::fclose(out) == 0 && written;
    return written ? 0 : 1;
}
