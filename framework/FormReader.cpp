#include "framework/FormReader.h"

#include "framework/Filer.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <mutex>

namespace {

[[noreturn]] void Fail(const std::string& file, int line, const std::string& message)
{
    throw EReadError(file + "(" + std::to_string(line) + "): " + message);
}

// ---- Syntax tree --------------------------------------------------------------------------

struct TItemNode;

struct TValueNode {
    enum Kind { vInteger, vFloat, vString, vIdent, vSet, vList, vCollection, vBinary };
    Kind K = vInteger;
    int Line = 0;
    int64_t Int = 0;
    bool Hex = false;
    long double Float = 0;
    std::string Str;                 // string, identifier
    std::vector<std::string> Names;  // set members
    std::vector<TValueNode> Items;   // list
    std::vector<TItemNode> CollItems;
    std::vector<uint8_t> Bytes;
};

struct TPropNode {
    std::string Path;
    int Line = 0;
    TValueNode Value;
};

struct TItemNode {
    int Line = 0;
    std::vector<TPropNode> Props;
};

struct TObjectNode {
    std::string Name;
    std::string ClassName;
    int Line = 0;
    std::vector<TPropNode> Props;
    std::vector<TObjectNode> Children;
};

// ---- Lexer and parser ---------------------------------------------------------------------

enum class Tok { End, Ident, Integer, Float, String, Symbol };

struct Token {
    Tok Kind = Tok::End;
    std::string Text; // identifier, string bytes, symbol
    int64_t Int = 0;
    bool Hex = false;
    long double Float = 0;
    int Line = 1;
};

bool IsIdentStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    return AsciiUpper(c) - 'A' + 10;
}

class TParser {
public:
    TParser(const std::string& text, const std::string& file) : S(text), File(file)
    {
        Advance();
    }

    TObjectNode ParseRoot()
    {
        TObjectNode root = ParseObject();
        if (Cur.Kind != Tok::End)
            Error("End of file expected after the root block");
        return root;
    }

    // Only the header: "object Name: Class".
    std::string ParseHeaderClass()
    {
        std::string name, cls;
        ParseHeader(name, cls);
        return cls;
    }

private:
    [[noreturn]] void Error(const std::string& message) { Fail(File, Cur.Line, message); }

    bool IsKeyword(const char* word) const
    {
        return Cur.Kind == Tok::Ident && SameText(Cur.Text, word);
    }
    bool IsSymbol(char c) const
    {
        return Cur.Kind == Tok::Symbol && Cur.Text.size() == 1 && Cur.Text[0] == c;
    }
    void ExpectSymbol(char c)
    {
        if (!IsSymbol(c))
            Error(std::string("'") + c + "' expected" + Found());
        Advance();
    }
    std::string Found() const
    {
        switch (Cur.Kind) {
        case Tok::End:
            return " but end of file found";
        case Tok::String:
            return " but a string found";
        case Tok::Integer:
        case Tok::Float:
            return " but a number found";
        default:
            return " but '" + Cur.Text + "' found";
        }
    }
    std::string ExpectIdent(const char* what)
    {
        if (Cur.Kind != Tok::Ident)
            Error(std::string(what) + " expected" + Found());
        std::string s = Cur.Text;
        Advance();
        return s;
    }

    void ParseHeader(std::string& name, std::string& cls)
    {
        if (!IsKeyword("object"))
            Error("'object' expected" + Found());
        Advance();
        name = ExpectIdent("Component name");
        ExpectSymbol(':');
        cls = ExpectIdent("Class name");
    }

    TObjectNode ParseObject()
    {
        TObjectNode node;
        node.Line = Cur.Line;
        ParseHeader(node.Name, node.ClassName);
        if (node.Name.find('.') != std::string::npos || node.ClassName.find('.') != std::string::npos)
            Fail(File, node.Line, "Invalid component or class name");
        while (!IsKeyword("end") && !IsKeyword("object")) {
            if (Cur.Kind == Tok::End)
                Error("'end' expected but end of file found");
            node.Props.push_back(ParseProperty());
        }
        while (IsKeyword("object"))
            node.Children.push_back(ParseObject());
        if (!IsKeyword("end"))
            Error("'end' expected" + Found());
        Advance();
        return node;
    }

