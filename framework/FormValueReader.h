#pragma once
// Reads one property value of a form description for an object's DefineProperties.
// Shared by the form reader's files only.
#include "framework/Filer.h"
#include "framework/FormTree.h"
#include "framework/SysUtils.h"

#include <utility>
#include <vector>

namespace form_detail {

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

} // namespace form_detail
