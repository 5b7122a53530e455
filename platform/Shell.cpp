#include "Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace corvella::platform {

void OpenWebAddress(const QString& address) {
  QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

}  // namespace corvella::platform