    TPropNode ParseProperty()
    {
        TPropNode p;
        p.Line = Cur.Line;
        p.Path = ExpectIdent("Property name");
        ExpectSymbol('=');
        p.Value = ParseValue();
        return p;
    }

    TValueNode ParseValue()
    {
        TValueNode v;
        v.Line = Cur.Line;
        switch (Cur.Kind) {
        case Tok::Integer:
            v.K = TValueNode::vInteger;
            v.Int = Cur.Int;
            v.Hex = Cur.Hex;
            Advance();
            return v;
        case Tok::Float:
            v.K = TValueNode::vFloat;
            v.Float = Cur.Float;
            Advance();
            return v;
        case Tok::String:
            v.K = TValueNode::vString;
            v.Str = Cur.Text;
            Advance();
            while (IsSymbol('+')) {
                Advance();
                if (Cur.Kind != Tok::String)
                    Error("String expected after '+'" + Found());
                v.Str += Cur.Text;
                Advance();
            }
            return v;
        case Tok::Ident:
            v.K = TValueNode::vIdent;
            v.Str = Cur.Text;
            Advance();
            return v;
        case Tok::Symbol:
            break;
        case Tok::End:
            Error("Value expected but end of file found");
        }
        char c = Cur.Text[0];
        if (c == '[') {
            v.K = TValueNode::vSet;
            Advance();
            while (!IsSymbol(']')) {
                v.Names.push_back(ExpectIdent("Set member"));
                if (IsSymbol(','))
                    Advance();
                else if (!IsSymbol(']'))
                    Error("',' or ']' expected" + Found());
            }
            Advance();
            return v;
        }
        if (c == '(') {
            v.K = TValueNode::vList;
            Advance();
            while (!IsSymbol(')')) {
                if (Cur.Kind == Tok::End)
                    Error("')' expected but end of file found");
                v.Items.push_back(ParseValue());
            }
            Advance();
            return v;
        }
        if (c == '<') {
            v.K = TValueNode::vCollection;
            Advance();
            while (!IsSymbol('>')) {
                if (!IsKeyword("item"))
                    Error("'item' or '>' expected" + Found());
                TItemNode item;
                item.Line = Cur.Line;
                Advance();
                while (!IsKeyword("end")) {
                    if (Cur.Kind == Tok::End)
                        Error("'end' expected but end of file found");
                    item.Props.push_back(ParseProperty());
                }
                Advance();
                v.CollItems.push_back(std::move(item));
            }
            Advance();
            return v;
        }
        if (c == '{') {
            v.K = TValueNode::vBinary;
            v.Bytes = ReadBinary();
            Advance();
            return v;
        }
        Error("Value expected" + Found());
    }

    // Hex pairs up to '}', read straight from the text (the lexer stopped after '{').
    std::vector<uint8_t> ReadBinary()
    {
        std::vector<uint8_t> out;
        int high = -1;
        for (;;) {
            if (P >= S.size())
                Fail(File, Line, "'}' expected but end of file found");
            char c = S[P++];
            if (c == '}')
                break;
            if (c == '\n')
                ++Line;
            else if (IsHexDigit(c)) {
                if (high < 0)
                    high = HexValue(c);
                else {
                    out.push_back(static_cast<uint8_t>(high * 16 + HexValue(c)));
                    high = -1;
                }
            } else if (static_cast<unsigned char>(c) > ' ')
                Fail(File, Line, std::string("Invalid character '") + c + "' in binary data");
        }
        if (high >= 0)
            Fail(File, Line, "Odd number of hex digits in binary data");
        return out;
    }

    void SkipBlanks()
    {
        while (P < S.size()) {
            char c = S[P];
            if (c == '\n') {
                ++Line;
                ++P;
            } else if (static_cast<unsigned char>(c) <= ' ') {
                ++P;
            } else if (c == '/' && P + 1 < S.size() && S[P + 1] == '/') {
                while (P < S.size() && S[P] != '\n')
                    ++P;
            } else {
                break;
            }
        }
    }

