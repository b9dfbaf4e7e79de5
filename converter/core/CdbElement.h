#pragma once
// Base of every element a script command creates: a labelled object in the one element
// database that writes its records into packed data, and optionally saves itself into a
// chunk file and is re-created from one through the factory table.
#include "converter/core/CNamedArrayElement.h"

class CDatabase;
class CZRiffFile;
class CZelWriter;

class CdbElement : public CNamedArrayElement {
public:
    typedef CdbElement* (*CreateFunction)(const char* label, CDatabase* database);

    // Elements are always labelled: this form stops the converter.
    CdbElement();
    // Fatal when the label is already taken in the database.
    CdbElement(const char* label, CDatabase* database);
    ~CdbElement() override;

    virtual void Diagnostic();
    virtual void Dump(CZelWriter& writer);
    // Save and Load return true on failure.
    virtual bool Save(CZRiffFile& file, int formatVersion);
    virtual bool Load(CZRiffFile& file, int elementVersion);
    // 0: the class cannot be saved.
    virtual unsigned long GetTypeId() const { return 0; }
    virtual unsigned long GetVersion() const { return 0; }

    const char* GetLabel() const { return GetName(); }
    CDatabase* GetDatabase() const { return Database; }

    static unsigned long RegisterFactory(const char* className, CreateFunction create);
    static CdbElement* CreateElement(unsigned long typeId, const char* label, CDatabase* database);
    static const char* GetClassName(const CdbElement* element);

private:
    CDatabase* Database = nullptr;
};
