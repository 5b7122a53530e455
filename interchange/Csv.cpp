// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Csv.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "DocumentText.h"
#include "core/Error.h"

namespace corvella::interchange {
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

  // Reads the next non-empty row into `row`, whose strings are used again; false at the end of
  // the document.
  bool NextRow(std::vector<SecureString>& row) {
    SkipEmptyLines();
    if (pos_ == text_.size()) return false;
    rowLine_ = line_;
    for (std::size_t count = 1;; ++count) {
      if (row.size() < count) row.emplace_back();
      ReadField(row[count - 1]);
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size()) TakeLineEnd();
      row.resize(count);
      return true;
    }
  }

  // The line on which the last row began.
  std::size_t RowLine() const { return rowLine_; }

  [[noreturn]] void Fail(std::size_t line, const std::string& problem) const {
    throw Error("line " + std::to_string(line) + ": " + problem);
  }

 private:
  void ReadField(SecureString& value) {
    value.clear();
    if (pos_ < text_.size() && text_[pos_] == '"') {
      ReadQuotedField(value);
      return;
    }
    const std::size_t end = std::min(text_.find_first_of(",\r\n\"", pos_), text_.size());
    if (end < text_.size() && text_[end] == '"') {
      Fail(line_, "a quote inside a field that is not quoted");
    }
    value.append(text_.substr(pos_, end - pos_));
    pos_ = end;
  }

  void ReadQuotedField(SecureString& value) {
    const std::size_t startLine = line_;
    ++pos_;
    for (;;) {
      const std::size_t quote = text_.find('"', pos_);
      if (quote == std::string_view::npos) Fail(startLine, "a quoted field is not closed");
      const std::string_view run = text_.substr(pos_, quote - pos_);
      line_ += LineBreaks(run);
      value.append(run);
      pos_ = quote + 1;
      if (pos_ < text_.size() && text_[pos_] == '"') {
        value += '"';
        ++pos_;
        continue;
      }
      break;
    }
    if (pos_ < text_.size() && !IsFieldEnd(text_[pos_])) {
      Fail(line_, "a closing quote must be followed by a comma or the end of the line");
    }
  }

  // The line breaks in `run`: a CRLF counts as one, like everywhere else.
  static std::size_t LineBreaks(std::string_view run) {
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < run.size(); ++i) {
      const bool crBeforeLf = run[i] == '\r' && i + 1 < run.size() && run[i + 1] == '\n';
      if (run[i] == '\n' || (run[i] == '\r' && !crBeforeLf)) ++breaks;
    }
    return breaks;
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

constexpr int kNone = -1;

// The header row of one program's export and what its columns mean.
struct Layout {
  enum class Rule { None, NeedsUserOrPassword, LoginType, SiteFromAddress };

  std::string_view name;
  // Every column the export may have; the first `required` of them are always there.
  std::vector<std::string_view> columns;
  std::size_t required;
  // The column of each of kFieldNames, or kNone.
  std::array<int, kFieldCount> fields;
  Rule rule = Rule::None;
  // The column that says what kind of item a row is, or kNone.
  int kindColumn = kNone;

  std::optional<std::size_t> Find(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == column) return i;
    }
    return std::nullopt;
  }

  // How many columns of `header` this export has; all of them when it is this export's.
  std::size_t Known(const std::vector<SecureString>& header) const {
    std::size_t known = 0;
    for (const SecureString& column : header) known += Find(column.View()) ? 1 : 0;
    return known;
  }

  std::optional<std::string_view> MissingColumn(const std::vector<SecureString>& header) const {
    for (std::size_t i = 0; i < required; ++i) {
      bool found = false;
      for (const SecureString& column : header) found = found || column.View() == columns[i];
      if (!found) return columns[i];
    }
    return std::nullopt;
  }

  bool IsLogin(const PlainEntry& entry, std::string_view kind) const {
    switch (rule) {
      case Rule::NeedsUserOrPassword:
        return !entry[Field::UserName].empty() || !entry[Field::Password].empty();
      case Rule::LoginType:
        return kind == "login";
      default:
        return true;
    }
  }

  void Complete(PlainEntry& entry) const {
    if (rule == Rule::LoginType) {
      // Several addresses of one item are joined by commas: the first one is kept.
      SecureString& url = entry[Field::Url];
      url.resize(std::min(url.size(), url.find(',')));
    }
    if (rule == Rule::SiteFromAddress) entry[Field::SiteName] = HostName(entry[Field::Url].View());
  }

  // The host of a web address, without a leading "www.".
  static SecureString HostName(std::string_view address) {
    if (const auto scheme = address.find("://"); scheme != std::string_view::npos) {
      address.remove_prefix(scheme + 3);
    }
    address = address.substr(0, address.find_first_of("/?#"));
    if (const auto at = address.rfind('@'); at != std::string_view::npos) {
      address.remove_prefix(at + 1);
    }
    if (!address.starts_with('[')) address = address.substr(0, address.find(':'));
    if (address.size() > 4 && (address.starts_with("www.") || address.starts_with("WWW."))) {
      address.remove_prefix(4);
    }
    return SecureString(address);
  }
};

