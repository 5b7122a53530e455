#pragma once

#include <QString>
#include <string_view>

namespace corvella::platform {

// UTF-8 bytes (paths, option names and values) as a QString.
QString ToQString(std::string_view utf8);

}  // namespace corvella::platform
