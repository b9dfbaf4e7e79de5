#pragma once
// The one element database of a conversion: every element in creation order (the order
// they are written in), an index by label, and the settings several commands share.
#include "converter/core/CdbElement.h"
#include "converter/core/ZSearchArray.h"
#include "converter/import2d/CPixelFormat.h"
#include "converter/import3d/CAxisFormat.h"

#include <string>
#include <vector>

class CZRiffFile;
class CZelWriter;
class CzParser;

class CDatabase : public ZSearchPtrArray<CdbElement> {
public:
    CDatabase();
    ~CDatabase();

    static CDatabase* pThe;

    CdbElement* FindElement(const char* label) const;

    // Writes every element in order; with destroy the database is emptied afterwards.
    void Dump(CZelWriter& writer, bool destroy);
    void DumpToFile(const char* fileName, bool destroy);
    void Diagnostic();

    bool AddDependency(const char* fileName);
    void WriteDependencyReport(const char* path);
    void SetDependencyReport(bool on) { DependencyReport = on; }
    bool IsDependencyReport() const { return DependencyReport; }

    // Writes a CSV table of the parameter blocks read so far: one row per block, one column
    // per field name.
    void ParamReport(const char* fileName);

    // Moves element to stand just before another, so that it is written first.
    void MoveElement(CdbElement* element, CdbElement* before);
    void RemoveAll();

    // Both return false: failures of the chunk file are the caller's to notice.
    bool Save(CZRiffFile& file, int formatVersion);
    bool LoadElements(CZRiffFile& file, int formatVersion);

    // Formats: one keyword applied to a specifier (fatal when unknown); the modifiers of a
    // statement onto the current specifier, from the defaults when reset; the PixelFormat
    // command's body (null, or the reason it stopped); colour correction of all four formats.
    void UpdateFormat(CFormatSpecifier& specifier, const char* keyword);
    void ParseModifiers(CzParser& parser, int statement, bool reset);
    const char* SetPixelFormat(CzParser& parser, int statement);
    void SetGamma(float gamma);
    void SetHSVAdd(float h, float s, float v);
    void SetHSVMultiply(float h, float s, float v);

    CAxisFormat AxisFormat;
    CPixelFormat PixelFormats[3]; // NOALPHA, ALPHA1, ALPHA
    CFormatSpecifier CurrentFormat;
    unsigned long TargetMachine = 0;

private:
    std::vector<std::string> InputFiles;
    bool DependencyReport = false;
};
