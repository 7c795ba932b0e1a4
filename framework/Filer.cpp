#include "framework/Filer.h"

#include "framework/SysUtils.h"

QM_CLASS_IMPL(TFiler, TObject)
QM_CLASS_IMPL(TReader, TFiler)
QM_CLASS_IMPL(TWriter, TFiler)
QM_CLASS_IMPL(TPropertyCollectorFiler, TFiler)

void TPropertyCollectorFiler::DefineProperty(const std::string& Name, TReaderProc ReadData,
                                             TWriterProc WriteData, bool HasData)
{
    Entry e;
    e.Name = Name;
    e.HasData = HasData;
    e.Reader = std::move(ReadData);
    e.Writer = std::move(WriteData);
    FEntries.push_back(std::move(e));
}

void TPropertyCollectorFiler::DefineBinaryProperty(const std::string& Name, TStreamProc ReadData,
                                                   TStreamProc WriteData, bool HasData)
{
    Entry e;
    e.Name = Name;
    e.HasData = HasData;
    e.Binary = true;
    e.BinaryReader = std::move(ReadData);
    e.BinaryWriter = std::move(WriteData);
    FEntries.push_back(std::move(e));
}

const TPropertyCollectorFiler::Entry* TPropertyCollectorFiler::Find(const std::string& Name) const
{
    for (const Entry& e : FEntries)
        if (SameText(e.Name, Name))
            return &e;
    return nullptr;
}
