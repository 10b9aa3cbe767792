#include "common/Errors.h"

#include "common/LanguageText.h"
#include "common/QuotedName.h"

#include <iterator>
#include <system_error>

namespace velmora {

const char* ErrorKindText(Error::Kind kind, std::int32_t language)
{
    using Kind = Error::Kind;
    static constexpr TextPair kTexts[] = {
        {"not found", "nicht gefunden"},
        {"access denied", "Zugriff verweigert"},
        {"in use by another program", "von einem anderen Programm verwendet"},
        {"already exists", "existiert bereits"},
        {"not a folder", "kein Ordner"},
        {"is a folder", "ist ein Ordner"},
        {"no space left", "kein Speicherplatz mehr"},
        {"invalid value", "ungültiger Wert"},
        {"damaged data", "beschädigte Daten"},
        {"wrong password", "falsches Passwort"},
        {"cancelled", "abgebrochen"},
        {"not supported", "nicht unterstützt"},
        {"input/output error", "Ein-/Ausgabefehler"},
    };
    static_assert(std::size(kTexts) == static_cast<std::size_t>(Kind::Io) + 1);
    return Pick(language, kTexts[static_cast<std::size_t>(kind)]);
}

std::string ErrorText(const Error& error, std::int32_t language)
{
    std::string text = error.detail.empty() ? ErrorKindText(error.kind, language) : error.detail;
    if (!error.path.empty()) text += " " + QuotedInText(error.path);
    if (error.systemError != 0) text += ": " + std::generic_category().message(error.systemError);
    return text;
}

std::string SystemErrorText(const std::string& operation, const std::string& path, int err)
{
    return ErrorText(ErrorFromErrno(err, path, operation), kEnglish);
}

} // namespace velmora
