#include "tests/support/ScratchDirectory.h"

#include "platform/FileNames.h"

#include <cstring>
#include <stdexcept>

CScratchDirectory::CScratchDirectory(const std::string& prefix)
{
    std::string start = (std::filesystem::temp_directory_path() / (prefix + "-")).string();
    std::string made;
    if (int error = MakeNewFolder(start, made); error != 0)
        throw std::runtime_error("cannot make a scratch folder " + start + "*: " + std::strerror(error));
    m_path = made;
}

CScratchDirectory::~CScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_path, ignored);
}
