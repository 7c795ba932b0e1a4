#include "framework/Filer.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"

#include "RoundTrip.h"

#include <gtest/gtest.h>

namespace {
QM_ENUM(TTiParity, tiNone, tiOdd, tiEven, tiMark, tiSpace)
QM_ENUM_TYPED(TTiEvent, uint8_t, teRxChar, teTxEmpty, teRing, teBreak)
QM_ENUM_CLASS(TTiMode, Off, On, Auto)
using TTiEvents = Set<TTiEvent>;
using TTiCountEvent = Event<void(TObject* Sender, int Count)>;

class TTiPart : public TObject {
    QM_CLASS(TTiPart, TObject)
public:
    int Size = 0;
};

class TTiBase : public TObject {
    QM_CLASS(TTiBase, TObject)
public:
    int GetWidth() const { return FWidth; }
    void SetWidth(int v) { FWidth = v; }
    const std::string& GetCaption() const { return FCaption; }
    void SetCaption(const std::string& v) { FCaption = v; }
    bool FVisible = true;
    int FTag = 0;
    bool IsVisibleStored() const { return !FVisible; }

protected:
    int FWidth = 10;
    std::string FCaption;
};

class TTiWidget : public TTiBase {
    QM_CLASS(TTiWidget, TTiBase)
public:
    TTiParity FParity = tiNone;
    TTiEvents FEvents{teRxChar, teRing};
    TTiMode FMode = TTiMode::Off;
    char FEventChar = '\0';
    uint8_t FSmall = 0;
    int16_t FSigned = 0;
    int64_t FBig = 0;
    float FSingle = 0;
    double FDouble = 0;
    long double FExtended = 0;
    TTiPart* FPart = nullptr;
    TNotifyEvent FOnClick;
    TTiCountEvent FOnCount;
    int FColors[4] = {0, 0, 0, 0};
    bool FStoreCaption = false;
    int FHalf = 0;
    Variant FValue;

    int GetColor(int i) const { return FColors[i]; }
    void SetColor(int i, int v) { FColors[i] = v; }
    int GetReadOnly() const { return 42; }
    bool IsCaptionStored() const { return FStoreCaption; }
    int GetHalf() const { return FHalf; }
    void SetHalf(int v) { FHalf = v / 2 * 2; }

