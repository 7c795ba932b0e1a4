#pragma once
// The hooks through which a persistent object streams data that is not a published
// property (DefineProperties), and the reading/writing interface that such data uses.
// The form-description reader and writer implement TReader and TWriter.
#include "framework/System.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TReader;
class TWriter;

class TFiler : public TObject {
    QM_CLASS(TFiler, TObject)
public:
    using TReaderProc = std::function<void(TReader*)>;
    using TWriterProc = std::function<void(TWriter*)>;
    using TStreamProc = std::function<void(std::vector<uint8_t>& data)>;

    // The object this one is compared with when writing differences only; null if none.
    TObject* Ancestor() const { return FAncestor; }
    void SetAncestor(TObject* ancestor) { FAncestor = ancestor; }

    // hasData tells a writer whether the property holds anything worth writing.
    virtual void DefineProperty(const std::string& Name, TReaderProc ReadData,
                                TWriterProc WriteData, bool HasData) = 0;
    // Binary data: readData receives the bytes read, writeData fills the bytes to write.
    virtual void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData,
                                      TStreamProc WriteData, bool HasData) = 0;

protected:
    TObject* FAncestor = nullptr;
};

class TReader : public TFiler {
    QM_CLASS(TReader, TFiler)
public:
    virtual std::string ReadString() = 0;
    virtual int32_t ReadInteger() = 0;
    virtual bool ReadBoolean() = 0;
    virtual void ReadListBegin() = 0;
    virtual void ReadListEnd() = 0;
    virtual bool EndOfList() = 0;
};

class TWriter : public TFiler {
    QM_CLASS(TWriter, TFiler)
public:
    virtual void WriteString(const std::string& Value) = 0;
    virtual void WriteInteger(int32_t Value) = 0;
    virtual void WriteBoolean(bool Value) = 0;
    virtual void WriteListBegin() = 0;
    virtual void WriteListEnd() = 0;
};

// Records every property an object defines, with its hasData flag; it neither reads nor
// writes. Useful to check DefineProperties implementations.
class TPropertyCollectorFiler : public TFiler {
    QM_CLASS(TPropertyCollectorFiler, TFiler)
public:
    struct Entry {
        std::string Name;
        bool HasData = false;
        bool Binary = false;
        TReaderProc Reader;
        TWriterProc Writer;
        TStreamProc BinaryReader;
        TStreamProc BinaryWriter;
    };

    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                        bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData,
                              TStreamProc WriteData, bool HasData) override;

    const std::vector<Entry>& Entries() const { return FEntries; }
    // The entry of that name (ASCII case ignored), or null.
    const Entry* Find(const std::string& Name) const;

private:
    std::vector<Entry> FEntries;
};
