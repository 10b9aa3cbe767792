#pragma once
// The error type that handlers throw; the event boundary shows its text in the
// application's standard error box.
#include <stdexcept>
#include <string>

namespace velmora {

class VelmoraError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "<operation> '<path>': <strerror(err)>" with the saved errno value.
std::string SystemErrorText(const std::string& operation, const std::string& path, int err);

} // namespace velmora
