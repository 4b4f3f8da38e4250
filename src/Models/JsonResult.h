#pragma once

#include "Models/JsonError.h"

#include <optional>
#include <utility>

// The value of an encoding or decoding step, or the error that stopped it.
template <typename T> class JsonResult {
public:
    static JsonResult success(T value) {
        JsonResult r;
        r.m_value = std::move(value);
        return r;
    }
    static JsonResult failure(JsonError error) {
        JsonResult r;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only meaningful when ok().
    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    // Only meaningful when !ok().
    const JsonError& error() const { return m_error; }

private:
    JsonResult() = default;
    std::optional<T> m_value;
    JsonError m_error;
};
