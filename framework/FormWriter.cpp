#include "framework/FormWriter.h"

#include "framework/Filer.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "platform/ScopeExit.h"

#include <charconv>
#include <cmath>

std::string QuoteFormString(const std::string& Value)
{
    if (Value.empty())
        return "''";
    std::string out;
    bool open = false;
    for (char c : Value) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u != 127) {
            if (!open) {
                out += '\'';
                open = true;
            }
            out += c;
            if (c == '\'')
                out += '\'';
        } else {
            if (open) {
                out += '\'';
                open = false;
            }
            out += '#' + std::to_string(u);
        }
    }
    if (open)
        out += '\'';
    return out;
}

namespace {

std::string Indent(int level) { return std::string(static_cast<size_t>(level) * 2, ' '); }

std::string FloatText(long double v)
{
    if (!std::isfinite(v))
        throw EWriteError("A floating point value that is not finite cannot be written");
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, end);
    // Keep it a float on reading (an integer token would read back as an integer).
    if (s.find_first_of(".eE") == std::string::npos)
        s += ".0";
    return s;
}

std::string HexLines(const std::vector<uint8_t>& data, int indent)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "{";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % 32 == 0)
            out += "\n" + Indent(indent);
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    out += "}";
    return out;
}

// Collects what DefineProperties writes, as value texts ready for "Name = value" lines.
class TTextFilerWriter : public TWriter {
public:
    explicit TTextFilerWriter(int indent) : FIndent(indent) {}

    std::vector<std::pair<std::string, std::string>> Entries;

    void DefineProperty(const std::string& Name, TReaderProc, TWriterProc WriteData,
                        bool HasData) override
    {
        if (!HasData || !WriteData)
            return;
        FBuf.clear();
        FDepth = 0;
        WriteData(this);
        if (FDepth != 0)
            throw EWriteError("Property " + Name + " left a list open");
        Entries.emplace_back(Name, FBuf);
    }
    void DefineBinaryProperty(const std::string& Name, TStreamProc, TStreamProc WriteData,
                              bool HasData) override
    {
        if (!HasData || !WriteData)
            return;
        std::vector<uint8_t> data;
        WriteData(data);
        Entries.emplace_back(Name, HexLines(data, FIndent + 1));
    }

    void WriteString(const std::string& Value) override { Item(QuoteFormString(Value)); }
    void WriteInteger(int32_t Value) override { Item(std::to_string(Value)); }
    void WriteBoolean(bool Value) override { Item(Value ? "True" : "False"); }
    void WriteListBegin() override
    {
        Item("(");
        ++FDepth;
    }
    void WriteListEnd() override
    {
        if (FDepth == 0)
            throw EWriteError("List end without a list");
        --FDepth;
        FBuf += ")";
    }

private:
    // List items go on lines of their own, one level deeper than the property.
    void Item(const std::string& text)
    {
        if (FDepth > 0)
            FBuf += "\n" + Indent(FIndent + FDepth);
        else if (!FBuf.empty())
            FBuf += " ";
        FBuf += text;
    }

    int FIndent;
    int FDepth = 0;
    std::string FBuf;
};

class TFormWriter {
public:
    explicit TFormWriter(TComponent* root) : Root(root) {}

    std::string Run()
    {
        WriteComponent(Root, 0);
        return Out;
    }

private:
    void Line(int indent, const std::string& s) { Out += Indent(indent) + s + "\n"; }

    bool InTree(TComponent* c) const { return c == Root || (c && c->Owner() == Root); }

    std::vector<TComponent*> ChildrenOf(TComponent* c) const
    {
        std::vector<TComponent*> out;
        for (int i = 0, n = Root->ComponentCount(); i < n; ++i) {
            TComponent* comp = Root->Components(i);
            TComponent* parent = comp->HasParent() ? comp->GetParentComponent() : nullptr;
            if (c == Root ? (!InTree(parent) || parent == Root) : parent == c)
                out.push_back(comp);
        }
        return out;
    }

    void WriteComponent(TComponent* c, int indent)
    {
        if (c->Name().empty())
            throw EWriteError("A component of class " + c->ClassName() +
                              " without a name cannot be written");
        Line(indent, "object " + c->Name() + ": " + c->ClassName());
        WriteProperties(c, "", indent + 1);
        for (TComponent* child : ChildrenOf(c))
            WriteComponent(child, indent + 1);
        Line(indent, "end");
    }

    std::string ReferenceName(TComponent* c) const
    {
        if (c == Root || c->Owner() == Root)
            return c->Name();
        if (c->Owner() && !c->Owner()->Name().empty() && !c->Name().empty())
            return c->Owner()->Name() + "." + c->Name();
        return {};
    }

