#include "platform/path_text.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace quorvant {

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathDisplay(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::optional<std::string> LocalPathBytes(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    // toLocalFile() would decode the bytes as UTF-8 and turn a stray byte into U+FFFD.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes.toStdString();
}

std::vector<std::string> DroppedLocalFiles(const QMimeData* data)
{
    std::vector<std::string> names;
    if (!data || !data->hasUrls())
        return names;
    for (const QUrl& url : data->urls())
        if (auto path = LocalPathBytes(url))
            names.push_back(std::move(*path));
    return names;
}

}  // namespace quorvant
