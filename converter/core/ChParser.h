#pragma once

#include "converter/core/CzParser.h"

#include <string>

class CType;
class ZVariant;

// Fills the type database from declarations in C++ header syntax: the engine's preprocessed
// record header and the type file the converter carries. Classes, structs and unions with their
// members, simple typedefs, exported constants and the enumerators of exported classes become
// data; everything else the header grammar accepts is read past.
class ChParser : public CzParser {
public:
    ChParser();

    void Parse(const char* fileName);
    void ParseResource(const char* resourceName);

    // Evaluates a constant expression node into value, which already carries the target type.
    void Evaluate(int node, ZVariant& value);

    // Types read without a name: they keep the name they were made with, which differs from
    // one reading to the next.
    int UnnamedTypes() const { return m_UnnamedTypes; }

private:
    void Read(const char* name, bool fromResource);
    void Walk(int node);
    void ReadClass(CType* type, int node, CType* enclosing);
    void ReadClassMembers(CType* type, int declaration);
    void ReadTypedef(CType* type, int node);
    void ReadMember(CType* type, int declarator, const std::string& typeName);
    void ReadConstant(int node);
    void ReadEnum(int node, const char* prefix);
    void EvaluateFactor(int factor, ZVariant& working);
    std::string DeclaredTypeName(int declaration);
    const CType* ResolveConstantType(const char* typeName, int node);

    int m_UnnamedTypes = 0;
};

// Reads a header into the type database and, when typeFile is not empty, saves the type file.
void LoadTypeInfo(const char* headerFile, const char* typeFile);
// Reads a type file stored as a script resource of the program.
void LoadTypeResource(const char* resourceName);
