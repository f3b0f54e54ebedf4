#pragma once
// Paths stay the bytes the system gives them; Qt works with QString. These
// two functions are the only crossing between the two.

#include <QString>
#include <string>

namespace quorvant {

std::string PathBytes(const QString& path);
QString PathDisplay(const std::string& path);

}  // namespace quorvant
