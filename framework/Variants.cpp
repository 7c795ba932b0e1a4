#include "framework/Variants.h"

#include <cmath>

namespace {
enum { kEmpty, kNull, kInt32, kInt64, kDouble, kString, kBool };

bool IsNumeric(size_t k) { return k == kInt32 || k == kInt64 || k == kDouble || k == kBool; }
bool IsWhole(size_t k) { return k == kInt32 || k == kInt64 || k == kBool; }

template <class T> int Sign(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }
} // namespace

std::string VarTypeAsText(uint16_t type)
{
    switch (type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varInteger: return "Integer";
    case varInt64: return "Int64";
    case varDouble: return "Double";
    case varString: return "String";
    case varBoolean: return "Boolean";
    default: return "Unknown";
    }
}

uint16_t Variant::VarType() const
{
    static constexpr uint16_t codes[] = {varEmpty, varNull,   varInteger, varInt64,
                                         varDouble, varString, varBoolean};
    return codes[v_.index()];
}

void Variant::CastError(const char* to) const
{
    RaiseFmt<EVariantTypeCastError>("Could not convert variant of type (%s) into type (%s)",
                                    {VarTypeAsText(VarType()), to});
}

std::string Variant::AsString() const
{
    switch (v_.index()) {
    case kInt32: return IntToStr(std::get<int32_t>(v_));
    case kInt64: return IntToStr(std::get<int64_t>(v_));
    case kDouble: return FloatToStr(std::get<double>(v_));
    case kString: return std::get<std::string>(v_);
    case kBool: return std::get<bool>(v_) ? "True" : "False";
    default: return std::string();
    }
}

int64_t Variant::AsInt64() const
{
    switch (v_.index()) {
    case kEmpty: return 0;
    case kInt32: return std::get<int32_t>(v_);
    case kInt64: return std::get<int64_t>(v_);
    case kBool: return std::get<bool>(v_) ? 1 : 0;
    case kDouble: {
        double d = std::nearbyint(std::get<double>(v_));
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
            RaiseFmt<EVariantOverflowError>(
                "Overflow while converting variant of type (%s) into type (%s)",
                {VarTypeAsText(VarType()), "Int64"});
        return static_cast<int64_t>(d);
    }
    case kString: {
        int64_t r;
        if (TryStrToInt64(std::get<std::string>(v_), r))
            return r;
        break;
    }
    default: break;
    }
    CastError("Int64");
}

int32_t Variant::AsInteger() const
{
    if (v_.index() == kString) {
        int r;
        if (TryStrToInt(std::get<std::string>(v_), r))
            return r;
        CastError("Integer");
    }
    if (v_.index() == kNull)
        CastError("Integer");
    int64_t r = AsInt64();
    if (r < INT32_MIN || r > INT32_MAX)
        RaiseFmt<EVariantOverflowError>("Overflow while converting variant of type (%s) into type (%s)",
                                        {VarTypeAsText(VarType()), "Integer"});
    return static_cast<int32_t>(r);
}

double Variant::AsDouble() const
{
    switch (v_.index()) {
    case kEmpty: return 0.0;
    case kInt32: return std::get<int32_t>(v_);
    case kInt64: return static_cast<double>(std::get<int64_t>(v_));
    case kDouble: return std::get<double>(v_);
    case kBool: return std::get<bool>(v_) ? 1.0 : 0.0;
    case kString: {
        double d;
        if (TryStrToFloat(std::get<std::string>(v_), d))
            return d;
        break;
    }
    default: break;
    }
    CastError("Double");
}

bool Variant::AsBool() const
{
    switch (v_.index()) {
    case kEmpty: return false;
    case kBool: return std::get<bool>(v_);
    case kInt32:
    case kInt64:
    case kDouble: return AsDouble() != 0.0;
    case kString: {
        const std::string& s = std::get<std::string>(v_);
        std::string t = Trim(s);
        if (SameText(t, "True"))
            return true;
        if (SameText(t, "False"))
            return false;
        double d;
        if (TryStrToFloat(s, d))
            return d != 0.0;
        break;
    }
    default: break;
    }
    CastError("Boolean");
}

int Variant::Compare(const Variant& o) const
{
    size_t a = v_.index(), b = o.v_.index();
    if (a == kNull || b == kNull)
        return a == b ? 0 : (a == kNull ? -1 : 1);
    if (a == kEmpty && b == kEmpty)
        return 0;
    if (a == kString && b == kString)
        return Sign(CompareStr(std::get<std::string>(v_), std::get<std::string>(o.v_)), 0);
    // Unassigned takes the zero of the other side's kind.
    if (a == kEmpty)
        return b == kString ? Sign(std::string(), std::get<std::string>(o.v_)) : Sign(0.0, o.AsDouble());
    if (b == kEmpty)
        return a == kString ? Sign(std::get<std::string>(v_), std::string()) : Sign(AsDouble(), 0.0);
    if (IsWhole(a) && IsWhole(b))
        return Sign(AsInt64(), o.AsInt64());
    if (IsNumeric(a) && IsNumeric(b))
        return Sign(AsDouble(), o.AsDouble());
    // One string and one number: as numbers when the string holds one.
    const Variant& s = a == kString ? *this : o;
    double d;
    if (TryStrToFloat(std::get<std::string>(s.v_), d)) {
        double other = a == kString ? o.AsDouble() : AsDouble();
        return a == kString ? Sign(d, other) : Sign(other, d);
    }
    return Sign(CompareStr(AsString(), o.AsString()), 0);
}
