#pragma once
// Result<T>: a value, or the Error that kept it from being made. The subset of
// std::expected<T, Error> the program uses (has_value, operator bool, value, error,
// operator*, operator->, value_or), so it can become std::expected once the compilers of
// every build offer it. Result<void> carries only success or an Error.
//
// A function returns an Error through Fail(...): `return Fail(Error{...});` or
// `return Fail(ErrorFromErrno(errno, path, "Writing"));`.
#include "common/Errors.h"

#include <cassert>
#include <type_traits>
#include <utility>
#include <variant>

namespace velmora {

// The failure side of a Result, like std::unexpected: tells the Result constructor that
// an Error is meant, also where T could be built from one.
class Failure {
public:
    explicit Failure(Error error) : m_error(std::move(error)) {}
    Error& error() & { return m_error; }
    Error&& error() && { return std::move(m_error); }

private:
    Error m_error;
};

inline Failure Fail(Error error)
{
    return Failure(std::move(error));
}

template <typename T> class [[nodiscard]] Result {
public:
    using value_type = T;
    using error_type = Error;

    Result() requires std::is_default_constructible_v<T> : m_state(std::in_place_index<0>) {}
    Result(const T& value) : m_state(std::in_place_index<0>, value) {}
    Result(T&& value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure).error()) {}

    bool has_value() const noexcept { return m_state.index() == 0; }
    explicit operator bool() const noexcept { return has_value(); }

    // Only with a value (checked in debug builds), as std::expected's operator*.
    T& operator*() &
    {
        assert(has_value());
        return *std::get_if<0>(&m_state);
    }
    const T& operator*() const&
    {
        assert(has_value());
        return *std::get_if<0>(&m_state);
    }
    T&& operator*() && { return std::move(**this); }
    T* operator->() { return &**this; }
    const T* operator->() const { return &**this; }

    // The value; an Error here is a fault of the caller, which did not look first.
    T& value() & { return **this; }
    const T& value() const& { return **this; }
    T&& value() && { return std::move(**this); }

    template <typename U> T value_or(U&& fallback) const&
    {
        return has_value() ? **this : static_cast<T>(std::forward<U>(fallback));
    }

    // Only without a value.
    const Error& error() const&
    {
        assert(!has_value());
        return *std::get_if<1>(&m_state);
    }
    Error&& error() &&
    {
        assert(!has_value());
        return std::move(*std::get_if<1>(&m_state));
    }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    using value_type = void;
    using error_type = Error;

    Result() = default;
    Result(Failure failure) : m_error(std::move(failure).error()), m_failed(true) {}

    bool has_value() const noexcept { return !m_failed; }
    explicit operator bool() const noexcept { return has_value(); }
    void value() const { assert(has_value()); }
    void operator*() const { assert(has_value()); }

    const Error& error() const&
    {
        assert(!has_value());
        return m_error;
    }
    Error&& error() &&
    {
        assert(!has_value());
        return std::move(m_error);
    }

private:
    Error m_error;
    bool m_failed = false;
};

// Success of a Result<void>.
inline Result<void> Ok()
{
    return {};
}

} // namespace velmora
