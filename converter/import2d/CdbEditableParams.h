#pragma once
// A parameter block: the class of the game object to create and its named, typed field values.
// DefaultParams, LayoutParams, EmbeddedParams and VeskTemplateParams statements all become one
// of these; they differ in the fill-data record written, how a missing label is made up and the
// segment the records go to. A block may derive from another and inherits every field it does
// not set itself.
#include "converter/core/CdbElement.h"
#include "converter/core/ZVariant.h"

#include <memory>
#include <string>
#include <vector>

class CzParser;

class CdbEditableParams : public CdbElement {
public:
    // One field value of a block.
    struct UParamDefinition {
        std::string Name; // the field's member label; empty only for embedded fields
        ZVariant Value;
        int ArrayIndex = 0;
        unsigned char Embedded = 0;  // the value points at an EmbeddedParams block
        unsigned char LabelType = 0; // without an explicit id the value is the writing block's label
        std::string SourceFile;      // where the field is written, for errors found once all is read
        int Line = 0;
    };

    CdbEditableParams(const char* label, CDatabase* database);
    ~CdbEditableParams() override;

    // Reads a parameter statement; the block kind is the statement's command word.
    void Parse(CzParser& parser, int node);
    // Appends the block's effective fields: its own first, then those inherited that it does
    // not override (same name and array index).
    void CollectParams(std::vector<UParamDefinition*>& list);
    void Dump(CZelWriter& writer) override;

    const std::string& FillDataType() const { return m_FillDataType; }
    const std::vector<std::unique_ptr<UParamDefinition>>& Fields() const { return m_Fields; }

    // Labels of unlabelled LayoutParams count over the whole run, across files and platforms.
    static void ResetLayoutCounter() { s_LayoutCounter = 1; }

private:
    void ReadKind(CzParser& parser, int node, const std::string& kind);
    void ReadParamSpec(CzParser& parser, int spec);
    void ReadCharPointer(CzParser& parser, int spec, UParamDefinition& field);
    CdbEditableParams* FindParent() const;
    void CollectParams(std::vector<UParamDefinition*>& list, std::vector<const CdbEditableParams*>& chain);
    void DumpExtraData(CZelWriter& writer);
    void RequireEmbeddedBlock(const UParamDefinition& field);
    void DumpField(CZelWriter& writer, const UParamDefinition& field, unsigned long embeddedFlag);

    std::vector<std::unique_ptr<UParamDefinition>> m_Fields;
    std::string m_FillDataType;
    std::string m_CreateType;
    std::string m_DerivedFrom;
    std::string m_SourceFile;
    int m_Player = -1;
    unsigned char m_Template = 0;

    static int s_LayoutCounter;
};
