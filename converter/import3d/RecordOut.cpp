#include "converter/import3d/RecordOut.h"

#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ZVariant.h"

RecordOut::RecordOut(CZelWriter& writer, const char* typeName, const char* symbol, bool isPublic,
                     unsigned long alignment)
    : m_Writer(writer), m_Type(TypeDatabase.FindType(typeName, true))
{
    m_Type->Begin(writer, symbol, isPublic, alignment);
}

void RecordOut::Float(const char* path, float value) { m_Type->Dump(m_Writer, path, ZVariant(value), false, nullptr); }

void RecordOut::Unsigned(const char* path, unsigned long value, const char* typeName)
{
    ZVariant v;
    v.Set(typeName, std::to_string(value).c_str());
    m_Type->Dump(m_Writer, path, v, false, nullptr);
}

void RecordOut::Signed(const char* path, long value)
{
    ZVariant v;
    v.Set("signed long", std::to_string(value).c_str());
    m_Type->Dump(m_Writer, path, v, false, nullptr);
}

void RecordOut::Pointer(const char* path, const std::string& symbol)
{
    ZVariant v;
    v.Set("pointer", symbol.c_str());
    m_Type->Dump(m_Writer, path, v, false, nullptr);
}

void RecordOut::Offset(const char* path, const std::string& symbol)
{
    ZVariant v;
    v.Set("offset", symbol.c_str());
    m_Type->Dump(m_Writer, path, v, false, nullptr);
}

void RecordOut::Id(const char* path, const std::string& text)
{
    ZVariant v;
    v.Set("id", text.c_str());
    m_Type->Dump(m_Writer, path, v, false, nullptr);
}

void RecordOut::Bytes(const char* member, const void* data, unsigned long size)
{
    if (m_Type->AdjustOffset(m_Writer, member))
        m_Writer.WriteData(data, size, 1, member);
    m_Type->AdjustOffset(m_Writer, nullptr);
}

unsigned long Constant(const char* name) { return TypeDatabase.GetConstant(name, true); }

unsigned long TypeSize(const char* name) { return TypeDatabase.FindType(name, true)->Size; }