    int clicks = 0, counted = 0;
    void Clicked(TObject*) { ++clicks; }
    void Counted(TObject*, int n) { counted += n; }
};

class TTiLeaf : public TTiWidget {
    QM_CLASS(TTiLeaf, TTiWidget)
};
QM_CLASS_IMPL(TTiLeaf, TTiWidget)

QM_CLASS_IMPL(TTiPart, TObject, [](TClassBuilder<TTiPart>& b) {
    b.Property("Size", &TTiPart::Size).Default(0);
})
QM_CLASS_IMPL(TTiBase, TObject, [](TClassBuilder<TTiBase>& b) {
    b.Property("Width", &TTiBase::GetWidth, &TTiBase::SetWidth).Default(10);
    b.Property("Caption", &TTiBase::GetCaption, &TTiBase::SetCaption);
    b.Property("Visible", &TTiBase::FVisible).Default(true);
    b.Property("tag", &TTiBase::FTag);
})
QM_CLASS_IMPL(TTiWidget, TTiBase, [](TClassBuilder<TTiWidget>& b) {
    b.Property("Parity", &TTiWidget::FParity).Default(tiNone);
    b.Property("Events", &TTiWidget::FEvents);
    b.Property("Mode", &TTiWidget::FMode);
    b.Property("EventChar", &TTiWidget::FEventChar).Default('\0');
    b.Property("Small", &TTiWidget::FSmall);
    b.Property("Signed", &TTiWidget::FSigned);
    b.Property("Big", &TTiWidget::FBig);
    b.Property("Single", &TTiWidget::FSingle);
    b.Property("Double", &TTiWidget::FDouble);
    b.Property("Extended", &TTiWidget::FExtended);
    b.Property("Part", &TTiWidget::FPart);
    b.Property("Value", &TTiWidget::FValue);
    b.Property("OnClick", &TTiWidget::FOnClick);
    b.Property("OnCount", &TTiWidget::FOnCount);
    b.IndexedProperty("Red", 0, &TTiWidget::GetColor, &TTiWidget::SetColor);
    b.IndexedProperty("Blue", 2, &TTiWidget::GetColor, &TTiWidget::SetColor);
    b.Property("Answer", &TTiWidget::GetReadOnly);
    // Only even values are kept.
    b.Property("Half", &TTiWidget::GetHalf, &TTiWidget::SetHalf).NoRoundTrip();
    // Redeclared: a new default and a stored condition.
    b.Property("Width", &TTiWidget::GetWidth, &TTiWidget::SetWidth).Default(25);
    b.Property("Caption", &TTiWidget::GetCaption, &TTiWidget::SetCaption)
        .Default("Hello")
        .Stored(&TTiWidget::IsCaptionStored);
    b.Property("Tag", &TTiWidget::FTag).Stored(false);
    b.Property("Visible", &TTiWidget::FVisible).Default(true).Stored(&TTiBase::IsVisibleStored);
    b.Method("Clicked", &TTiWidget::Clicked);
    b.Method("Counted", &TTiWidget::Counted);
})

// Streams its lines through DefineProperties only when it has some.
class TTiNotes : public TPersistent {
    QM_CLASS(TTiNotes, TPersistent)
public:
    std::vector<std::string> Lines;
    void DefineProperties(TFiler* Filer) override
    {
        TPersistent::DefineProperties(Filer);
        Filer->DefineProperty(
            "Lines", [this](TReader* r) { Lines.push_back(r->ReadString()); },
            [this](TWriter* w) {
                for (auto& l : Lines)
                    w->WriteString(l);
            },
            !Lines.empty());
    }
};
QM_CLASS_IMPL(TTiNotes, TPersistent)

std::vector<std::string> Names(const std::vector<PPropInfo>& props)
{
    std::vector<std::string> out;
    for (PPropInfo p : props)
        out.push_back(p->Name);
    return out;
}
} // namespace

TEST(TypInfo, KindsAndTypeNames)
{
    TClass cls = TTiWidget::StaticClassInfo();
    auto kind = [&](const char* n) { return GetPropInfo(cls, n)->PropType->Kind; };
    auto type = [&](const char* n) { return GetPropInfo(cls, n)->PropType->Name(); };
    EXPECT_EQ(kind("Width"), tkInteger);
    EXPECT_EQ(type("Width"), "Integer");
    EXPECT_EQ(kind("Visible"), tkEnumeration);
    EXPECT_EQ(type("Visible"), "Boolean");
    EXPECT_EQ(kind("Parity"), tkEnumeration);
    EXPECT_EQ(type("Parity"), "TTiParity");
    EXPECT_EQ(type("Mode"), "TTiMode");
    EXPECT_EQ(kind("Events"), tkSet);
    EXPECT_EQ(GetTypeData(GetPropInfo(cls, "Events")->PropType)->CompType->Name(), "TTiEvent");
    EXPECT_EQ(kind("EventChar"), tkChar);
    EXPECT_EQ(kind("Big"), tkInt64);
    EXPECT_EQ(kind("Caption"), tkLString);
    EXPECT_EQ(kind("Part"), tkClass);
    EXPECT_EQ(type("Part"), "TTiPart");
    EXPECT_EQ(GetObjectPropClass(GetPropInfo(cls, "Part")), TTiPart::StaticClassInfo());
    EXPECT_EQ(kind("OnClick"), tkMethod);
    EXPECT_EQ(GetTypeData(GetPropInfo(cls, "Single")->PropType)->FloatType, ftSingle);
    EXPECT_EQ(GetTypeData(GetPropInfo(cls, "Double")->PropType)->FloatType, ftDouble);
    EXPECT_EQ(GetTypeData(GetPropInfo(cls, "Extended")->PropType)->FloatType, ftExtended);
    PTypeData small = GetTypeData(GetPropInfo(cls, "Small")->PropType);
    EXPECT_EQ(small->OrdType, otUByte);
    EXPECT_EQ(small->MaxValue, 255);
    PTypeData sgn = GetTypeData(GetPropInfo(cls, "Signed")->PropType);
    EXPECT_EQ(sgn->MinValue, -32768);
    EXPECT_TRUE(PropIsType(cls, "parity", tkEnumeration));
    EXPECT_THROW(PropType(cls, "Nope"), EPropertyError);
}

