#include "wave/path_parts.h"

namespace quorvant {

std::string FolderPart(std::string_view path)
{
    auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNamePart(std::string_view path)
{
    auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string joined(folder);
    if (joined.empty() || joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

}  // namespace quorvant
