#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/Variants.h"

TEST(VariantTest, TypesOfConstructedValues)
{
    EXPECT_EQ(VarType(Variant()), varEmpty);
    EXPECT_EQ(VarType(Unassigned()), varEmpty);
    EXPECT_EQ(VarType(Null()), varNull);
    EXPECT_EQ(VarType(Variant(5)), varInteger);
    EXPECT_EQ(VarType(Variant(int64_t{5})), varInteger); // fits 32 bits
    EXPECT_EQ(VarType(Variant(int64_t{1} << 40)), varInt64);
    EXPECT_EQ(VarType(Variant(uint32_t{0xFFFFFFFF})), varInt64);
    EXPECT_EQ(VarType(Variant(2.5)), varDouble);
    EXPECT_EQ(VarType(Variant("x")), varString);
    EXPECT_EQ(VarType(Variant('x')), varString);
    EXPECT_EQ(VarType(Variant(true)), varBoolean);
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Null().IsNull());
    EXPECT_FALSE(Null().IsEmpty());
    EXPECT_FALSE(Variant(0).IsEmpty());
}

TEST(VariantTest, StringForms)
{
    EXPECT_EQ(Variant().AsString(), "");
    EXPECT_EQ(VarToStr(Null()), "");
    EXPECT_EQ(Variant(-42).AsString(), "-42");
    EXPECT_EQ(Variant(int64_t{-9000000000}).AsString(), "-9000000000");
    EXPECT_EQ(Variant(true).AsString(), "True");
    EXPECT_EQ(Variant(false).AsString(), "False");
    EXPECT_EQ(Variant(1.5).AsString(), "1.5");
    EXPECT_EQ(Variant(100.0).AsString(), "100");
    EXPECT_EQ(Variant(1e20).AsString(), "1E20");
    EXPECT_EQ(Variant('c').AsString(), "c");
}

TEST(VariantTest, IntegerConversionIsStrict)
{
    EXPECT_EQ(Variant("123").AsInteger(), 123);
    EXPECT_EQ(Variant(" -7").AsInteger(), -7);
    EXPECT_EQ(Variant().AsInteger(), 0);
    EXPECT_EQ(Variant(true).AsInteger(), 1);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2); // to the even neighbour
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    for (const char* bad : {"12abc", "", "1.5", "0x10", "99999999999"}) {
        try {
            Variant(bad).AsInteger();
            FAIL() << bad;
        } catch (const EVariantError& e) {
            EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Integer)");
        }
    }
    EXPECT_THROW(Null().AsInteger(), EVariantTypeCastError);
    EXPECT_THROW(Variant(int64_t{1} << 40).AsInteger(), EVariantOverflowError);
    EXPECT_THROW(Variant(1e300).AsInt64(), EVariantOverflowError);
    EXPECT_EQ(Variant("9000000000").AsInt64(), 9000000000);
}

TEST(VariantTest, DoubleAndBoolConversions)
{
    EXPECT_DOUBLE_EQ(Variant("2.25").AsDouble(), 2.25);
    EXPECT_DOUBLE_EQ(Variant(3).AsDouble(), 3.0);
    EXPECT_THROW(Variant("2,25").AsDouble(), EVariantError);
    EXPECT_THROW(Null().AsDouble(), EVariantError);
    EXPECT_TRUE(Variant("true").AsBool());
    EXPECT_FALSE(Variant("FALSE").AsBool());
    EXPECT_TRUE(Variant("1").AsBool());
    EXPECT_FALSE(Variant(0).AsBool());
    EXPECT_TRUE(Variant(-1).AsBool());
    EXPECT_FALSE(Variant().AsBool());
    EXPECT_THROW(Variant("maybe").AsBool(), EVariantTypeCastError);
    EXPECT_THROW(Null().AsBool(), EVariantTypeCastError);
}

TEST(VariantTest, Comparisons)
{
    EXPECT_EQ(Variant(1), Variant(1.0));
    EXPECT_EQ(Variant(int64_t{1} << 40), Variant(double(int64_t{1} << 40)));
    EXPECT_LT(Variant(1), Variant(int64_t{1} << 40));
    EXPECT_EQ(Variant("10"), Variant(10));
    EXPECT_LT(Variant("9"), Variant(10)); // numerically, not as text
    EXPECT_LT(Variant("10"), Variant("9")); // two strings compare as text
    EXPECT_FALSE(Variant("a") == Variant("A"));
    EXPECT_EQ(Null(), Null());
    EXPECT_FALSE(Null() == Variant());
    EXPECT_LT(Null(), Variant(-1000));
    EXPECT_EQ(Variant(), Variant(0));
    EXPECT_EQ(Variant(), Variant(""));
    EXPECT_EQ(Variant(true), Variant(1));
    EXPECT_EQ(Variant("True"), Variant(true));
    EXPECT_GT(Variant("b"), Variant(5)); // not a number: as text
}
