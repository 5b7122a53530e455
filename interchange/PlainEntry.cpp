// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PlainEntry.h"

#include <functional>

#include "store/TextCodec.h"

namespace corvella::interchange {

std::optional<Field> FieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (kFieldNames[i] == name) return static_cast<Field>(i);
  }
  return std::nullopt;
}

std::string QuotedName(std::string_view name) {
  constexpr std::size_t kLongest = 40;
  std::string text = "\"";
  std::size_t taken = 0;
  for (const char c : name) {
    // Stops at a character boundary so that the result stays valid UTF-8.
    if (taken >= kLongest && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      text += "...";
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F ? '?' : c;
    ++taken;
  }
  return text + "\"";
}

PlainEntry PlainEntryOf(const RecordView& record) {
  PlainEntry plain;
  plain[Field::SiteName] = SecretDisplayText(record.siteName);
  plain[Field::Url] = SecretDisplayText(record.url);
  plain[Field::UserName] = SecretDisplayText(record.userName);
  plain[Field::Password] = SecretDisplayText(record.password);
  return plain;
}

PlainEntry PlainEntryOf(const Entry& entry, const SessionKey& key) {
  const SecureString password = entry.Password(key);
  return PlainEntryOf(RecordView{entry.SiteName(), entry.Url(), entry.UserName(), password.View()});
}

RecordView RecordOf(const PlainEntry& plain) {
  return {plain[Field::SiteName].View(), plain[Field::Url].View(), plain[Field::UserName].View(),
          plain[Field::Password].View()};
}

EntryPtr NewEntry(const PlainEntry& plain, const SessionKey& key) {
  const RecordView record = RecordOf(plain);
  return std::make_shared<Entry>(record.siteName, record.url, record.userName, record.password,
                                 key);
}

bool SeenEntries::Insert(const PlainEntry& entry) {
  // Each field with its length in front, so that no two different entries give the same key.
  SecureString key;
  for (const SecureString& field : entry.fields) {
    const std::size_t size = field.size();
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key += field.View();
  }
  return keys_.insert(std::move(key)).second;
}

std::size_t SeenEntries::Hash::operator()(const SecureString& key) const {
  return std::hash<std::string_view>{}(key.View());
}

std::string ImportReport(std::size_t added, std::size_t duplicates, std::size_t notLogins) {
  std::string report =
      std::to_string(added) + " added, " + std::to_string(duplicates + notLogins) + " skipped";
  if (duplicates + notLogins == 0) return report;
  std::string reasons;
  if (duplicates > 0) {
    reasons = std::to_string(duplicates) + (duplicates == 1 ? " duplicate" : " duplicates");
  }
  if (notLogins > 0) {
    if (!reasons.empty()) reasons += ", ";
    reasons += std::to_string(notLogins) + (notLogins == 1 ? " not a login" : " not logins");
  }
  return report + "\n(" + reasons + ")";
}

}  // namespace corvella::interchange
