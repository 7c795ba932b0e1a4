#include "framework/System.h"
#include "framework/Types.h"

#include <gtest/gtest.h>

namespace {
class TAlpha : public TObject {
    QM_CLASS(TAlpha, TObject)
};
class TBeta : public TAlpha {
    QM_CLASS(TBeta, TAlpha)
public:
    int clicks = 0;
    void Click(TObject*) { ++clicks; }
};
QM_CLASS_IMPL(TAlpha, TObject)
QM_CLASS_IMPL(TBeta, TAlpha)

enum TStyle { fsBold, fsItalic, fsUnderline };
} // namespace

TEST(System, ClassNamesAndInheritance)
{
    TBeta b;
    EXPECT_EQ(b.ClassName(), "TBeta");
    EXPECT_TRUE(b.InheritsFrom(TAlpha::StaticClassInfo()));
    EXPECT_TRUE(b.InheritsFrom(TObject::StaticClassInfo()));
    EXPECT_FALSE(TAlpha::StaticClassInfo()->InheritsFrom(TBeta::StaticClassInfo()));
    RegisterClasses({TAlpha::StaticClassInfo(), TBeta::StaticClassInfo()});
    EXPECT_EQ(FindClass("tbeta"), TBeta::StaticClassInfo());
    EXPECT_EQ(FindClass("TGamma"), nullptr);
    EXPECT_NE(TBeta::StaticClassInfo()->CreateObject, nullptr);
}

TEST(System, SetsAndEvents)
{
    Set<TStyle> s{fsBold};
    s += fsUnderline;
    EXPECT_TRUE(s.Contains(fsUnderline));
    EXPECT_FALSE(s.Contains(fsItalic));
    EXPECT_EQ(s.Bits(), 5u);
    EXPECT_TRUE(Set<TStyle>{fsBold} <= s);

    TBeta b, c;
    TNotifyEvent e = QM_METHOD(&b, TBeta, Click);
    TNotifyEvent same = QM_METHOD(&b, TBeta, Click);
    TNotifyEvent other = QM_METHOD(&c, TBeta, Click);
    EXPECT_EQ(e.MethodName(), "Click");
    EXPECT_TRUE(e == same);
    EXPECT_FALSE(e == other);
    e(nullptr);
    EXPECT_EQ(b.clicks, 1);
    TNotifyEvent none;
    none(nullptr); // unassigned: nothing happens
    EXPECT_TRUE(none == nullptr);
}
