#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Result.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

using namespace velmora;

TEST(Errors, SystemErrorNumbersMapToKinds)
{
    using Kind = Error::Kind;
    const struct {
        int err;
        Kind kind;
    } cases[] = {
        {ENOENT, Kind::NotFound},
        {EACCES, Kind::AccessDenied},
        {EPERM, Kind::AccessDenied},
        {EROFS, Kind::AccessDenied},
        {EBUSY, Kind::InUse},
        {EEXIST, Kind::Exists},
        {ENOTEMPTY, Kind::Exists},
        {ENOTDIR, Kind::NotAFolder},
        {EISDIR, Kind::IsAFolder},
        {ENOSPC, Kind::NoSpace},
        {EINVAL, Kind::InvalidInput},
        {ENOSYS, Kind::Unsupported},
        {ECANCELED, Kind::Cancelled},
        {EIO, Kind::Io},
        {0, Kind::Io},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorKindFromErrno(c.err), c.kind) << c.err;
    const Error error = ErrorFromErrno(EACCES, "/x", "Writing");
    EXPECT_EQ(error.kind, Kind::AccessDenied);
    EXPECT_EQ(error.systemError, EACCES);
    EXPECT_EQ(error.path, "/x");
}

// The text is built from the parts there are; the detail stands before the path, the
// system's own text after it, whatever the language.
TEST(Errors, TextHasEachPartThereIsInEitherLanguage)
{
    using Kind = Error::Kind;
    const std::string denied = std::strerror(EACCES);
    const struct {
        Error error;
        std::string english;
        std::string german;
    } cases[] = {
        {{Kind::AccessDenied, "/a b", EACCES, "cannot set the attributes of"},
         "cannot set the attributes of '/a b': " + denied,
         "cannot set the attributes of '/a b': " + denied},
        {{Kind::NotFound, "a\nb", 0, ""}, "not found $'a\\nb'", "nicht gefunden $'a\\nb'"},
        {{Kind::WrongPassword, "", 0, ""}, "wrong password", "falsches Passwort"},
        {{Kind::Io, "", EACCES, "Writing"}, "Writing: " + denied, "Writing: " + denied},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorText(c.error, kEnglish), c.english);
        EXPECT_EQ(ErrorText(c.error, kGerman), c.german);
    }
    EXPECT_EQ(SystemErrorText("cannot read", "/f", ENOENT), "cannot read '/f': " + std::string(std::strerror(ENOENT)));
    EXPECT_EQ(SystemErrorText("cannot read", "", 0), "cannot read");
    // Every kind has words in both languages.
    for (int k = 0; k <= static_cast<int>(Kind::Io); ++k) {
        EXPECT_STRNE(ErrorKindText(static_cast<Kind>(k), kEnglish), "");
        EXPECT_STRNE(ErrorKindText(static_cast<Kind>(k), kGerman), "");
    }
}

namespace {
Result<std::unique_ptr<int>> Made(bool ok)
{
    if (!ok) return Fail(ErrorFromErrno(ENOENT, "/p", "Opening"));
    return std::make_unique<int>(7);
}

Result<void> Done(bool ok)
{
    if (!ok) return Fail(Error{Error::Kind::Cancelled, {}, 0, {}});
    return Ok();
}
} // namespace

TEST(Result, CarriesAValueOrAnError)
{
    Result<std::unique_ptr<int>> made = Made(true);
    ASSERT_TRUE(made);
    EXPECT_TRUE(made.has_value());
    EXPECT_EQ(**made, 7);
    std::unique_ptr<int> taken = std::move(made).value(); // move-only values move out
    EXPECT_EQ(*taken, 7);

    const Result<std::unique_ptr<int>> failed = Made(false);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, Error::Kind::NotFound);
    EXPECT_EQ(failed.error().path, "/p");

    const Result<std::string> text = std::string("abc");
    EXPECT_EQ(text->size(), 3u);
    EXPECT_EQ(Result<int>(Fail(Error{})).value_or(4), 4);
    EXPECT_EQ(Result<int>(5).value_or(4), 5);

    EXPECT_TRUE(Done(true));
    const Result<void> stopped = Done(false);
    ASSERT_FALSE(stopped.has_value());
    EXPECT_EQ(stopped.error().kind, Error::Kind::Cancelled);
}
