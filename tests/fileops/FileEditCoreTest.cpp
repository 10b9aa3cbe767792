#include "fileops/AttributeEdit.h"
#include "fileops/FileDateEdit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

using namespace velmora;

namespace {

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return EncodeDateTime({year, month, day, hour, minute, second, ms});
}

std::string Text(std::optional<TDateTime> value)
{
    if (!value) return "-";
    const DateTimeParts p = DecodeDateTime(*value);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second, p.millisecond);
    return text;
}

// One file's times, attributes and usage as the fakes of the three services see them.
struct FakeFile : IFileTimes, IFileAttributes, IFileUsage {
    bool exists = true;
    std::uint32_t attributes = kAttributeArchive;
    bool locked = false;
    bool refuseTimes = false;
    TDateTime modified = At(2001, 2, 3, 4, 5, 6);
    int setCalls = 0;

    std::optional<TDateTime> ModificationTime(const std::string&) override
    {
        return exists ? std::optional<TDateTime>(modified) : std::nullopt;
    }
    std::optional<TDateTime> LastAccessTime(const std::string&) override { return std::nullopt; }
    Result<void> SetModificationTime(const std::string& path, TDateTime local) override
    {
        ++setCalls;
        if (refuseTimes) return Fail(ErrorFromErrno(EPERM, path, kSetModificationTimeFailed));
        modified = local;
        return Ok();
    }
    Result<void> SetAccessAndModificationTime(const std::string&, TDateTime) override
    {
        return Fail(ErrorFromErrno(ENOSYS));
    }
    TDateTime Now() override { return 0; }
    std::optional<std::uint32_t> ReadAttributes(const std::string&) override
    {
        return exists ? std::optional<std::uint32_t>(attributes) : std::nullopt;
    }
    Result<void> WriteAttributes(const std::string&, std::uint32_t) override { return Fail(ErrorFromErrno(ENOSYS)); }
    bool IsFileInUse(const std::string&) override { return locked; }
    bool IsFileLocked(const std::string&) override { return locked; }
};

} // namespace

TEST(FileDateEdit, OnlyWhatThePackedDateHoldsIsStored)
{
    const struct {
        TDateTime value;
        const char* stored;
    } cases[] = {
        {At(2024, 5, 17, 14, 3, 27), "2024-05-17 14:03:26.000"},
        {At(2024, 5, 17, 14, 3, 26, 999), "2024-05-17 14:03:26.000"},
        {At(2024, 5, 17), "2024-05-17 00:00:00.000"},
        {At(1980, 1, 1), "1980-01-01 00:00:00.000"},
        {At(2107, 12, 31, 23, 59, 59), "2107-12-31 23:59:58.000"},
        {At(1979, 12, 31, 23, 59, 59), "-"},
        {At(2108, 1, 1), "-"},
        {0.5, "-"}, // a time alone lies on 1899-12-30
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(StorableFileDate(c.value)), c.stored) << Text(c.value);
    }
}

TEST(FileDateEdit, CommandLineDateForms)
{
    const struct {
        const char* text;
        const char* parsed;
    } cases[] = {
        {"2024-05-17", "2024-05-17 00:00:00.000"},
        {"2024-05-17 14:03", "2024-05-17 14:03:00.000"},
        {"2024-05-17T14:03:27", "2024-05-17 14:03:27.000"},
        {"1979-02-28", "1979-02-28 00:00:00.000"}, // parses; whether it can be stored is decided later
        {"2024-02-30", "-"},
        {"2024-05-17 24:00", "-"},
        {"2024-5-17", "-"},
        {"2024-05-17 14:03:2", "-"},
        {"2024-05-17 14", "-"},
        {"abc", "-"},
        {"", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(ParseIsoDateTime(c.text)), c.parsed) << c.text;
    }
}

TEST(FileDateEdit, WritesOnlyAStorableDateToAFileNobodyHolds)
{
    const TDateTime wanted = At(2024, 5, 17, 14, 3, 27);
    const TDateTime old = At(2001, 2, 3, 4, 5, 6);
    const struct {
        const char* name;
        void (*prepare)(FakeFile&);
        TDateTime value;
        FileDateResult result;
        TDateTime endsWith;
    } cases[] = {
        {"plain file", [](FakeFile&) {}, wanted, FileDateResult::Stored, At(2024, 5, 17, 14, 3, 26)},
        {"out of range", [](FakeFile&) {}, At(1979, 1, 1), FileDateResult::OutOfRange, old},
        {"read-only", [](FakeFile& f) { f.attributes |= kAttributeReadOnly; }, wanted, FileDateResult::ReadOnly, old},
        {"held by another program", [](FakeFile& f) { f.locked = true; }, wanted, FileDateResult::InUse, old},
        {"refused", [](FakeFile& f) { f.refuseTimes = true; }, wanted, FileDateResult::WriteFailed, old},
    };
    for (const auto& c : cases) {
        FakeFile file;
        c.prepare(file);
        const FileDateOutcome outcome = ApplyFileDate("/f", c.value, {file, file, file});
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(Text(file.modified), Text(c.endsWith)) << c.name;
        EXPECT_EQ(Text(outcome.readBack), Text(c.endsWith)) << c.name;
        EXPECT_EQ(file.setCalls, c.result == FileDateResult::Stored || c.result == FileDateResult::WriteFailed)
            << c.name;
    }

    FakeFile gone;
    gone.exists = false;
    const FileDateOutcome outcome = ApplyFileDate("/f", wanted, {gone, gone, gone});
    EXPECT_EQ(outcome.result, FileDateResult::WriteFailed);
    EXPECT_EQ(outcome.error.kind, Error::Kind::NotFound);
    EXPECT_EQ(outcome.error.systemError, ENOENT);
    EXPECT_EQ(outcome.error.path, "/f");
    EXPECT_FALSE(outcome.readBack);
}

TEST(AttributeEdit, BoxesAndLetters)
{
    EXPECT_EQ(AttributesFromBoxes({true, true, true, true}), 0x27u);
    EXPECT_EQ(AttributesFromBoxes({false, false, true, false}), kAttributeHidden);
    EXPECT_EQ(AttributesFromBoxes({}), 0u) << "no box ticked: none of the four";

    const std::map<std::string, std::optional<std::uint32_t>> parsed{
        {"ARHS", 0x27u},    {"sHr", 0x07u},       {"A", 0x20u},         {"-", 0u},
        {"", std::nullopt}, {"--", std::nullopt}, {"AX", std::nullopt}, {"A-", std::nullopt},
    };
    for (const auto& [text, value] : parsed) {
        EXPECT_EQ(ParseAttributeLetters(text), value) << text;
    }
    EXPECT_EQ(AttributeLetters(0x27), "ARHS");
    EXPECT_EQ(AttributeLetters(0x06), "HS");
    EXPECT_EQ(AttributeLetters(0x100), "-") << "bits outside the four are not shown";
}
