#pragma once
// Generic check of published properties: every writable property of every registered
// class accepts a sample value of its kind and gives it back.
#include "framework/Classes.h"
#include "framework/System.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace roundtrip {

// Writes a value different from the current one to each writable property of a fresh
// instance of cls and reads it back. Class and Method kinds are skipped (no samples), as
// are properties marked NoRoundTrip. Returns the number of properties checked.
inline int CheckClass(TClass cls)
{
    TObject* obj = nullptr;
    if (cls->CreateComponent)
        obj = cls->CreateComponent(nullptr);
    else if (cls->CreateObject)
        obj = cls->CreateObject();
    if (!obj)
        return 0;
    int checked = 0;
    for (PPropInfo p : GetPropInfos(obj)) {
        SCOPED_TRACE(cls->Name + "." + p->Name);
        if (!p->Writable() || !p->RoundTrip)
            continue;
        PTypeData td = GetTypeData(p->PropType);
        try {
            switch (p->PropType->Kind) {
            case tkInteger:
            case tkInt64: {
                int64_t v = p->PropType->Kind == tkInt64 ? GetInt64Prop(obj, p)
                                                         : GetOrdProp(obj, p);
                int64_t sample = v < td->MaxValue ? v + 1 : v - 1;
                if (p->PropType->Kind == tkInt64) {
                    SetInt64Prop(obj, p, sample);
                    EXPECT_EQ(GetInt64Prop(obj, p), sample);
                } else {
                    SetOrdProp(obj, p, sample);
                    EXPECT_EQ(GetOrdProp(obj, p), sample);
                }
                ++checked;
                break;
            }
            case tkChar: {
                int64_t sample = GetOrdProp(obj, p) == 'A' ? 'B' : 'A';
                SetOrdProp(obj, p, sample);
                EXPECT_EQ(GetOrdProp(obj, p), sample);
                ++checked;
                break;
            }
            case tkEnumeration: {
                int64_t count = td->MaxValue + 1;
                int64_t sample = (GetOrdProp(obj, p) + 1) % count;
                SetOrdProp(obj, p, sample);
                EXPECT_EQ(GetEnumProp(obj, p), GetEnumName(p->PropType, sample));
                ++checked;
                break;
            }
            case tkSet: {
                if (GetTypeData(td->CompType)->NameList.empty())
                    break;
                int64_t sample = GetOrdProp(obj, p) ^ 1;
                SetOrdProp(obj, p, sample);
                EXPECT_EQ(GetOrdProp(obj, p), sample);
                ++checked;
                break;
            }
            case tkFloat: {
                long double sample = GetFloatProp(obj, p) + 1.5L;
                SetFloatProp(obj, p, sample);
                long double back = GetFloatProp(obj, p);
                EXPECT_LE(std::fabs(static_cast<double>(back - sample)),
                          1e-6 * std::fmax(1.0, std::fabs(static_cast<double>(sample))));
                ++checked;
                break;
            }
            case tkString:
            case tkLString:
            case tkWString: {
                std::string cur = GetStrProp(obj, p);
                std::string sample = cur == "Sample" ? "Other" : "Sample";
                SetStrProp(obj, p, sample);
                EXPECT_EQ(GetStrProp(obj, p), sample);
                ++checked;
                break;
            }
            case tkVariant: {
                Variant sample = GetVariantProp(obj, p) == Variant("Sample") ? Variant(7)
                                                                               : Variant("Sample");
                SetVariantProp(obj, p, sample);
                Variant back = GetVariantProp(obj, p);
                EXPECT_EQ(back.VarType(), sample.VarType());
                EXPECT_EQ(back.AsString(), sample.AsString());
                ++checked;
                break;
            }
            default:
                break;
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round trip raised: " << e.what();
        }
    }
    FreeObject(obj);
    return checked;
}

// CheckClass for every class in the class registry; returns the properties checked.
inline int CheckRegisteredClasses()
{
    int checked = 0;
    for (TClass cls : RegisteredClasses())
        checked += CheckClass(cls);
    return checked;
}

} // namespace roundtrip
