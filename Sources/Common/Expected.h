// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <utility>
#include <variant>

// A value or the Error that prevented it: refusals and failures travel as
// values, so callers cannot mistake a failure for an empty result, and the
// words are chosen where the error is shown, from its domain and code.
// (std::expected arrives with C++23; this keeps to its spelling.)
template<typename T>
class [[nodiscard]] Expected
{
public:
    Expected(T value) : _state(std::in_place_index<0>, std::move(value)) {}
    Expected(Error error) : _state(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return _state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T &value() & { return std::get<0>(_state); }
    const T &value() const & { return std::get<0>(_state); }
    T &&value() && { return std::get<0>(std::move(_state)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

    const Error &error() const { return std::get<1>(_state); }

    template<typename U>
    T value_or(U &&fallback) const &
    {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

private:
    std::variant<T, Error> _state;
};
