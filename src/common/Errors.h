#pragma once
// The one error type of the program. A failure travels as an Error (what kind of
// failure, the path it is about, the saved system error number and a short statement of
// what was being done) inside a Result (common/Result.h) from the platform layer up to
// the command line and the windows, and becomes text only where it is shown (ErrorText).
//
// VelmoraError is the exception a window's command handler throws with text that is
// ready to show; the event boundary puts that text in the application's standard error
// box. It never crosses from one part of the program into another.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

struct Error {
    enum class Kind {
        NotFound,      // nothing at the path
        AccessDenied,  // not permitted: permissions, owner, read-only file system
        InUse,         // another process holds it, or the system is busy with it
        Exists,        // something is already there
        NotAFolder,    // a folder was needed
        IsAFolder,     // a file was needed
        NoSpace,       // the disk or the quota is full
        InvalidInput,  // a value the operation cannot take (a date out of range, a bad name)
        InvalidData,   // damaged or malformed data
        WrongPassword, // a missing or wrong password
        Cancelled,     // the user stopped it
        Unsupported,   // the system or the file system does not offer it
        Io,            // any other failure of the system
    };
    Kind kind = Kind::Io;
    std::string path;    // the file or folder the failure is about (UTF-8); may be empty
    int systemError = 0; // the saved errno value (Windows errors mapped to errno), else 0
    // What was being done ("cannot set the attributes of"), or a short statement of what
    // was found; the kind's own words stand in for it when empty.
    std::string detail;
};

// The kind that an errno value means.
Error::Kind ErrorKindFromErrno(int err);

// An Error of the kind err means, with err saved.
Error ErrorFromErrno(int err, std::string path = {}, std::string detail = {});

// The same Error saying in its own words what was being done, for callers that know it
// better than the part of the program that failed.
Error WithDetail(Error error, std::string detail);

// The kind's own words in the language (common/LanguageText.h: non-zero is English).
const char* ErrorKindText(Error::Kind kind, std::int32_t language);

// The user's text: "<detail> '<path>': <system error text>", each part only when there is
// one; the detail is the kind's words when empty. Names are quoted as QuotedInText does.
// The system error text is the system's own (strerror), whatever the language.
std::string ErrorText(const Error& error, std::int32_t language);

class VelmoraError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "<operation> '<path>': <strerror(err)>" with the saved errno value: the English text
// of ErrorFromErrno(err, path, operation).
std::string SystemErrorText(const std::string& operation, const std::string& path, int err);

} // namespace velmora