    void Advance()
    {
        SkipBlanks();
        Cur = Token();
        Cur.Line = Line;
        if (P >= S.size())
            return;
        char c = S[P];
        if (IsIdentStart(c)) {
            size_t b = P;
            while (P < S.size() && (IsIdentStart(S[P]) || IsDigit(S[P]) || S[P] == '.'))
                ++P;
            Cur.Kind = Tok::Ident;
            Cur.Text = S.substr(b, P - b);
            if (Cur.Text.back() == '.' || Cur.Text.find("..") != std::string::npos)
                Fail(File, Line, "Invalid name '" + Cur.Text + "'");
            return;
        }
        if (IsDigit(c) || c == '$' ||
            (c == '-' && P + 1 < S.size() && (IsDigit(S[P + 1]) || S[P + 1] == '$'))) {
            LexNumber();
            return;
        }
        if (c == '\'' || c == '#') {
            LexString();
            return;
        }
        if (std::string("=:[](),<>{}+").find(c) != std::string::npos) {
            Cur.Kind = Tok::Symbol;
            Cur.Text = std::string(1, c);
            ++P;
            return;
        }
        Fail(File, Line, std::string("Invalid character '") + c + "'");
    }

    void LexNumber()
    {
        bool negative = false;
        if (S[P] == '-') {
            negative = true;
            ++P;
        }
        if (S[P] == '$') {
            ++P;
            size_t b = P;
            while (P < S.size() && IsHexDigit(S[P]))
                ++P;
            uint64_t v = 0;
            auto [end, ec] = std::from_chars(S.data() + b, S.data() + P, v, 16);
            if (b == P || ec != std::errc() || v > static_cast<uint64_t>(INT64_MAX))
                Fail(File, Line, "Invalid hexadecimal number");
            Cur.Kind = Tok::Integer;
            Cur.Hex = true;
            Cur.Int = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
            return;
        }
        size_t b = P;
        while (P < S.size() && IsDigit(S[P]))
            ++P;
        bool isFloat = false;
        if (P + 1 < S.size() && S[P] == '.' && IsDigit(S[P + 1])) {
            isFloat = true;
            ++P;
            while (P < S.size() && IsDigit(S[P]))
                ++P;
        }
        if (P < S.size() && (S[P] == 'e' || S[P] == 'E')) {
            size_t q = P + 1;
            if (q < S.size() && (S[q] == '+' || S[q] == '-'))
                ++q;
            if (q < S.size() && IsDigit(S[q])) {
                isFloat = true;
                P = q;
                while (P < S.size() && IsDigit(S[P]))
                    ++P;
            }
        }
        if (P < S.size() && (IsIdentStart(S[P]) || S[P] == '.'))
            Fail(File, Line, "Invalid number");
        const char* first = S.data() + b - (negative ? 1 : 0);
        if (isFloat) {
            long double v = 0;
            auto [end, ec] = std::from_chars(first, S.data() + P, v);
            if (ec != std::errc())
                Fail(File, Line, "Invalid floating point number");
            Cur.Kind = Tok::Float;
            Cur.Float = v;
        } else {
            int64_t v = 0;
            auto [end, ec] = std::from_chars(first, S.data() + P, v);
            if (ec != std::errc())
                Fail(File, Line, "Integer out of range");
            Cur.Kind = Tok::Integer;
            Cur.Int = v;
        }
    }

    void LexString()
    {
        Cur.Kind = Tok::String;
        while (P < S.size() && (S[P] == '\'' || S[P] == '#')) {
            if (S[P] == '\'') {
                ++P;
                for (;;) {
                    if (P >= S.size() || S[P] == '\n' || S[P] == '\r')
                        Fail(File, Line, "Unterminated string");
                    if (S[P] == '\'') {
                        if (P + 1 < S.size() && S[P + 1] == '\'') {
                            Cur.Text += '\'';
                            P += 2;
                            continue;
                        }
                        ++P;
                        break;
                    }
                    Cur.Text += S[P++];
                }
            } else {
                ++P;
                int base = 10;
                if (P < S.size() && S[P] == '$') {
                    base = 16;
                    ++P;
                }
                size_t b = P;
                while (P < S.size() && (base == 16 ? IsHexDigit(S[P]) : IsDigit(S[P])))
                    ++P;
                unsigned v = 0;
                auto [end, ec] = std::from_chars(S.data() + b, S.data() + P, v, base);
                if (b == P || ec != std::errc() || v > 255)
                    Fail(File, Line, "Invalid character code after '#'");
                Cur.Text += static_cast<char>(static_cast<unsigned char>(v));
            }
        }
    }

