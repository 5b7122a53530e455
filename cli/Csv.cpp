// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Csv.h"

#include <array>
#include <optional>
#include <string>

#include "DocumentText.h"
#include "core/Error.h"

namespace corvella::cli {
namespace {

void AppendField(std::string_view text, SecureString& out) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// Splits the document into rows of fields.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // The next non-empty row, or nothing at the end of the document.
  std::optional<std::vector<SecureString>> NextRow() {
    SkipEmptyLines();
    if (pos_ == text_.size()) return std::nullopt;
    rowLine_ = line_;
    std::vector<SecureString> row;
    for (;;) {
      row.push_back(Field());
      if (pos_ == text_.size()) return row;
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      TakeLineEnd();
      return row;
    }
  }

  // The line on which the last row began.
  std::size_t RowLine() const { return rowLine_; }

  [[noreturn]] void Fail(std::size_t line, const std::string& problem) const {
    throw Error("line " + std::to_string(line) + ": " + problem);
  }

 private:
  SecureString Field() {
    SecureString value;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      const std::size_t startLine = line_;
      ++pos_;
      for (;;) {
        if (pos_ == text_.size()) Fail(startLine, "a quoted field is not closed");
        const char c = text_[pos_++];
        if (c == '"') {
          if (pos_ < text_.size() && text_[pos_] == '"') {
            value += '"';
            ++pos_;
            continue;
          }
          break;
        }
        // A CRLF inside quotes counts as one line break, like everywhere else.
        if (c == '\n' || (c == '\r' && (pos_ == text_.size() || text_[pos_] != '\n'))) ++line_;
        value += c;
      }
      if (pos_ < text_.size() && !IsFieldEnd(text_[pos_])) {
        Fail(line_, "a closing quote must be followed by a comma or the end of the line");
      }
      return value;
    }
    while (pos_ < text_.size() && !IsFieldEnd(text_[pos_])) {
      if (text_[pos_] == '"') Fail(line_, "a quote inside a field that is not quoted");
      value += text_[pos_++];
    }
    return value;
  }

  static bool IsFieldEnd(char c) { return c == ',' || c == '\r' || c == '\n'; }

  bool AtLineEnd() const {
    return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n');
  }

  void TakeLineEnd() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }

  void SkipEmptyLines() {
    while (AtLineEnd()) TakeLineEnd();
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t rowLine_ = 1;
};

}  // namespace

void AppendCsv(const std::vector<PlainEntry>& entries, SecureString& out) {
  for (std::size_t f = 0; f < kFieldCount; ++f) {
    out += kFieldNames[f];
    out += f + 1 < kFieldCount ? "," : "\r\n";
  }
  for (const PlainEntry& entry : entries) {
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      AppendField(entry.fields[f].View(), out);
      out += f + 1 < kFieldCount ? "," : "\r\n";
    }
  }
}

std::vector<PlainEntry> ParseCsv(std::string_view document) {
  Reader reader(DocumentText(document));
  const auto header = reader.NextRow();
  if (!header) throw Error("the document has no header row");
  std::vector<Field> columns;
  std::array<bool, kFieldCount> seen{};
  for (const SecureString& name : *header) {
    const auto field = FieldNamed(name.View());
    if (!field) {
      reader.Fail(reader.RowLine(), "unknown column " + QuotedName(name.View()) +
                                        " (the columns are siteName, url, userName and password)");
    }
    auto& named = seen[static_cast<std::size_t>(*field)];
    if (named)
      reader.Fail(reader.RowLine(), "the column " + QuotedName(name.View()) + " appears twice");
    named = true;
    columns.push_back(*field);
  }

  std::vector<PlainEntry> entries;
  while (auto row = reader.NextRow()) {
    if (row->size() != columns.size()) {
      reader.Fail(reader.RowLine(), std::to_string(row->size()) + " fields where the header has " +
                                        std::to_string(columns.size()));
    }
    PlainEntry& entry = entries.emplace_back();
    for (std::size_t i = 0; i < columns.size(); ++i) entry[columns[i]] = std::move((*row)[i]);
  }
  return entries;
}

}  // namespace corvella::cli