TEST(TypInfo, EnumerationAndSetNames)
{
    PTypeInfo parity = TypeInfoOf<TTiParity>();
    EXPECT_EQ(GetEnumName(parity, 0), "tiNone");
    EXPECT_EQ(GetEnumName(parity, 4), "tiSpace");
    EXPECT_EQ(GetEnumName(parity, 5), "");
    EXPECT_EQ(GetEnumName(parity, -1), "");
    EXPECT_EQ(GetEnumValue(parity, "TIEVEN"), 2);
    EXPECT_EQ(GetEnumValue(parity, "tiEvenX"), -1);
    EXPECT_EQ(GetEnumValue(parity, ""), -1);
    EXPECT_EQ(GetEnumValue(TypeInfoOf<bool>(), "true"), 1);
    EXPECT_EQ(GetEnumName(TypeInfoOf<bool>(), 0), "False");
    EXPECT_EQ(GetEnumName(TypeInfoOf<int>(), -7), "-7");
    EXPECT_EQ(GetEnumValue(TypeInfoOf<TTiMode>(), "auto"), 2);

    PTypeInfo events = TypeInfoOf<TTiEvents>();
    EXPECT_EQ(SetToString(events, 0), "[]");
    EXPECT_EQ(SetToString(events, 0b1011), "[teRxChar,teTxEmpty,teBreak]");
    EXPECT_EQ(SetToString(events, 0b0101, false), "teRxChar,teRing");
    // Bits beyond the enumeration's members have no names and are left out.
    EXPECT_EQ(SetToString(events, 0x100 | 0b0010), "[teTxEmpty]");
    EXPECT_EQ(StringToSet(events, "[teRing, TEBREAK]"), 0b1100);
    EXPECT_EQ(StringToSet(events, "teRxChar teTxEmpty"), 0b0011);
    EXPECT_EQ(StringToSet(events, "[]"), 0);
    EXPECT_EQ(StringToSet(events, ""), 0);
    EXPECT_THROW(StringToSet(events, "[teRing,teBogus]"), EPropertyError);
    EXPECT_THROW(SetToString(parity, 1), EPropertyError);

    TTiWidget w;
    EXPECT_EQ(GetSetProp(&w, "Events"), "[teRxChar,teRing]");
    SetSetProp(&w, "events", "[teBreak]");
    EXPECT_EQ(w.FEvents, TTiEvents{teBreak});
    EXPECT_THROW(SetSetProp(&w, "Events", "[nothing]"), EPropertyError);
    EXPECT_EQ(w.FEvents, TTiEvents{teBreak});
    // Ordinal writes drop members the enumeration does not have.
    SetOrdProp(&w, "Events", 0xFF);
    EXPECT_EQ(w.FEvents.Bits(), 0x0Fu);

    EXPECT_EQ(GetEnumProp(&w, "Parity"), "tiNone");
    SetEnumProp(&w, "Parity", "tiMark");
    EXPECT_EQ(w.FParity, tiMark);
    EXPECT_THROW(SetEnumProp(&w, "Parity", "tiMarks"), EPropertyError);
    EXPECT_EQ(w.FParity, tiMark);
    SetEnumProp(&w, "Visible", "FALSE");
    EXPECT_FALSE(w.FVisible);
}

