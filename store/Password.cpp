#include "Password.h"

#include "CipherFraming.h"
#include "PasswordStream.h"
#include "Random.h"
#include "Session.h"

namespace corvella {
namespace {

constexpr std::string_view kSiteNameTag = "SiteName";
constexpr std::string_view kUrlTag = "Url";
constexpr std::string_view kPasswordTag = "Password";
constexpr std::string_view kUserNameTag = "UserName";
constexpr std::string_view kEndTag = "End";

}  // namespace

SecureString TPassword::GetPassword() const { return DecryptText(EncryptedPassword, SessionKey()); }

void TPassword::SetPassword(std::string_view plaintext) {
  EncryptedPassword = EncryptText(plaintext, SessionKey());
}

void TPassword::Wipe() {
  WipeString(Url);
  WipeString(EncryptedPassword);
  WipeString(SiteName);
  WipeString(UserName);
}

void TPassword::SaveToStream(SecureBytes& stream) const {
  WriteString(kSiteNameTag, stream);
  WriteString(SiteName, stream);
  WriteString(kUrlTag, stream);
  WriteString(Url, stream);
  WriteString(kPasswordTag, stream);
  WriteString(GetPassword().View(), stream);
  WriteString(kUserNameTag, stream);
  WriteString(UserName, stream);
  WriteString(kEndTag, stream);
}

void TPassword::LoadFromStream(StreamReader& reader) {
  for (std::string tag; tag != kEndTag;) {
    tag = reader.ReadString();
    if (tag == kSiteNameTag) {
      SiteName = reader.ReadString();
    } else if (tag == kUrlTag) {
      Url = reader.ReadString();
    } else if (tag == kPasswordTag) {
      SecureString plaintext = reader.ReadSecret();
      SetPassword(plaintext.View());
      WipeString(plaintext);
    } else if (tag == kUserNameTag) {
      UserName = reader.ReadString();
    }
  }
}

}  // namespace corvella