    const std::string& S;
    const std::string& File;
    size_t P = 0;
    int Line = 1;
    Token Cur;
};

// ---- Reading values for DefineProperties ---------------------------------------------------

class TValueReader : public TReader {
public:
    TValueReader(const TValueNode& value, const std::string& name) : FValue(value), FName(name) {}

    bool Handled() const { return FHandled; }
    bool FullyRead() const { return FTaken && FStack.empty(); }

    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc,
                        bool) override
    {
        if (FHandled || !SameText(Name, FName))
            return;
        FHandled = true;
        if (!ReadData)
            throw EReadError("Property " + Name + " cannot be read");
        ReadData(this);
    }
    void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc,
                              bool) override
    {
        if (FHandled || !SameText(Name, FName))
            return;
        FHandled = true;
        const TValueNode& v = Next();
        if (v.K != TValueNode::vBinary)
            throw EReadError("Binary data expected for property " + Name);
        if (!ReadData)
            throw EReadError("Property " + Name + " cannot be read");
        std::vector<uint8_t> bytes = v.Bytes;
        ReadData(bytes);
    }

    std::string ReadString() override
    {
        const TValueNode& v = Next();
        if (v.K != TValueNode::vString)
            throw EReadError("String expected");
        return v.Str;
    }
    int32_t ReadInteger() override
    {
        const TValueNode& v = Next();
        if (v.K != TValueNode::vInteger || v.Int < INT32_MIN || v.Int > INT32_MAX)
            throw EReadError("Integer expected");
        return static_cast<int32_t>(v.Int);
    }
    bool ReadBoolean() override
    {
        const TValueNode& v = Next();
        if (v.K == TValueNode::vIdent && SameText(v.Str, "True"))
            return true;
        if (v.K == TValueNode::vIdent && SameText(v.Str, "False"))
            return false;
        throw EReadError("True or False expected");
    }
    void ReadListBegin() override
    {
        const TValueNode& v = Next();
        if (v.K != TValueNode::vList)
            throw EReadError("List expected");
        FStack.push_back({&v, 0});
    }
    void ReadListEnd() override
    {
        if (!EndOfList())
            throw EReadError("End of list expected");
        FStack.pop_back();
    }
    bool EndOfList() override
    {
        if (FStack.empty())
            throw EReadError("Not in a list");
        return FStack.back().second >= FStack.back().first->Items.size();
    }

private:
    const TValueNode& Next()
    {
        if (FStack.empty()) {
            if (FTaken)
                throw EReadError("Property " + FName + " has a single value");
            FTaken = true;
            return FValue;
        }
        auto& [list, index] = FStack.back();
        if (index >= list->Items.size())
            throw EReadError("List of property " + FName + " ended early");
        return list->Items[index++];
    }

    const TValueNode& FValue;
    std::string FName;
    bool FHandled = false;
    bool FTaken = false;
    std::vector<std::pair<const TValueNode*, size_t>> FStack;
};

// ---- Applying a description to a root --------------------------------------------------------

std::mutex& GlobalLock()
{
    static std::mutex m;
    return m;
}
TFindGlobalComponent& GlobalProc()
{
    static TFindGlobalComponent p;
    return p;
}

class TFormLoader {
public:
    TFormLoader(TComponent* root, const std::string& file) : Root(root), File(file) {}

    void Load(const TObjectNode& node)
    {
        try {
            CheckRootClass(node);
            MarkReading(Root);
            Guard(node.Line, [&] { Root->SetName(node.Name); });
            ReadBody(Root, node);
            ResolveFixups();
        } catch (...) {
            for (TComponent* c : Created)
                Unmark(c);
            Unmark(Root);
            throw;
        }
        Created.push_back(Root);
        for (TComponent* c : Created)
            c->Loaded();
        for (TComponent* c : Created)
            c->SetComponentState(c->ComponentState() - csReading);
    }

private:
    struct Fixup {
        TObject* Target;
        PPropInfo Prop;
        std::string Name;
        int Line;
    };

    [[noreturn]] void Error(int line, const std::string& message) { Fail(File, line, message); }