TEST(TypInfo, PropertyListsAndInheritance)
{
    TTiBase base;
    EXPECT_EQ(Names(GetPropList(&base)),
              (std::vector<std::string>{"Caption", "tag", "Visible", "Width"}));

    TTiWidget w;
    auto infos = GetPropInfos(&w);
    // Inherited first, in declaration order; redeclared properties keep their place.
    std::vector<std::string> declared = Names(infos);
    ASSERT_GE(declared.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(declared.begin(), declared.begin() + 4),
              (std::vector<std::string>{"Width", "Caption", "Visible", "Tag"}));
    EXPECT_EQ(std::count(declared.begin(), declared.end(), "Width"), 1);

    auto sorted = Names(GetPropList(&w));
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](auto& a, auto& b) {
        std::string x = a, y = b;
        for (auto& c : x) c = static_cast<char>(toupper(c));
        for (auto& c : y) c = static_cast<char>(toupper(c));
        return x < y;
    }));
    EXPECT_EQ(sorted.front(), "Answer");

    // The widget's redeclarations change defaults without touching the base class.
    EXPECT_EQ(GetPropInfo(&w, "WIDTH")->Default, 25);
    EXPECT_EQ(GetPropInfo(&w, "width")->Owner, TTiWidget::StaticClassInfo());
    EXPECT_EQ(GetPropInfo(&base, "Width")->Default, 10);
    EXPECT_EQ(GetPropInfo(&w, "Visible")->Owner, TTiWidget::StaticClassInfo());
    EXPECT_EQ(GetPropInfo(&w, "Signed")->Owner, TTiWidget::StaticClassInfo());
    EXPECT_EQ(GetPropInfo(&w, "Caption")->Owner, TTiWidget::StaticClassInfo());
    EXPECT_EQ(GetPropInfo(&base, "Caption")->Owner, TTiBase::StaticClassInfo());

    auto methods = GetPropList(&w, tkMethods);
    EXPECT_EQ(Names(methods), (std::vector<std::string>{"OnClick", "OnCount"}));
    auto noMethods = Names(GetPropList(&w, tkProperties));
    EXPECT_EQ(std::count(noMethods.begin(), noMethods.end(), "OnClick"), 0);
    EXPECT_EQ(GetPropInfo(&w, "Parity", TTypeKinds{tkInteger}), nullptr);
    EXPECT_EQ(GetPropInfo(&w, "Nothing"), nullptr);
    EXPECT_TRUE(IsPublishedProp(&w, "onclick"));
    EXPECT_FALSE(IsPublishedProp(&w, "Clicked"));
    EXPECT_TRUE(GetPropList(static_cast<TObject*>(nullptr)).empty());

    // A class registered without a builder has exactly its parent's members.
    TTiLeaf leaf;
    EXPECT_EQ(Names(GetPropInfos(&leaf)), declared);
    EXPECT_EQ(GetPropInfo(&leaf, "Width"), GetPropInfo(&w, "Width"));
    EXPECT_TRUE(MethodAddress(&leaf, "Clicked").Assigned());
    SetOrdProp(&leaf, "Width", 5);
    EXPECT_EQ(leaf.GetWidth(), 5);
}

