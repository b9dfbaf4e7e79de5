#pragma once
// One record being written by member name through the type database: the mesh records'
// shorthand for CType::Begin and CType::Dump with typed values.
#include "converter/core/CType.h"

#include <string>

class CZelWriter;

class RecordOut {
public:
    // Fatal when the type file lacks the type. No symbol: an unlabelled record. Alignment 0
    // is the writer's default (4 bytes).
    RecordOut(CZelWriter& writer, const char* typeName, const char* symbol, bool isPublic, unsigned long alignment = 0);

    void Float(const char* path, float value);
    void Unsigned(const char* path, unsigned long value, const char* typeName = "unsigned long");
    void Signed(const char* path, long value);
    void Pointer(const char* path, const std::string& symbol);
    // A 16-bit offset from the member to the symbol; an empty symbol writes 0.
    void Offset(const char* path, const std::string& symbol);
    void Id(const char* path, const std::string& text);
    // Raw bytes at a member of the record (an array of bytes).
    void Bytes(const char* member, const void* data, unsigned long size);

    unsigned long Size() const { return m_Type->Size; }

private:
    CZelWriter& m_Writer;
    CType* m_Type;
};

// A type-file constant; missing is fatal.
unsigned long Constant(const char* name);
// The size of a type of the type file; missing is fatal.
unsigned long TypeSize(const char* name);
