#pragma once
// Paths stay the bytes the system gives them; Qt works with QString and
// QUrl. These functions are the only crossings between the two.

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QMimeData;
class QUrl;

namespace quorvant {

std::string PathBytes(const QString& path);
QString PathDisplay(const std::string& path);

// The path of a file: URL as the bytes it percent-encodes, so that a name
// that is not valid UTF-8 keeps its bytes; empty for other URLs.
std::optional<std::string> LocalPathBytes(const QUrl& url);
// The local files among dropped URLs, in the order given.
std::vector<std::string> DroppedLocalFiles(const QMimeData* data);

}  // namespace quorvant