const std::vector<Layout>& Layouts() {
  using Rule = Layout::Rule;
  static const std::vector<Layout> layouts = {
      {"Corvella", {"siteName", "url", "userName", "password"}, 0, {0, 1, 2, 3}},
      {"KeePassXC",
       {"Title", "Username", "Password", "URL", "Group", "Notes", "TOTP", "Icon", "Last Modified",
        "Created"},
       4,
       {0, 3, 1, 2},
       Rule::NeedsUserOrPassword},
      {"Bitwarden",
       {"type", "name", "login_uri", "login_username", "login_password", "folder", "favorite",
        "notes", "fields", "reprompt", "login_totp", "collections"},
       5,
       {1, 2, 3, 4},
       Rule::LoginType,
       0},
      {"Chrome", {"name", "url", "username", "password", "note"}, 4, {0, 1, 2, 3}},
      {"Firefox",
       {"url", "username", "password", "httpRealm", "formActionOrigin", "guid", "timeCreated",
        "timeLastUsed", "timePasswordChanged"},
       4,
       {kNone, 0, 1, 2},
       Rule::SiteFromAddress},
  };
  return layouts;
}

// The export whose header this is. For any other header the message names a column that is
// wrong or missing and lists the columns of every known export.
const Layout& LayoutOf(const std::vector<SecureString>& header, const Reader& reader) {
  const Layout* closest = nullptr;
  for (const Layout& layout : Layouts()) {
    const std::size_t known = layout.Known(header);
    if (known == header.size() && !layout.MissingColumn(header)) return layout;
    if (!closest || known > closest->Known(header)) closest = &layout;
  }
  std::string problem;
  for (const SecureString& column : header) {
    if (!closest->Find(column.View())) {
      problem = "unknown column " + QuotedName(column.View());
      break;
    }
  }
  if (problem.empty()) problem = "missing column " + QuotedName(*closest->MissingColumn(header));
  problem += "; expected the columns of an export of ";
  for (std::size_t i = 0; i < Layouts().size(); ++i) {
    const Layout& layout = Layouts()[i];
    if (i > 0) problem += i + 1 < Layouts().size() ? ", " : " or ";
    problem += std::string(layout.name) + " (";
    const std::size_t shown = layout.required == 0 ? layout.columns.size() : layout.required;
    for (std::size_t c = 0; c < shown; ++c) {
      if (c > 0) problem += ", ";
      problem += layout.columns[c];
    }
    problem += ")";
  }
  reader.Fail(reader.RowLine(), problem);
}

}  // namespace

void CsvWriter::Begin(SecureString& out) const {
  for (std::size_t f = 0; f < kFieldCount; ++f) {
    out += kFieldNames[f];
    out += f + 1 < kFieldCount ? "," : "\r\n";
  }
}

void CsvWriter::Add(const PlainEntry& entry, SecureString& out) const {
  for (std::size_t f = 0; f < kFieldCount; ++f) {
    AppendField(entry.fields[f].View(), out);
    out += f + 1 < kFieldCount ? "," : "\r\n";
  }
}

void AppendCsv(const std::vector<PlainEntry>& entries, SecureString& out) {
  const CsvWriter writer;
  writer.Begin(out);
  for (const PlainEntry& entry : entries) writer.Add(entry, out);
  writer.End(out);
}

std::size_t ParseCsv(std::string_view document, const LoginVisitor& visit) {
  Reader reader(DocumentText(document));
  std::vector<SecureString> header;
  if (!reader.NextRow(header)) throw Error("the document has no header row");
  for (std::size_t i = 0; i < header.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (header[i] == header[j]) {
        reader.Fail(reader.RowLine(),
                    "the column " + QuotedName(header[i].View()) + " appears twice");
      }
    }
  }
  const Layout& layout = LayoutOf(header, reader);
  // Where each of the layout's columns is in a row, if it is there.
  std::vector<std::optional<std::size_t>> position(layout.columns.size());
  for (std::size_t i = 0; i < header.size(); ++i) {
    position[*layout.Find(header[i].View())] = i;
  }
  const auto field = [&](const std::vector<SecureString>& row, int column) -> std::string_view {
    if (column < 0 || !position[column]) return {};
    return row[*position[column]].View();
  };

  std::size_t notLogins = 0;
  // One row and one entry, their strings used again for every row.
  std::vector<SecureString> row;
  PlainEntry entry;
  while (reader.NextRow(row)) {
    if (row.size() != header.size()) {
      reader.Fail(reader.RowLine(), std::to_string(row.size()) + " fields where the header has " +
                                        std::to_string(header.size()));
    }
    for (std::size_t f = 0; f < kFieldCount; ++f) {
      entry.fields[f].assign(field(row, layout.fields[f]));
    }
    if (!layout.IsLogin(entry, field(row, layout.kindColumn))) {
      ++notLogins;
      continue;
    }
    layout.Complete(entry);
    visit(entry);
  }
  return notLogins;
}

}  // namespace corvella::interchange
