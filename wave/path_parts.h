#pragma once
// Folder and file-name parts of a path: the folder part runs up to and
// including the last '/', the file-name part is the rest. Bytes are kept
// as they are; nothing is decoded.

#include <string>
#include <string_view>

namespace quorvant {

std::string FolderPart(std::string_view path);
std::string FileNamePart(std::string_view path);
// folder + '/' + name, without doubling a separator the folder already ends with.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace quorvant
