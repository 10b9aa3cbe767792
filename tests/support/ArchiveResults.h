#pragma once
// Helpers of the archive tests for the outcomes of the archive's entry points: the text of
// a failure for an assertion's message, and a listing that fails the test when unreadable.
#include "archive/zip/ZipReader.h"
#include "common/Errors.h"
#include "common/LanguageText.h"
#include "common/Result.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace velmora::test {

// The English text of an outcome's failure, "" for success.
template <typename T> std::string FailureText(const Result<T>& outcome)
{
    return outcome ? std::string() : ErrorText(outcome.error(), kEnglish);
}
inline std::string FailureText(const std::optional<Error>& error)
{
    return error ? ErrorText(*error, kEnglish) : std::string();
}

// The archive's listing; an archive that cannot be read fails the test and lists nothing.
inline ZipListing Listing(const std::filesystem::path& archive)
{
    Result<ZipListing> listed = ListZipArchive(archive);
    if (!listed) {
        ADD_FAILURE() << ErrorText(listed.error(), kEnglish);
        return {};
    }
    return std::move(*listed);
}

} // namespace velmora::test
