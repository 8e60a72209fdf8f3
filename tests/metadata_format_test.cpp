// The pure parts of names from metadata: the token syntax, date formats and
// zones, dates in file names, and values made fit for a name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "engine/metadata/date_format.h"
#include "engine/metadata/date_text.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/field_tokens.h"
#include "engine/metadata/name_date.h"
#include "engine/metadata/name_piece.h"
#include "engine/metadata/token_values.h"

namespace quil::metadata {
namespace {

struct TokenRow {
    const char* text;
    TokenScan scan;
    std::vector<Field> chain;
    std::size_t length;     // of the token, or the error's offset
    const char* message;    // the start of the error message
};

TEST(FieldTokens, ParseOrSayWhatAndWhere) {
    const TokenRow rows[] = {
        {"{taken}", TokenScan::Token, {Field::Taken}, 7, ""},
        {"{taken:%Y-%m-%d}", TokenScan::Token, {Field::Taken}, 16, ""},
        {"{taken|name-date|mtime:%F}", TokenScan::Token, {Field::Taken, Field::NameDate, Field::Modified}, 26, ""},
        {"{album-artist|artist}", TokenScan::Token, {Field::AlbumArtist, Field::Artist}, 21, ""},
        {"{name_date}", TokenScan::Token, {Field::NameDate}, 11, ""},
        {"{track:2} - x", TokenScan::Token, {Field::Track}, 9, ""},
        {"{n}", TokenScan::NotAToken, {}, 0, ""},
        {"{n:3}", TokenScan::NotAToken, {}, 0, ""},
        {"{1}", TokenScan::NotAToken, {}, 0, ""},
        {"{ taken}", TokenScan::NotAToken, {}, 0, ""},
        {"{", TokenScan::NotAToken, {}, 0, ""},
        {"{tkaen}", TokenScan::Error, {}, 1, "unknown field {tkaen}; the fields are taken, mtime, birth, name-date,"},
        {"{taken|n}", TokenScan::Error, {}, 7, "the counter {n} cannot be part of a chain"},
        {"{taken|artist}", TokenScan::Error, {}, 7, "a chain takes fields of one kind: taken is a date, artist a text"},
        {"{taken:%Q}", TokenScan::Error, {}, 7, "%Q is not a date conversion"},
        {"{taken:%Y%}", TokenScan::Error, {}, 9, "a % ends the format"},
        {"{taken:x}", TokenScan::Error, {}, 7, "the date format has no conversion"},
        {"{taken:}", TokenScan::Error, {}, 7, "nothing follows the :"},
        {"{track:a}", TokenScan::Error, {}, 7, "{track} takes a width in digits"},
        {"{artist:2}", TokenScan::Error, {}, 7, "{artist} is a text and takes no format"},
        {"{taken", TokenScan::Error, {}, 6, "the token is not closed by }"},
        {"{taken:%Y", TokenScan::Error, {}, 0, "the token is not closed by }"},
        {"{taken||mtime}", TokenScan::Error, {}, 7, "a field name is missing here"},
        {"{draft copy}", TokenScan::Error, {}, 1, "unknown field {draft}"},
    };
    for (const TokenRow& row : rows) {
        SCOPED_TRACE(row.text);
        FieldToken token;
        TokenError error;
        const TokenScan scan = ParseFieldToken(row.text, 0, token, error);
        ASSERT_EQ(scan, row.scan) << error.message;
        if (scan == TokenScan::Token) {
            EXPECT_EQ(token.chain, row.chain);
            EXPECT_EQ(token.length, row.length);
        } else if (scan == TokenScan::Error) {
            EXPECT_EQ(error.offset, row.length);
            EXPECT_EQ(error.message.rfind(row.message, 0), 0u) << error.message;
        }
    }
}

TEST(FieldTokens, OffsetsAreInTheWholeReplacement) {
    FieldToken token;
    TokenError error;
    EXPECT_EQ(ParseFieldToken("holiday {taken:%Q}", 8, token, error), TokenScan::Error);
    EXPECT_EQ(error.offset, 15u);
    ASSERT_EQ(ParseFieldToken("a{track:3}b", 1, token, error), TokenScan::Token);
    EXPECT_EQ(token.offset, 1u);
    EXPECT_EQ(token.length, 9u);
    EXPECT_EQ(token.width, 3);
}

DateValue Shot(const char* subSeconds, std::optional<int> offset) {
    DateValue date;
    date.wallClock = {2024, 7, 14, 9, 30, 12};
    date.subSeconds = subSeconds;
    date.offsetMinutes = offset;
    return date;
}

struct FormatRow {
    const char* format;
    DateValue date;
    const char* text;
    std::vector<std::string> notes;
};

TEST(DateFormats, WriteEachConversionTheSameInAnyLocale) {
    DateValue dateOnly = Shot("", std::nullopt);
    dateOnly.hasTimeOfDay = false;
    dateOnly.wallClock.hour = dateOnly.wallClock.minute = dateOnly.wallClock.second = 0;
    const FormatRow rows[] = {
        {"%Y%m%d_%H%M%S", Shot("45", 120), "20240714_093012", {}},
        {"%Y%m%d_%H%M%S_%f%z", Shot("45", 120), "20240714_093012_45+0200", {}},
        {"%F %T %z", Shot("", -330), "2024-07-14 09:30:12 -0530", {}},
        {"%y %j %a %A %b %B %I%p %%", Shot("", std::nullopt), "24 196 Sun Sunday Jul July 09AM %", {}},
        {"%H%M%S.%f%z", Shot("", std::nullopt), "093012.", {"no sub-seconds recorded", "no offset recorded"}},
        {"%Y%m%d_%H%M%S", dateOnly, "20240714_000000", {"the name gives no time of day: 00:00:00 written"}},
        {"%Y%m%d", dateOnly, "20240714", {}},
    };
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.format);
        DateFormat format;
        FormatError error;
        ASSERT_TRUE(DateFormat::Parse(row.format, format, error)) << error.message;
        std::vector<std::string> notes;
        EXPECT_EQ(format.Write(row.date, notes), row.text);
        EXPECT_EQ(notes, row.notes);
    }
}