TEST(TypInfo, OrdinalStringFloatAccess)
{
    TTiWidget w;
    SetOrdProp(&w, "Width", 77);
    EXPECT_EQ(w.GetWidth(), 77);
    EXPECT_EQ(GetOrdProp(&w, "width"), 77);
    SetOrdProp(&w, "EventChar", 0xE9);
    EXPECT_EQ(w.FEventChar, '\xE9');
    EXPECT_EQ(GetOrdProp(&w, "EventChar"), 0xE9); // chars are unsigned bytes
    SetOrdProp(&w, "Signed", -300);
    EXPECT_EQ(w.FSigned, -300);
    // Out-of-range values are refused rather than truncated.
    EXPECT_THROW(SetOrdProp(&w, "Small", 256), EPropertyError);
    EXPECT_THROW(SetOrdProp(&w, "Parity", 5), EPropertyError);
    EXPECT_THROW(SetOrdProp(&w, "EventChar", -1), EPropertyError);
    EXPECT_EQ(w.FSmall, 0);
    EXPECT_EQ(w.FParity, tiNone);

    SetInt64Prop(&w, "Big", int64_t{1} << 40);
    EXPECT_EQ(GetInt64Prop(&w, "Big"), int64_t{1} << 40);
    SetStrProp(&w, "Caption", "abc");
    EXPECT_EQ(GetStrProp(&w, "Caption"), "abc");
    SetFloatProp(&w, "Single", 0.1L);
    EXPECT_FLOAT_EQ(static_cast<float>(GetFloatProp(&w, "Single")), 0.1f);
    SetFloatProp(&w, "Extended", 1.0L / 3);
    EXPECT_EQ(GetFloatProp(&w, "Extended"), 1.0L / 3);

    // Kind mismatches, unknown names and read-only properties.
    EXPECT_THROW(GetStrProp(&w, "Width"), EPropertyError);
    EXPECT_THROW(SetOrdProp(&w, "Caption", 1), EPropertyError);
    EXPECT_THROW(GetInt64Prop(&w, "Width"), EPropertyError);
    EXPECT_THROW(GetFloatProp(&w, "Big"), EPropertyError);
    try {
        GetOrdProp(&w, "Colour");
        FAIL() << "no exception";
    } catch (const EPropertyError& e) {
        EXPECT_STREQ(e.what(), "Unknown property: 'Colour'");
    }
    EXPECT_EQ(GetOrdProp(&w, "Answer"), 42);
    try {
        SetOrdProp(&w, "Answer", 1);
        FAIL() << "no exception";
    } catch (const EPropertyError& e) {
        EXPECT_STREQ(e.what(), "Property Answer is read-only");
    }
    // A property record of another class is not applied to an unrelated object.
    TTiPart part;
    EXPECT_THROW(GetOrdProp(&part, GetPropInfo(&w, "Width")), EPropertyError);
}

TEST(TypInfo, IndexedAndObjectProperties)
{
    TTiWidget w;
    PPropInfo red = GetPropInfo(&w, "Red");
    PPropInfo blue = GetPropInfo(&w, "Blue");
    EXPECT_TRUE(red->HasIndex);
    EXPECT_EQ(blue->Index, 2);
    SetOrdProp(&w, red, 0xFF0000);
    SetOrdProp(&w, blue, 0x0000FF);
    EXPECT_EQ(w.FColors[0], 0xFF0000);
    EXPECT_EQ(w.FColors[1], 0);
    EXPECT_EQ(w.FColors[2], 0x0000FF);
    EXPECT_EQ(GetOrdProp(&w, "blue"), 0x0000FF);

    TTiPart part;
    SetObjectProp(&w, "Part", &part);
    EXPECT_EQ(w.FPart, &part);
    EXPECT_EQ(GetObjectProp(&w, "Part"), &part);
    // Objects of the wrong class are refused, through either entry point.
    TTiBase other;
    EXPECT_THROW(SetObjectProp(&w, "Part", &other), EPropertyError);
    EXPECT_THROW(SetOrdProp(&w, "Part", reinterpret_cast<intptr_t>(static_cast<TObject*>(&other))),
                 EPropertyError);
    EXPECT_EQ(w.FPart, &part);
    SetObjectProp(&w, "Part", nullptr);
    EXPECT_EQ(w.FPart, nullptr);
    EXPECT_THROW(GetObjectProp(&w, "Width"), EPropertyError);
}

