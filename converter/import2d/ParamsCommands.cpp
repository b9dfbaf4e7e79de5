// The parameter-block commands: one handler for the four block kinds, and the CSV report.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbEditableParams.h"

#include <string>

const char* CRhuParser::Params(int node)
{
    VerbosePrintf(2, "(no label until process)\n");
    CdbEditableParams* block = new CdbEditableParams("_ParamsCmdTempLabel_1234_", m_pDatabase);
    block->Parse(*this, node);
    return nullptr;
}

// The report covers the blocks read so far.
const char* CRhuParser::ParamReport(int node)
{
    const std::string fileName = GetChildText(node, "FileName", true);
    VerbosePrintf(1, "%s", fileName.c_str());
    m_pDatabase->ParamReport(fileName.c_str());
    return nullptr;
}
