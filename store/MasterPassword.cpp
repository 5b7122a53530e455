#include "MasterPassword.h"

#include "Errors.h"
#include "TextCodec.h"

namespace corvella {

LoadResult OpenWithTypedPassword(PasswordStore& store, std::string_view typedUtf8,
                                 const std::string& path) {
  store.SetMasterPassword(typedUtf8);
  try {
    return store.LoadPasswordsFrom(path);
  } catch (const InvalidPasswordError&) {
    const auto legacy = Utf8ToWindows1252(typedUtf8);
    if (!legacy || legacy->View() == typedUtf8) throw;
    store.SetMasterPassword(legacy->View());
    try {
      return store.LoadPasswordsFrom(path);
    } catch (const InvalidPasswordError&) {
      store.SetMasterPassword(typedUtf8);
      throw;
    }
  }
}

}  // namespace corvella