TEST(TypInfo, DefaultsAndStoredConditions)
{
    TTiWidget w;
    PPropInfo width = GetPropInfo(&w, "Width");
    PPropInfo caption = GetPropInfo(&w, "Caption");
    EXPECT_TRUE(width->HasDefault);
    EXPECT_FALSE(IsDefaultPropValue(&w, width)); // 10, the default is 25
    w.SetWidth(25);
    EXPECT_TRUE(IsDefaultPropValue(&w, width));
    EXPECT_TRUE(caption->HasDefault);
    EXPECT_EQ(caption->DefaultStr, "Hello");
    w.SetCaption("Hello");
    EXPECT_TRUE(IsDefaultPropValue(&w, caption));
    EXPECT_TRUE(IsDefaultPropValue(&w, GetPropInfo(&w, "Visible")));
    EXPECT_TRUE(IsDefaultPropValue(&w, GetPropInfo(&w, "EventChar")));
    // No default given: never the default, always written.
    EXPECT_FALSE(GetPropInfo(&w, "Signed")->HasDefault);
    EXPECT_FALSE(IsDefaultPropValue(&w, GetPropInfo(&w, "Signed")));

    EXPECT_FALSE(IsStoredProp(&w, caption));
    w.FStoreCaption = true;
    EXPECT_TRUE(IsStoredProp(&w, "caption"));
    EXPECT_FALSE(IsStoredProp(&w, "Tag"));
    EXPECT_TRUE(IsStoredProp(&w, "Width"));
    // A stored predicate declared in the base class.
    EXPECT_FALSE(IsStoredProp(&w, "Visible"));
    w.FVisible = false;
    EXPECT_TRUE(IsStoredProp(&w, "Visible"));
    TTiBase base;
    EXPECT_TRUE(IsStoredProp(&base, "Tag")); // the base class's own record is untouched
}

TEST(TypInfo, MethodsAndEvents)
{
    TTiWidget w, target;
    TMethod click = MethodAddress(&target, "CLICKED");
    ASSERT_TRUE(click.Assigned());
    EXPECT_EQ(click.Data, &target);
    EXPECT_EQ(click.Name, "Clicked");
    EXPECT_FALSE(MethodAddress(&target, "Nope").Assigned());
    EXPECT_FALSE(MethodAddress(nullptr, "Clicked").Assigned());

    SetMethodProp(&w, "OnClick", click);
    ASSERT_TRUE(w.FOnClick.Assigned());
    w.FOnClick(&w);
    EXPECT_EQ(target.clicks, 1);
    EXPECT_EQ(w.FOnClick.MethodName(), "Clicked");
    EXPECT_TRUE(w.FOnClick == (TNotifyEvent)QM_METHOD(&target, TTiWidget, Clicked));

    TMethod back = GetMethodProp(&w, "OnClick");
    EXPECT_EQ(back.Data, &target);
    EXPECT_EQ(MethodName(&target, back), "Clicked");
    EXPECT_EQ(MethodName(&w, back), ""); // not one of w's own

    // A handler of another signature is refused and the event keeps its handler.
    TMethod count = MethodAddress(&target, "Counted");
    EXPECT_THROW(SetMethodProp(&w, "OnClick", count), EPropertyError);
    EXPECT_TRUE(w.FOnClick.Assigned());
    SetMethodProp(&w, "OnCount", count);
    w.FOnCount(&w, 5);
    EXPECT_EQ(target.counted, 5);

    SetMethodProp(&w, "OnClick", TMethod{});
    EXPECT_FALSE(w.FOnClick.Assigned());
    EXPECT_FALSE(GetMethodProp(&w, "OnClick").Assigned());
    EXPECT_THROW(SetMethodProp(&w, "Width", click), EPropertyError);
}

