#include "platform/StartupPaths.h"

#include <filesystem>

std::string AbsolutePath(const std::string& path)
{
    if (path.empty() || path == "-" || std::filesystem::path(path).is_absolute())
        return path;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}
