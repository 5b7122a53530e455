#include "Session.h"

#include "Crypto.h"
#include "SecureMemory.h"

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
  MakeSessionKey();
  return Key().View();
}

}  // namespace corvella