TEST(TypInfo, VariantAccess)
{
    TTiWidget w;
    EXPECT_EQ(GetPropInfo(&w, "Value")->PropType->Kind, tkVariant);
    EXPECT_TRUE(GetVariantProp(&w, "Value").IsEmpty());
    SetVariantProp(&w, "Value", Variant("x"));
    EXPECT_EQ(w.FValue.AsString(), "x");
    EXPECT_THROW(GetVariantProp(&w, "Width"), EPropertyError);

    // Any property through a Variant: names for enumerations and sets, Booleans as such.
    EXPECT_EQ(GetPropValue(&w, "Parity").AsString(), "tiNone");
    EXPECT_EQ(GetPropValue(&w, "Parity", false).AsInteger(), 0);
    EXPECT_EQ(GetPropValue(&w, "Visible").VarType(), varBoolean);
    EXPECT_EQ(GetPropValue(&w, "Events").AsString(), "[teRxChar,teRing]");
    EXPECT_EQ(GetPropValue(&w, "Width").AsInteger(), 10);
    SetPropValue(&w, "Parity", Variant("tiOdd"));
    EXPECT_EQ(w.FParity, tiOdd);
    SetPropValue(&w, "Parity", Variant(3));
    EXPECT_EQ(w.FParity, tiMark);
    SetPropValue(&w, "Visible", Variant(false));
    EXPECT_FALSE(w.FVisible);
    SetPropValue(&w, "Width", Variant("123"));
    EXPECT_EQ(w.GetWidth(), 123);
    SetPropValue(&w, "Events", Variant("[teTxEmpty]"));
    EXPECT_EQ(w.FEvents, TTiEvents{teTxEmpty});
    SetPropValue(&w, "EventChar", Variant("Z"));
    EXPECT_EQ(w.FEventChar, 'Z');
    EXPECT_THROW(SetPropValue(&w, "EventChar", Variant("ZZ")), EPropertyError);
    SetPropValue(&w, "Double", Variant(2.5));
    EXPECT_EQ(w.FDouble, 2.5);
    SetPropValue(&w, "Big", Variant(int64_t{1} << 35));
    EXPECT_EQ(w.FBig, int64_t{1} << 35);
    EXPECT_THROW(SetPropValue(&w, "Width", Variant("12x")), Exception);
    EXPECT_EQ(w.GetWidth(), 123);
    EXPECT_THROW(GetPropValue(&w, "OnClick"), EPropertyError);
}

TEST(TypInfo, FilerRecordsDefinedProperties)
{
    TPropertyCollectorFiler filer;
    TTiBase ancestor;
    filer.SetAncestor(&ancestor);
    EXPECT_EQ(filer.Ancestor(), &ancestor);
    int written = 0;
    filer.DefineProperty("Items", nullptr, [&](TWriter*) { ++written; }, true);
    filer.DefineBinaryProperty("Data", nullptr, nullptr, false);
    ASSERT_EQ(filer.Entries().size(), 2u);
    const auto* items = filer.Find("items");
    ASSERT_NE(items, nullptr);
    EXPECT_TRUE(items->HasData);
    EXPECT_FALSE(items->Binary);
    items->Writer(nullptr);
    EXPECT_EQ(written, 1);
    EXPECT_TRUE(filer.Find("DATA")->Binary);
    EXPECT_FALSE(filer.Find("DATA")->HasData);
    EXPECT_EQ(filer.Find("Other"), nullptr);

    TTiNotes notes;
    TPropertyCollectorFiler empty, full;
    notes.DefineProperties(&empty);
    ASSERT_NE(empty.Find("Lines"), nullptr);
    EXPECT_FALSE(empty.Find("Lines")->HasData);
    notes.Lines = {"a"};
    notes.DefineProperties(&full);
    EXPECT_TRUE(full.Find("Lines")->HasData);
}

TEST(TypInfo, GenericRoundTrip)
{
    EXPECT_GE(roundtrip::CheckClass(TTiWidget::StaticClassInfo()), 15);
    RegisterClasses({TTiPart::StaticClassInfo(), TTiBase::StaticClassInfo(),
                     TTiWidget::StaticClassInfo()});
    RegisterClassesUnitClasses();
    EXPECT_GT(roundtrip::CheckRegisteredClasses(), 15);
}