    // Runs f, turning any error it raises into one naming the file and line.
    template <class F> void Guard(int line, F&& f)
    {
        try {
            f();
        } catch (const EReadError& e) {
            if (e.Message.starts_with(File + "("))
                throw;
            Error(line, e.Message);
        } catch (const Exception& e) {
            Error(line, e.Message);
        } catch (const std::exception& e) {
            Error(line, e.what());
        }
    }

    static void MarkReading(TComponent* c)
    {
        c->SetComponentState(c->ComponentState() + TComponentState{csLoading, csReading});
    }
    static void Unmark(TComponent* c)
    {
        c->SetComponentState(c->ComponentState() - TComponentState{csLoading, csReading});
    }

    void CheckRootClass(const TObjectNode& node)
    {
        for (TClass c = Root->ClassType(); c; c = c->Parent)
            if (SameText(c->Name, node.ClassName))
                return;
        Error(node.Line, "Class " + node.ClassName + " does not match the root's class " +
                             Root->ClassName());
    }

    void ReadBody(TComponent* comp, const TObjectNode& node)
    {
        for (const TPropNode& p : node.Props)
            ApplyProperty(comp, p);
        for (const TObjectNode& child : node.Children)
            ReadChild(comp, child);
    }

    void ReadChild(TComponent* parent, const TObjectNode& node)
    {
        TClass cls = FindClass(node.ClassName);
        if (!cls)
            Error(node.Line, "Class " + node.ClassName + " not found");
        if (!cls->InheritsFrom(TComponent::StaticClassInfo()) || !cls->CreateComponent)
            Error(node.Line, "Class " + node.ClassName + " is not a component class");
        TComponent* comp = nullptr;
        Guard(node.Line, [&] { comp = cls->CreateComponent(Root); });
        MarkReading(comp);
        Created.push_back(comp);
        Guard(node.Line, [&] {
            comp->SetName(node.Name);
            if (const TPublishedField* f = FindPublishedField(Root->ClassType(), node.Name)) {
                TClass want = f->ClassFn();
                if (!comp->InheritsFrom(want))
                    throw EReadError("Field " + f->Name + " of " + Root->ClassName() +
                                     " holds a " + want->Name + ", not a " + comp->ClassName());
                f->Set(Root, comp);
            }
            if (comp->HasParent())
                comp->SetParentComponent(parent);
        });
        ReadBody(comp, node);
    }

    void ApplyProperty(TObject* obj, const TPropNode& p)
    {
        Guard(p.Line, [&] {
            TObject* target = obj;
            size_t start = 0;
            for (;;) {
                size_t dot = p.Path.find('.', start);
                std::string seg = p.Path.substr(start, dot == std::string::npos ? dot : dot - start);
                if (dot == std::string::npos) {
                    SetProperty(target, seg, p);
                    return;
                }
                PPropInfo sp = GetPropInfo(target, seg);
                if (!sp)
                    throw EReadError("Unknown property '" + p.Path + "' of class " +
                                     obj->ClassName());
                if (sp->PropType->Kind != tkClass)
                    throw EReadError("Property " + p.Path.substr(0, dot) + " is not an object");
                target = GetObjectProp(target, sp);
                if (!target)
                    throw EReadError("Property " + p.Path.substr(0, dot) + " holds no object");
                start = dot + 1;
            }
        });
    }

    void SetProperty(TObject* target, const std::string& name, const TPropNode& p)
    {
        PPropInfo prop = GetPropInfo(target, name);
        if (!prop) {
            if (auto* persistent = dynamic_cast<TPersistent*>(target)) {
                TValueReader reader(p.Value, name);
                persistent->DefineProperties(&reader);
                if (reader.Handled()) {
                    if (!reader.FullyRead())
                        throw EReadError("Invalid value of property " + p.Path);
                    return;
                }
            }
            throw EReadError("Unknown property '" + p.Path + "' of class " + target->ClassName());
        }
        SetValue(target, prop, p);
    }

    [[noreturn]] static void BadValue(const TPropNode& p)
    {
        throw EReadError("Invalid value for property " + p.Path);
    }

