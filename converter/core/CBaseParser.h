#pragma once

#include "converter/core/CzParser.h"

#include <string>
#include <vector>

class CDatabase;

// The script interpreter's preprocessor and settings commands: conditional blocks over labels
// that only the driver defines, Gamma, PixelFormat and TypeInfo. Statements inside an inactive
// block are skipped unless their command runs there (the preprocessor commands themselves).
class CBaseParser : public CzParser {
public:
    CBaseParser();

    void SetDatabase(CDatabase* database) { m_pDatabase = database; }

    // Records a file the script names as a dependency; true means the command is to do nothing.
    bool CheckTargetFile(const char* fileName);

    void DefineLabel(const std::string& label) { m_Labels.push_back(label); }
    void UndefineLabel(const std::string& label);
    bool IsLabelDefined(const char* label) const;
    const std::vector<std::string>& DefinedLabels() const { return m_Labels; }

    const char* Gamma(int node);
    const char* Ifdef(int node);
    const char* Elif(int node);
    const char* Else(int node);
    const char* Endif(int node);
    const char* PixelFormat(int node);
    const char* TypeInfo(int node);

protected:
    void ExecuteCommand(int node, const CommandRow& row) override;

    CDatabase* m_pDatabase = nullptr;

private:
    struct Conditional {
        unsigned char active;
        unsigned char pending;
    };

    bool LabelOfStatementDefined(int node);

    unsigned char m_Active = 1;
    unsigned char m_Pending = 0;
    std::vector<Conditional> m_Conditionals;
    std::vector<std::string> m_Labels;
};
