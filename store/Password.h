#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "SecureMemory.h"

namespace corvella {

class StreamReader;

// One entry. The password is held only encrypted under the session key.
class TPassword {
 public:
  std::string Url;
  std::string EncryptedPassword;
  std::string SiteName;
  std::string UserName;

  SecureString GetPassword() const;
  void SetPassword(std::string_view plaintext);

  // Overwrites every field with random bytes and empties it.
  void Wipe();

  // Appends the entry's record to the plaintext password stream.
  void SaveToStream(SecureBytes& stream) const;
  // Reads one record into this (empty) entry.
  void LoadFromStream(StreamReader& reader);
};

// Entries are shared: a list row, an open menu or a pending question may still reach an entry
// after it has left the list.
using EntryPtr = std::shared_ptr<TPassword>;

}  // namespace corvella