TEST(DateFormats, InstantsShowInTheZoneGivenElseTheLocalOne) {
    DateValue header;
    header.origin = DateOrigin::MovieHeader;
    header.utcSeconds = 1720942212;  // 2024-07-14T07:30:12Z
    Zone zone;
    ASSERT_TRUE(ParseZone("+02:00", zone));
    EXPECT_EQ(InZone(header, zone).wallClock, (CivilTime{2024, 7, 14, 9, 30, 12}));
    ASSERT_TRUE(ParseZone("-09:30", zone));
    EXPECT_EQ(InZone(header, zone).wallClock, (CivilTime{2024, 7, 13, 22, 0, 12}));
    EXPECT_EQ(InZone(header, zone).offsetMinutes, -570);
    for (const char* bad : {"2", "+2:00", "+24:00", "UTC", "+02:60"}) EXPECT_FALSE(ParseZone(bad, zone)) << bad;

    // The local zone's rules at that instant, summer time included.
    const char* saved = std::getenv("TZ");
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    EXPECT_EQ(InZone(header, Zone{}).wallClock, (CivilTime{2024, 7, 14, 9, 30, 12}));
    header.utcSeconds = 1705221012;  // 2024-01-14T08:30:12Z, winter
    EXPECT_EQ(InZone(header, Zone{}).wallClock, (CivilTime{2024, 1, 14, 9, 30, 12}));
    if (saved) setenv("TZ", saved, 1);
    else unsetenv("TZ");
    tzset();

    // A wall-clock time is never converted.
    const DateValue exif = Shot("", 120);
    ASSERT_TRUE(ParseZone("-05:00", zone));
    EXPECT_EQ(InZone(exif, zone).wallClock, exif.wallClock);
    EXPECT_EQ(CivilOf(-1, 0), (CivilTime{1969, 12, 31, 23, 59, 59}));
}

TEST(DateFormats, OrderKeysFollowTheClockToTheSubSecond) {
    std::vector<DateValue> dates = {Shot("5", std::nullopt), Shot("45", std::nullopt), Shot("", std::nullopt),
                                    Shot("450", std::nullopt)};
    dates.back().wallClock.year = 2023;
    std::vector<std::string> keys;
    for (const DateValue& date : dates) keys.push_back(OrderKey(date));
    EXPECT_LT(keys[3], keys[2]);  // a year before
    EXPECT_LT(keys[2], keys[1]);  // no sub-seconds: the start of the second
    EXPECT_LT(keys[1], keys[0]);  // .45 before .5
}

TEST(DateTexts, ExifAndQuickTimeDates) {
    CivilTime time;
    EXPECT_TRUE(ParseExifDateTime(std::string("2024:07:14 09:30:12\0", 20), time));
    for (const char* bad : {"0000:00:00 00:00:00", "    :  :     :  :  ", "2024:02:30 09:30:12", "2024-07-14 09:30:12",
                            "2024:07:14 24:00:00", "2024:07:14 09:30"})
        EXPECT_FALSE(ParseExifDateTime(bad, time)) << bad;
    DateValue date;
    ASSERT_TRUE(ParseIsoDateTime("2024-07-14T09:30:12+0200", date));
    EXPECT_EQ(date.offsetMinutes, 120);
    ASSERT_TRUE(ParseIsoDateTime("2024-07-14T09:30:12.250-04:00", date));
    EXPECT_EQ(date.subSeconds, "250");
    EXPECT_EQ(date.offsetMinutes, -240);
    ASSERT_TRUE(ParseIsoDateTime("2024-07-14T09:30:12", date));
    EXPECT_FALSE(date.offsetMinutes);
    EXPECT_FALSE(ParseIsoDateTime("2024-07-14T09:30:12+2", date));
}