    void WriteProperties(TObject* obj, const std::string& prefix, int indent)
    {
        for (PPropInfo p : GetPropInfos(obj)) {
            if (!IsStoredProp(obj, p))
                continue;
            std::string name = prefix + p->Name;
            TTypeKind kind = p->PropType->Kind;
            if (kind == tkClass) {
                WriteObjectProperty(obj, p, name, indent);
                continue;
            }
            if (kind == tkMethod) {
                TMethod m = GetMethodProp(obj, p);
                std::string handler = m.Assigned() ? MethodName(Root, m) : std::string();
                if (!handler.empty())
                    Line(indent, name + " = " + handler);
                continue;
            }
            if (!p->Writable() || IsDefaultPropValue(obj, p))
                continue;
            std::string text;
            if (ValueText(obj, p, text))
                Line(indent, name + " = " + text);
        }
        if (auto* persistent = dynamic_cast<TPersistent*>(obj)) {
            TTextFilerWriter filer(indent);
            persistent->DefineProperties(&filer);
            for (auto& [name, text] : filer.Entries)
                Line(indent, prefix + name + " = " + text);
        }
    }

    void WriteObjectProperty(TObject* obj, PPropInfo p, const std::string& name, int indent)
    {
        TObject* value = GetObjectProp(obj, p);
        if (!value)
            return;
        if (auto* comp = dynamic_cast<TComponent*>(value)) {
            std::string ref = p->Writable() ? ReferenceName(comp) : std::string();
            if (!ref.empty())
                Line(indent, name + " = " + ref);
            return;
        }
        if (auto* coll = dynamic_cast<TCollection*>(value)) {
            if (coll->Count() == 0)
                return;
            Line(indent, name + " = <");
            for (int i = 0; i < coll->Count(); ++i) {
                Line(indent + 1, "item");
                WriteProperties(coll->Items(i), "", indent + 2);
                Line(indent + 1, i + 1 == coll->Count() ? "end>" : "end");
            }
            return;
        }
        WriteProperties(value, name + ".", indent);
    }

    // False when the value equals the implicit default of a property that declares none.
    bool ValueText(TObject* obj, PPropInfo p, std::string& text)
    {
        PTypeInfo type = p->PropType;
        switch (type->Kind) {
        case tkInteger: {
            int64_t v = GetOrdProp(obj, p);
            if (!IntegerToIdent(type, v, text))
                text = std::to_string(v);
            return true;
        }
        case tkInt64: {
            int64_t v = GetInt64Prop(obj, p);
            if (!IntegerToIdent(type, v, text))
                text = std::to_string(v);
            return true;
        }
        case tkChar:
        case tkWChar:
            text = QuoteFormString(std::string(1, static_cast<char>(GetOrdProp(obj, p))));
            return true;
        case tkEnumeration:
            text = GetEnumName(type, GetOrdProp(obj, p));
            return !text.empty();
        case tkSet: {
            int64_t bits = GetOrdProp(obj, p);
            if (!p->HasDefault && bits == 0)
                return false;
            std::string inner = SetToString(type, bits, false);
            text = "[";
            for (char c : inner)
                text += c == ',' ? std::string(", ") : std::string(1, c);
            text += "]";
            return true;
        }
        case tkFloat: {
            long double v = GetFloatProp(obj, p);
            if (!p->HasDefault && v == 0)
                return false;
            text = FloatText(v);
            return true;
        }
        case tkString:
        case tkLString:
        case tkWString: {
            std::string v = GetStrProp(obj, p);
            if (!p->HasDefault && v.empty())
                return false;
            text = QuoteFormString(v);
            return true;
        }
        case tkVariant: {
            Variant v = GetVariantProp(obj, p);
            switch (v.VarType()) {
            case varInteger:
            case varInt64:
                text = std::to_string(v.AsInt64());
                return true;
            case varDouble:
                text = FloatText(v.AsDouble());
                return true;
            case varBoolean:
                text = v.AsBool() ? "True" : "False";
                return true;
            case varString:
                text = QuoteFormString(v.AsString());
                return true;
            default:
                return false;
            }
        }
        default:
            return false;
        }
    }

    TComponent* Root;
    std::string Out;
};

} // namespace

std::string WriteComponentToText(TComponent* Root)
{
    if (!Root)
        throw EWriteError("No component to write");
    TComponentState before = Root->ComponentState();
    Root->SetComponentState(before + csWriting);
    ScopeExit done([Root] { Root->SetComponentState(Root->ComponentState() - csWriting); });
    return TFormWriter(Root).Run();
}
