// SPDX-FileCopyrightText: 2026 The Corvella developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "TestVectors.h"
#include "store/Errors.h"
#include "store/PasswordStream.h"
#include "store/SessionKey.h"

// Records the largest single allocation, so that a test can show a length prefix is never
// trusted for an allocation.
namespace {
std::atomic<std::size_t> largestAllocation{0};

// Out of line, so that the compiler does not pair this free() with the operator new below.
[[gnu::noinline]] void Release(void* memory) noexcept { std::free(memory); }
}  // namespace

void* operator new(std::size_t size) {
  std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }

namespace corvella {
namespace {

using test::ToHex;

// The stream is built by hand here, independent of WriteString.
std::string Length(std::int32_t length) {
  const auto value = static_cast<std::uint32_t>(length);
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

std::string Str(std::string_view text) {
  return Length(static_cast<std::int32_t>(text.size())) + std::string(text);
}

struct Fields {
  std::string siteName;
  std::string url;
  std::string password;
  std::string userName;

  bool operator==(const Fields&) const = default;
};

void PrintTo(const Fields& f, std::ostream* out) {
  *out << "{" << ToHex(f.siteName) << ", " << ToHex(f.url) << ", " << ToHex(f.password) << ", "
       << ToHex(f.userName) << "}";
}

std::string Record(const Fields& f) {
  return Str("SiteName") + Str(f.siteName) + Str("Url") + Str(f.url) + Str("Password") +
         Str(f.password) + Str("UserName") + Str(f.userName) + Str("End");
}

std::string Stream(const std::vector<Fields>& entries) {
  std::string stream = "QVZ";
  for (const Fields& f : entries) stream += Record(f);
  return stream;
}

// The key of every entry in these tests.
const SessionKey testKey;

Fields FieldsOf(const RecordView& record) {
  return {std::string(record.siteName), std::string(record.url), std::string(record.password),
          std::string(record.userName)};
}

Fields FieldsOf(const Entry& entry) {
  return FieldsOf(
      RecordView{entry.SiteName(), entry.Url(), entry.UserName(), entry.Password(testKey).View()});
}

EntryPtr MakeEntry(const Fields& f) {
  auto entry = std::make_shared<Entry>();
  entry->SetSiteName(f.siteName);
  entry->SetUrl(f.url);
  entry->SetPassword(f.password, testKey);
  entry->SetUserName(f.userName);
  return entry;
}

// Reads `stream` as it arrives from a file: in pieces of `pieceSize` bytes.
void ReadInPieces(const std::string& stream, std::size_t pieceSize,
                  const std::function<void(const RecordView&)>& visit) {
  std::size_t offset = 0;
  ReadPasswordRecords(
      stream.size(), pieceSize,
      [&](SecureBytes& window) {
        const std::size_t count = std::min(pieceSize, stream.size() - offset);
        window.insert(window.end(), stream.begin() + static_cast<std::ptrdiff_t>(offset),
                      stream.begin() + static_cast<std::ptrdiff_t>(offset + count));
        offset += count;
      },
      visit);
}

// Pieces that cut records, lengths and the marker anywhere, and one larger than the stream.
constexpr std::size_t kPieceSizes[] = {1, 2, 7, 1 << 20};

// The entries of `stream`, read whole; read in pieces of any size, it must give the same.
std::vector<Fields> Read(const std::string& stream) {
  std::vector<Fields> entries;
  ReadPasswordStream(test::Bytes(stream), testKey,
                     [&entries](EntryPtr entry) { entries.push_back(FieldsOf(*entry)); });
  for (const std::size_t pieceSize : kPieceSizes) {
    std::vector<Fields> inPieces;
    ReadInPieces(stream, pieceSize,
                 [&inPieces](const RecordView& record) { inPieces.push_back(FieldsOf(record)); });
    EXPECT_EQ(inPieces, entries) << "in pieces of " << pieceSize << " bytes";
  }
  return entries;
}

class StreamTest : public testing::Test {};

TEST_F(StreamTest, EmptyListIsTheMarkerAlone) {
  SecureBytes stream;
  WritePasswordStream({}, testKey, stream);
  EXPECT_EQ(std::string(stream.begin(), stream.end()), "QVZ");
  EXPECT_TRUE(Read("QVZ").empty());
}

TEST_F(StreamTest, EmptyEntryIsA66ByteRecord) {
  SecureBytes stream;
  WritePasswordStream({std::make_shared<Entry>()}, testKey, stream);
  ASSERT_EQ(stream.size(), kStreamMarker.size() + kEmptyRecordSize);
  EXPECT_EQ(ToHex(stream), ToHex(Stream({Fields{}})));
  EXPECT_EQ(Read(Stream({Fields{}})), std::vector<Fields>{Fields{}});
}

TEST_F(StreamTest, WriteAppendsToTheStream) {
  SecureBytes stream = {'x'};
  WritePasswordStream({}, testKey, stream);
  EXPECT_EQ(std::string(stream.begin(), stream.end()), "xQVZ");
}

struct RoundTripCase {
  std::string name;
  std::vector<Fields> entries;
};

class StreamRoundTrip : public StreamTest, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(StreamRoundTrip, WritesTheRecordsAndReadsThemBack) {
  std::vector<EntryPtr> entries;
  for (const Fields& f : GetParam().entries) entries.push_back(MakeEntry(f));
  SecureBytes stream;
  WritePasswordStream(entries, testKey, stream);
  const std::string expected = Stream(GetParam().entries);
  EXPECT_EQ(ToHex(stream), ToHex(expected));
  EXPECT_EQ(Read(expected), GetParam().entries);

  // Written in parts, the stream is the same, each part but the last a whole number of them.
  for (const std::size_t partSize : {std::size_t{16}, std::size_t{32}, std::size_t{1} << 16}) {
    SCOPED_TRACE("in parts of " + std::to_string(partSize) + " bytes");
    std::string joined;
    bool ended = false;
    WritePasswordStream(entries, testKey, partSize,
                        [&](std::span<const unsigned char> part, bool last) {
                          EXPECT_FALSE(ended) << "a part after the last";
                          if (!last) {
                            EXPECT_EQ(part.size() % partSize, 0u);
                          }
                          joined.append(part.begin(), part.end());
                          ended = last;
                        });
    EXPECT_TRUE(ended);
    EXPECT_EQ(ToHex(joined), ToHex(expected));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, StreamRoundTrip,
    testing::Values(
        RoundTripCase{"Plain", {{"Mail", "https://mail.example.org/", "Tr0ub4dor&3", "alice"}}},
        RoundTripCase{"TagWordsAsValues",
                      {{"End", "SiteName", "Password", "UserName"}, {"Url", "End", "End", "End"}}},
        RoundTripCase{"ZeroAndHighBytes",
                      {{std::string("a\0b", 3), "\xe9\x80\xff", std::string("\0\xff\x01\x80", 4),
                        "j\xc3\xb3zef"}}},
        RoundTripCase{"Several", {{"One", "", "", ""}, {}, {"", "", "p", ""}, {"", "", "", "u"}}},
        RoundTripCase{"LongValue", {{std::string(70000, 's'), "u", std::string(300, 'p'), "n"}}}),
    [](const auto& nameInfo) { return nameInfo.param.name; });

struct ReadCase {
  std::string name;
  std::string stream;
  std::vector<Fields> expected;
};

class StreamRead : public StreamTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(StreamRead, ReadsTheEntries) { EXPECT_EQ(Read(GetParam().stream), GetParam().expected); }

const Fields kSample{"Site", "https://u.example/", "pw", "user"};

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamRead,
    testing::Values(
        ReadCase{"ReorderedTags",
                 "QVZ" + Str("UserName") + Str("n") + Str("Password") + Str("p") + Str("Url") +
                     Str("u") + Str("SiteName") + Str("s") + Str("End"),
                 {{"s", "u", "p", "n"}}},
        ReadCase{"MissingTagsStayEmpty",
                 "QVZ" + Str("Url") + Str("u") + Str("End"),
                 {{"", "u", "", ""}}},
        ReadCase{
            "UnknownTagAndValueSkipped",
            "QVZ" + Str("Note") + Str("misc") + Str("SiteName") + Str("s") + Str("") + Str("End"),
            {{"s", "", "", ""}}},
        // An unknown tag takes no value: the next string is read as a tag again.
        ReadCase{"UnknownTagFollowedByATag",
                 "QVZ" + Str("Note") + Str("Url") + Str("u") + Str("End"),
                 {{"", "u", "", ""}}},
        ReadCase{"TagsAreCaseSensitive",
                 "QVZ" + Str("sitename") + Str("x") + Str("SITENAME") + Str("y") + Str("End"),
                 {{"", "", "", ""}}},
        ReadCase{"DuplicateTagLaterWins",
                 "QVZ" + Str("SiteName") + Str("first") + Str("Password") + Str("p1") +
                     Str("SiteName") + Str("second") + Str("Password") + Str("p2") + Str("End"),
                 {{"second", "", "p2", ""}}},
        ReadCase{"EndAsAValue",
                 "QVZ" + Str("SiteName") + Str("End") + Str("End") + Record(kSample),
                 {{"End", "", "", ""}, kSample}},
        ReadCase{"OneStrayByteIgnored", Stream({kSample}) + std::string(1, '\0'), {kSample}},
        ReadCase{"OneStrayByteAfterMarkerIgnored", "QVZ?", {}}),
    [](const auto& nameInfo) { return nameInfo.param.name; });

enum class Failure { StreamRead, InvalidPassword };

struct BadCase {
  std::string name;
  std::string stream;
  Failure failure;
  std::size_t completeBefore;  // entries handed out before the failure
};

class StreamReadFailure : public StreamTest, public testing::WithParamInterface<BadCase> {};

TEST_P(StreamReadFailure, RaisesTheError) {
  std::size_t handedOut = 0;
  const auto read = [&] {
    ReadPasswordStream(test::Bytes(GetParam().stream), testKey, [&](EntryPtr) { ++handedOut; });
  };
  largestAllocation = 0;
  if (GetParam().failure == Failure::StreamRead) {
    EXPECT_THROW(read(), StreamReadError);
  } else {
    EXPECT_THROW(read(), InvalidPasswordError);
  }
  EXPECT_LT(largestAllocation.load(), 1u << 20) << "an allocation followed a length prefix";
  EXPECT_EQ(handedOut, GetParam().completeBefore);

  for (const std::size_t pieceSize : kPieceSizes) {
    SCOPED_TRACE("in pieces of " + std::to_string(pieceSize) + " bytes");
    handedOut = 0;
    const auto readInPieces = [&] {
      ReadInPieces(GetParam().stream, pieceSize, [&](const RecordView&) { ++handedOut; });
    };
    if (GetParam().failure == Failure::StreamRead) {
      EXPECT_THROW(readInPieces(), StreamReadError);
    } else {
      EXPECT_THROW(readInPieces(), InvalidPasswordError);
    }
    EXPECT_EQ(handedOut, GetParam().completeBefore);
  }
}

const std::string kPartial = Str("SiteName") + Str("s") + Str("Url");

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamReadFailure,
    testing::Values(
        BadCase{"TwoStrayBytes", Stream({kSample}) + std::string(2, '\0'), Failure::StreamRead, 1},
        BadCase{"TruncatedLength", "QVZ" + kPartial + std::string("\x05\x00", 2),
                Failure::StreamRead, 0},
        BadCase{"ValueShorterThanItsLength", "QVZ" + kPartial + Length(10) + "abc",
                Failure::StreamRead, 0},
        BadCase{"NegativeLength", "QVZ" + kPartial + Length(-1) + std::string(16, 'x'),
                Failure::StreamRead, 0},
        BadCase{"MostNegativeLength", "QVZ" + kPartial + Length(INT32_MIN) + std::string(16, 'x'),
                Failure::StreamRead, 0},
        BadCase{"MissingEnd",
                Stream({kSample}) + Str("SiteName") + Str("s") + Str("Url") + Str("u"),
                Failure::StreamRead, 1},
        BadCase{"AbsurdValueLength", "QVZ" + Str("SiteName") + Length(0x7FFFFFFF) + "abcdefgh",
                Failure::StreamRead, 0},
        BadCase{"AbsurdPasswordLength", "QVZ" + Str("Password") + Length(0x7FFFFFFF) + "abcdefgh",
                Failure::StreamRead, 0},
        BadCase{"AbsurdTagLength", Stream({kSample}) + Length(0x7FFFFFFF) + "End",
                Failure::StreamRead, 1},
        BadCase{"LengthOneTooLarge", "QVZ" + Str("SiteName") + Length(4) + "abc",
                Failure::StreamRead, 0},
        BadCase{"Empty", "", Failure::StreamRead, 0},
        BadCase{"OneByte", "Q", Failure::StreamRead, 0},
        BadCase{"TwoBytes", "QV", Failure::StreamRead, 0},
        BadCase{"WrongMarker", "QVY" + Record(kSample), Failure::InvalidPassword, 0},
        BadCase{"LowerCaseMarker", "qvz" + Record(kSample), Failure::InvalidPassword, 0},
        BadCase{"MarkerLate", std::string("\0QVZ", 4) + Record(kSample), Failure::InvalidPassword,
                0}),
    [](const auto& nameInfo) { return nameInfo.param.name; });

}  // namespace
}  // namespace corvella
