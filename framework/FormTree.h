#pragma once
// A form description as read from its text: the tree the parser builds and the loader
// applies. Shared by the form reader's files only.
#include <cstdint>
#include <string>
#include <vector>

namespace form_detail {

// Raises EReadError "<file>(<line>): <message>".
[[noreturn]] void Fail(const std::string& file, int line, const std::string& message);

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

// The root block of Text; EReadError on any fault.
TObjectNode ParseFormDescription(const std::string& Text, const std::string& File);
// Only the root block's header "object Name: Class": its class name.
std::string ParseFormDescriptionClass(const std::string& Text, const std::string& File);

} // namespace form_detail
