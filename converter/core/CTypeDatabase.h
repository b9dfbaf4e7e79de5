#pragma once
// The converter's knowledge of the engine's record layouts and named constants, filled from
// the type file (or a preprocessed engine header) and used to write records member by member.
#include "converter/core/CType.h"
#include "converter/core/ZSearchArray.h"
#include "converter/core/ZVariant.h"

#include <memory>

class CConstant : public CNamedArrayElement {
public:
    ZVariant Value; // tagged with the constant's type name
};

class CTypeDatabase : public ZSearchxArray<CType> {
public:
    CTypeDatabase();

    // Required and missing is fatal.
    CType* FindType(const char* name, bool required = false) const;
    unsigned long GetConstant(const char* name, bool required = false) const;
    CConstant* FindConstant(const char* name) const;
    // The first constant in list order with that value whose name begins with prefix and
    // ends with suffix (either may be null).
    CConstant* FindConstantByValue(const char* prefix, const char* suffix, unsigned long value) const;

    CType* NewType();
    CConstant* NewConstant();
    // Back to the builtin types only.
    void Reset();
    // Nothing added since construction or the last Reset.
    bool HoldsOnlyBuiltins() const { return OnlyBuiltins; }

    // Everything a load added to a database of builtins only, to be put back into another such
    // database without reading the file again: the same types (builtins marked exported
    // included), members, constants and name index.
    struct Image;
    std::shared_ptr<const Image> Capture() const;
    void Restore(const Image& image);
    void Diagnostic() const;
    void Save(const char* fileName) const;

private:
    void AddBuiltins();
    int IndexOfType(const CType* type) const;

    bool OnlyBuiltins = true;

    ZSearchxArray<CConstant> Constants{256};
};

extern CTypeDatabase TypeDatabase;
