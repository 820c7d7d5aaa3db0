#include "file_replace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

bool ReplaceFile(const std::string& path,
                 const std::function<bool(const std::string& temporary, std::string* error)>& write,
                 std::string* error) {
    std::string temporary = path + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    std::string cause;
    bool ok = write(temporary, &cause);
    // mkstemp makes the file private; the result gets what any new file would.
    mode_t mask = umask(0);
    umask(mask);
    if (ok && chmod(temporary.c_str(), 0666 & ~mask) != 0) ok = false, cause = std::strerror(errno);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0)
        ok = false, cause = std::strerror(errno);
    if (!ok) {
        std::remove(temporary.c_str());
        *error = "writing " + path + ": " + cause;
    }
    return ok;
}

bool ReplaceFileText(const std::string& path, const std::string& text, std::string* error) {
    return ReplaceFile(
        path,
        [&](const std::string& temporary, std::string* cause) {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << text;
            out.close();
            if (!out) *cause = std::strerror(errno);
            return static_cast<bool>(out);
        },
        error);
}
