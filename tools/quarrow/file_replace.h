// Output files written whole or not at all, so an interrupted or failed run never leaves a
// half-written file where a good one was.
#pragma once

#include <functional>
#include <string>

// Creates a temporary file beside `path`, lets `write` fill it (by name), and renames it over
// `path` only when `write` returned true. On any failure the temporary is removed, an earlier
// file at `path` is left as it was, and `error` names the path and the cause. The file ends up
// with the permissions a newly created file would get.
bool ReplaceFile(const std::string& path,
                 const std::function<bool(const std::string& temporary, std::string* error)>& write,
                 std::string* error);

// The text as the whole content of `path`, by ReplaceFile.
bool ReplaceFileText(const std::string& path, const std::string& text, std::string* error);
