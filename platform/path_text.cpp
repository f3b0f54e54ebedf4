#include "platform/path_text.h"

#include <QFile>

namespace quorvant {

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathDisplay(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace quorvant