    void SetValue(TObject* target, PPropInfo prop, const TPropNode& p)
    {
        const TValueNode& v = p.Value;
        PTypeInfo type = prop->PropType;
        switch (type->Kind) {
        case tkInteger:
        case tkInt64: {
            int64_t n = 0;
            if (v.K == TValueNode::vInteger) {
                n = v.Int;
                // $80000005 is how a 32-bit signed value with the top bit is written in hex.
                if (v.Hex && type->Kind == tkInteger && type->Data.OrdType == otSLong &&
                    n > INT32_MAX && n <= static_cast<int64_t>(UINT32_MAX))
                    n = static_cast<int32_t>(static_cast<uint32_t>(n));
            } else if (v.K == TValueNode::vIdent || v.K == TValueNode::vString) {
                // A quoted name serves types whose names are not identifiers ('Ctrl+S').
                if (!IdentToInteger(type, v.Str, n))
                    throw EReadError("Invalid value '" + v.Str + "' for property " + p.Path +
                                     " of type " + type->Name());
            } else {
                BadValue(p);
            }
            if (type->Kind == tkInt64)
                SetInt64Prop(target, prop, n);
            else
                SetOrdProp(target, prop, n);
            return;
        }
        case tkChar:
        case tkWChar:
            if (v.K == TValueNode::vString && v.Str.size() == 1)
                SetOrdProp(target, prop, static_cast<unsigned char>(v.Str[0]));
            else if (v.K == TValueNode::vInteger)
                SetOrdProp(target, prop, v.Int);
            else
                BadValue(p);
            return;
        case tkEnumeration: {
            if (v.K != TValueNode::vIdent)
                BadValue(p);
            int64_t n = GetEnumValue(type, v.Str);
            if (n < 0)
                throw EReadError("Invalid enumeration name '" + v.Str + "' for property " +
                                 p.Path + " of type " + type->Name());
            SetOrdProp(target, prop, n);
            return;
        }
        case tkSet: {
            if (v.K != TValueNode::vSet)
                BadValue(p);
            PTypeInfo member = type->Data.CompType;
            int64_t bits = 0;
            for (const std::string& m : v.Names) {
                int64_t n = GetEnumValue(member, m);
                if (n < 0 || n > 31)
                    throw EReadError("Invalid set member '" + m + "' for property " + p.Path +
                                     " of type " + type->Name());
                bits |= int64_t{1} << n;
            }
            SetOrdProp(target, prop, bits);
            return;
        }
        case tkFloat:
            if (v.K == TValueNode::vFloat)
                SetFloatProp(target, prop, v.Float);
            else if (v.K == TValueNode::vInteger)
                SetFloatProp(target, prop, static_cast<long double>(v.Int));
            else
                BadValue(p);
            return;
        case tkString:
        case tkLString:
        case tkWString:
            if (v.K != TValueNode::vString)
                BadValue(p);
            SetStrProp(target, prop, v.Str);
            return;
        case tkVariant:
            if (v.K == TValueNode::vInteger)
                SetVariantProp(target, prop, Variant(v.Int));
            else if (v.K == TValueNode::vFloat)
                SetVariantProp(target, prop, Variant(static_cast<double>(v.Float)));
            else if (v.K == TValueNode::vString)
                SetVariantProp(target, prop, Variant(v.Str));
            else if (v.K == TValueNode::vIdent && SameText(v.Str, "True"))
                SetVariantProp(target, prop, Variant(true));
            else if (v.K == TValueNode::vIdent && SameText(v.Str, "False"))
                SetVariantProp(target, prop, Variant(false));
            else
                BadValue(p);
            return;
        case tkMethod:
            if (v.K != TValueNode::vIdent || v.Str.find('.') != std::string::npos)
                BadValue(p);
            MethodFixups.push_back({target, prop, v.Str, p.Line});
            return;
        case tkClass:
            SetClassValue(target, prop, p);
            return;
        default:
            throw EReadError("Property " + p.Path + " cannot be read");
        }
    }

