#pragma once
// The current row of the database wrapper's record set, field by field as text.
#include "converter/core/CxStringArray.h"

#include <afxdao.h>

class CDbRecord {
public:
    // Reads the record set's field names; the record always shows the set's current row.
    explicit CDbRecord(CDaoRecordset* recordSet);

    // The field's value as text. A null field reads "--" with nullMarker, else empty.
    CString GetValue(int field, bool nullMarker);
    // The same for the field of exactly that name (case-sensitive); no such field is fatal.
    CString GetValue(const char* name, bool nullMarker);
    void SetValue(const char* name, const char* text);
    void Print();

    const CxStringArray& GetFieldNames() const { return m_FieldNames; }

private:
    CDaoRecordset* m_pRecordSet;
    CxStringArray m_FieldNames;
};

// The text form of a field value, as CDbRecord::GetValue gives it.
CString VariantText(const COleVariant& value, bool nullMarker);
