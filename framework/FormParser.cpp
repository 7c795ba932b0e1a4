// The form description's lexer and parser: text in, syntax tree out.
#include "framework/FormTree.h"

#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "platform/HexDigit.h"

#include <charconv>
#include <limits>

namespace form_detail {

[[noreturn]] void Fail(const std::string& file, int line, const std::string& message)
{
    throw EReadError(file + "(" + std::to_string(line) + "): " + message);
}

namespace {

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
bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }

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
                    high = HexDigitValue(c);
                else {
                    out.push_back(static_cast<uint8_t>(high * 16 + HexDigitValue(c)));
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

} // namespace

TObjectNode ParseFormDescription(const std::string& Text, const std::string& File)
{
    return TParser(Text, File).ParseRoot();
}

std::string ParseFormDescriptionClass(const std::string& Text, const std::string& File)
{
    return TParser(Text, File).ParseHeaderClass();
}

} // namespace form_detail
