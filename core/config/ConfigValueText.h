// Text conversions of the value types that a configuration item can be bound to.
// ConfigValueText<T> says how a bound variable of type T is written after "=" and read back from a
// file line. Numbers are read like a classic-locale stream extraction (leading white space, a sign,
// digits up to the first other character) but out-of-range or missing numbers leave the variable as
// it was, so a hand-edited file cannot turn "-1" into port 65535. Stateless; no lock.
#pragma once

#include "core/config/SharedString.h"

#include <atomic>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace Vuxo {

// The leading decimal number of `text`, or nothing when `text` does not start (after white space)
// with an optional sign and at least one digit, or when the number lies outside [minValue, maxValue].
std::optional<long long> ParseLeadingInteger(std::string_view text, long long minValue, long long maxValue);

// `text` with every CR and LF replaced by a blank, so a value written to a file stays on its own line.
std::string ToSingleLine(std::string_view text);

template <typename T> struct ConfigValueText;

template <typename Number> struct ConfigNumberText {
    static std::string ToText(Number value) { return std::to_string(value); }
    static std::optional<Number> FromText(std::string_view text) {
        const auto parsed =
            ParseLeadingInteger(text, std::numeric_limits<Number>::min(), std::numeric_limits<Number>::max());
        if (!parsed) {
            return std::nullopt;
        }
        return static_cast<Number>(*parsed);
    }
};

template <> struct ConfigNumberText<bool> {
    static std::string ToText(bool value) { return value ? "1" : "0"; }
    static std::optional<bool> FromText(std::string_view text) {
        const auto parsed = ParseLeadingInteger(text, 0, 1);
        if (!parsed) {
            return std::nullopt;
        }
        return *parsed == 1;
    }
};

// Plain and atomic numbers share one text form.
template <typename Number> struct ConfigValueText {
    using Value = Number;
    static void Assign(Number& variable, const Value& value) { variable = value; }
    static std::string ToText(const Number& variable) { return ConfigNumberText<Number>::ToText(variable); }
    static void FromText(Number& variable, std::string_view text) {
        if (const auto value = ConfigNumberText<Number>::FromText(text)) {
            variable = *value;
        }
    }
};

template <typename Number> struct ConfigValueText<std::atomic<Number>> {
    using Value = Number;
    static void Assign(std::atomic<Number>& variable, const Value& value) { variable.store(value); }
    static std::string ToText(const std::atomic<Number>& variable) {
        return ConfigNumberText<Number>::ToText(variable.load());
    }
    static void FromText(std::atomic<Number>& variable, std::string_view text) {
        if (const auto value = ConfigNumberText<Number>::FromText(text)) {
            variable.store(*value);
        }
    }
};

template <> struct ConfigValueText<std::string> {
    using Value = std::string;
    static void Assign(std::string& variable, const Value& value) { variable = value; }
    static std::string ToText(const std::string& variable) { return variable; }
    static void FromText(std::string& variable, std::string_view text) { variable.assign(text); }
};

template <> struct ConfigValueText<SharedString> {
    using Value = std::string;
    static void Assign(SharedString& variable, const Value& value) { variable.Set(value); }
    static std::string ToText(const SharedString& variable) { return variable.Get(); }
    static void FromText(SharedString& variable, std::string_view text) { variable.Set(std::string(text)); }
};

} // namespace Vuxo
