#pragma once
// A value of one of a few simple types, or Unassigned, or Null, that converts to the others
// on request and compares across types (the rules at AsString, AsInteger and Compare).
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "framework/SysUtils.h"

QM_EXCEPTION(EVariantError, Exception)
QM_EXCEPTION(EVariantTypeCastError, EVariantError)
QM_EXCEPTION(EVariantOverflowError, EVariantError)

// Type codes as reported by VarType.
constexpr uint16_t varEmpty = 0x0000;
constexpr uint16_t varNull = 0x0001;
constexpr uint16_t varInteger = 0x0003;
constexpr uint16_t varDouble = 0x0005;
constexpr uint16_t varBoolean = 0x000B;
constexpr uint16_t varInt64 = 0x0014;
constexpr uint16_t varString = 0x0100;

class Variant {
public:
    struct NullValue {
        bool operator==(const NullValue&) const = default;
    };

    Variant() = default;
    Variant(NullValue) : v_(NullValue{}) {}
    Variant(bool b) : v_(b) {}
    Variant(double d) : v_(d) {}
    Variant(float f) : v_(static_cast<double>(f)) {}
    Variant(const std::string& s) : v_(s) {}
    Variant(std::string&& s) : v_(std::move(s)) {}
    Variant(std::string_view s) : v_(std::string(s)) {}
    Variant(const char* s) : v_(std::string(s ? s : "")) {}
    // A char is a one-character string; other integers keep 32 bits when they fit.
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    Variant(T i)
    {
        if constexpr (std::same_as<T, char>)
            v_ = std::string(1, i);
        else if constexpr (std::is_signed_v<T> && sizeof(T) <= 4)
            v_ = static_cast<int32_t>(i);
        else if constexpr (!std::is_signed_v<T> && sizeof(T) < 4)
            v_ = static_cast<int32_t>(i);
        else if (static_cast<int64_t>(i) >= INT32_MIN && static_cast<int64_t>(i) <= INT32_MAX &&
                 (std::is_signed_v<T> || i <= static_cast<T>(INT32_MAX)))
            v_ = static_cast<int32_t>(i);
        else
            v_ = static_cast<int64_t>(i);
    }

    uint16_t VarType() const;
    bool IsEmpty() const { return v_.index() == 0; }
    bool IsNull() const { return v_.index() == 1; }

    // Empty and Null give ""; booleans "True"/"False"; floats in general format.
    std::string AsString() const;
    // Strings must hold a whole number (or, for AsBool, "True"/"False"); Null raises
    // EVariantTypeCastError, a value out of range EVariantOverflowError.
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    bool AsBool() const;

    // Numbers compare by value whatever their type; a string compares with a number as a
    // number when it holds one. Unassigned counts as 0 or "" against other values; Null
    // equals only Null and orders before everything else.
    bool operator==(const Variant& o) const { return Compare(o) == 0; }
    bool operator<(const Variant& o) const { return Compare(o) < 0; }
    bool operator>(const Variant& o) const { return Compare(o) > 0; }
    bool operator<=(const Variant& o) const { return Compare(o) <= 0; }
    bool operator>=(const Variant& o) const { return Compare(o) >= 0; }
    int Compare(const Variant& o) const;

private:
    [[noreturn]] void CastError(const char* to) const;
    std::variant<std::monostate, NullValue, int32_t, int64_t, double, std::string, bool> v_;
};

inline Variant Unassigned() { return Variant(); }
inline Variant Null() { return Variant(Variant::NullValue{}); }

inline uint16_t VarType(const Variant& v) { return v.VarType(); }
// "" for Null, as the program's stored values expect.
inline std::string VarToStr(const Variant& v) { return v.AsString(); }
// "Empty", "Null", "Integer", "Int64", "Double", "String", "Boolean".
std::string VarTypeAsText(uint16_t type);