    void SetClassValue(TObject* target, PPropInfo prop, const TPropNode& p)
    {
        const TValueNode& v = p.Value;
        if (v.K == TValueNode::vIdent) {
            if (SameText(v.Str, "nil")) {
                SetObjectProp(target, prop, nullptr);
                return;
            }
            TClass cls = GetObjectPropClass(prop);
            if (!cls || !cls->InheritsFrom(TComponent::StaticClassInfo()))
                throw EReadError("Property " + p.Path + " does not refer to a component");
            ReferenceFixups.push_back({target, prop, v.Str, p.Line});
            return;
        }
        TObject* sub = GetObjectProp(target, prop);
        if (v.K == TValueNode::vCollection) {
            auto* coll = dynamic_cast<TCollection*>(sub);
            if (!coll)
                throw EReadError("Property " + p.Path + " is not a collection");
            TUpdateScope<TCollection> scope(coll);
            coll->Clear();
            for (const TItemNode& item : v.CollItems) {
                TCollectionItem* it = coll->Add();
                for (const TPropNode& ip : item.Props)
                    ApplyProperty(it, ip);
            }
            return;
        }
        if (v.K == TValueNode::vList) {
            auto* strings = dynamic_cast<TStrings*>(sub);
            if (!strings)
                BadValue(p);
            TUpdateScope<TStrings> scope(strings);
            strings->Clear();
            for (const TValueNode& item : v.Items) {
                if (item.K != TValueNode::vString)
                    BadValue(p);
                strings->Add(item.Str);
            }
            return;
        }
        BadValue(p);
    }

    TComponent* FindReference(const std::string& name)
    {
        size_t dot = name.find('.');
        if (dot == std::string::npos)
            return SameText(name, Root->Name()) ? Root : Root->FindComponent(name);
        std::string head = name.substr(0, dot), tail = name.substr(dot + 1);
        if (tail.find('.') != std::string::npos)
            return nullptr;
        TComponent* owner = SameText(head, Root->Name()) ? Root : FindGlobalComponent(head);
        return owner ? owner->FindComponent(tail) : nullptr;
    }

    void ResolveFixups()
    {
        for (const Fixup& f : ReferenceFixups)
            Guard(f.Line, [&] {
                TComponent* c = FindReference(f.Name);
                if (!c)
                    throw EReadError("Unknown component reference '" + f.Name + "'");
                TClass want = GetObjectPropClass(f.Prop);
                if (want && !c->InheritsFrom(want))
                    throw EReadError("Component " + f.Name + " is a " + c->ClassName() +
                                     ", property " + f.Prop->Name + " needs a " + want->Name);
                SetObjectProp(f.Target, f.Prop, c);
            });
        for (const Fixup& f : MethodFixups)
            Guard(f.Line, [&] {
                TMethod m = MethodAddress(Root, f.Name);
                if (!m.Assigned())
                    throw EReadError("Unknown handler '" + f.Name + "': " + Root->ClassName() +
                                     " has no published method of that name");
                const std::type_info* want = f.Prop->PropType->Data.Signature;
                if (want && m.Signature && *want != *m.Signature)
                    throw EReadError("Handler " + f.Name + " has the wrong signature for " +
                                     f.Prop->Name);
                SetMethodProp(f.Target, f.Prop, m);
            });
    }

    TComponent* Root;
    const std::string& File;
    std::vector<TComponent*> Created;
    std::vector<Fixup> ReferenceFixups;
    std::vector<Fixup> MethodFixups;
};

} // namespace

void ReadComponentFromText(TComponent* Root, const std::string& Text, const std::string& FileName)
{
    if (!Root)
        throw EReadError(FileName + ": no component to read into");
    TObjectNode node = TParser(Text, FileName).ParseRoot();
    TFormLoader(Root, FileName).Load(node);
}

void ReadComponentResource(TComponent* Root, const std::string& ResourceName)
{
    std::optional<TResourceData> res = FindResource(ResourceName);
    if (!res)
        throw EResNotFound("Resource " + ResourceName + " not found");
    ReadComponentFromText(Root, std::string(res->Text()), res->Name + ".qfm");
}

std::string FormDescriptionClassName(const std::string& Text, const std::string& FileName)
{
    return TParser(Text, FileName).ParseHeaderClass();
}

void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc)
{
    std::lock_guard<std::mutex> g(GlobalLock());
    GlobalProc() = std::move(Proc);
}

TComponent* FindGlobalComponent(const std::string& Name)
{
    TFindGlobalComponent proc;
    {
        std::lock_guard<std::mutex> g(GlobalLock());
        proc = GlobalProc();
    }
    return proc ? proc(Name) : nullptr;
}
