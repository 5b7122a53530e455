#include "Session.h"

#include "Crypto.h"
#include "SecureMemory.h"
#include "platform/Error.h"

namespace corvella {
namespace {

SecureString& Key() {
  static SecureString key;
  return key;
}

}  // namespace

void MakeSessionKey() {
  SecureString& key = Key();
  if (!key.empty()) return;
  key.resize(kSessionKeySize);
  crypto::RandomBytes({reinterpret_cast<unsigned char*>(key.data()), key.size()});
}

std::string_view SessionKey() {
  CORVELLA_ASSERT(!Key().empty());
  return Key().View();
}

}  // namespace corvella