struct NameRow {
    const char* name;
    bool found;
    CivilTime time;
    bool hasTime;
    const char* subSeconds;
};

TEST(NameDates, TheDocumentedPatternsAndNothingElse) {
    const NameRow rows[] = {
        {"IMG-20200307-WA0001.jpg", true, {2020, 3, 7, 0, 0, 0}, false, ""},
        {"PXL_20240714_093012345.jpg", true, {2024, 7, 14, 9, 30, 12}, true, "345"},
        {"PXL_20240714_093012345.MP.jpg", true, {2024, 7, 14, 9, 30, 12}, true, "345"},
        {"2024-07-14 09.30.12.jpg", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"VID_20240714_093012.mp4", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"20240714_093012.jpg", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"Screenshot 2024-07-14 at 09.30.12.png", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"Screenshot_20240714-093012.png", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"signal-2024-07-14-093012.jpg", true, {2024, 7, 14, 9, 30, 12}, true, ""},
        {"scan 1998.05.30.tif", true, {1998, 5, 30, 0, 0, 0}, false, ""},
        {"IMG_20240714_0930.jpg", true, {2024, 7, 14, 0, 0, 0}, false, ""},
        {"2024-0714.jpg", false, {}, false, ""},
        {"invoice 120240714.pdf", false, {}, false, ""},
        {"IMG_1234.jpg", false, {}, false, ""},
        {"20241345_093012.jpg", false, {}, false, ""},
        {"18000101.txt", false, {}, false, ""},
    };
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<DateValue> date = DateInName(row.name);
        ASSERT_EQ(date.has_value(), row.found);
        if (!date) continue;
        EXPECT_EQ(date->origin, DateOrigin::FileName);
        EXPECT_EQ(date->wallClock, row.time);
        EXPECT_EQ(date->hasTimeOfDay, row.hasTime);
        EXPECT_EQ(date->subSeconds, row.subSeconds);
    }
}

TEST(NamePieces, ReplaceWhatANameCannotHoldAndSaySo) {
    struct Row {
        const char* value;
        bool windows;
        const char* text;
        const char* replaced;
    } rows[] = {
        {"AC/DC: Live", false, "AC_DC: Live", "/"},
        {"AC/DC: Live", true, "AC_DC_ Live", "/ :"},
        {"a\tb\x01" "c", false, "a_b_c", "\\x09 \\x01"},
        {"what? \"no\" <a|b>*\\", true, "what_ _no_ _a_b___", "? \" < | > * \\"},
        {"Live.", true, "Live_", "."},
        {"Live.", false, "Live.", ""},
        {"Café ", true, "Café_", " "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        const NamePiece piece = MakeNamePiece(row.value, row.windows);
        EXPECT_EQ(piece.text, row.text);
        EXPECT_EQ(piece.replaced, row.replaced);
    }
}

TEST(Cameras, TheMakeIsNotRepeated) {
    EXPECT_EQ(CameraName("Canon", "Canon EOS R5"), "Canon EOS R5");
    EXPECT_EQ(CameraName("NIKON CORPORATION", "NIKON D850"), "NIKON D850");
    EXPECT_EQ(CameraName("Apple", "iPhone 15 Pro"), "Apple iPhone 15 Pro");
    EXPECT_EQ(CameraName("samsung", "SAMSUNG-SM-G991B"), "SAMSUNG-SM-G991B");
    EXPECT_EQ(CameraName("Canon", "Canonet"), "Canon Canonet");
    EXPECT_EQ(CameraName("", "Pixel 8"), "Pixel 8");
    EXPECT_EQ(CameraName("Google", ""), "Google");
}

// A chain takes the first field with a value and says which; a number is
// padded; a file with none of them says why for each.
TEST(TokenValues, ChainsPaddingAndNotes) {
    FileMetadata file;
    file.Set(Field::NameDate, *DateInName("IMG-20200307-WA0001.jpg"));
    file.Set(Field::Track, std::int64_t{7});
    file.SetProblem(FieldSource::Container, "no EXIF in the file");
    FieldToken chain, track, taken;
    TokenError error;
    ASSERT_EQ(ParseFieldToken("{taken|name-date:%Y-%m-%d}", 0, chain, error), TokenScan::Token);
    ASSERT_EQ(ParseFieldToken("{track:3}", 0, track, error), TokenScan::Token);
    ASSERT_EQ(ParseFieldToken("{taken|mtime}", 0, taken, error), TokenScan::Token);
    const TokenValue dated = ValueOf(chain, file, {});
    EXPECT_EQ(dated.text, "2020-03-07");
    EXPECT_EQ(dated.field, Field::NameDate);
    EXPECT_EQ(dated.note, "no date taken: no EXIF in the file; name-date used");
    EXPECT_EQ(ValueOf(track, file, {}).text, "007");
    const TokenValue none = ValueOf(taken, file, {});
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.text, "");
    EXPECT_EQ(none.note, "no date taken: no EXIF in the file; no modification time");
}

}  // namespace
}  // namespace quil::metadata
