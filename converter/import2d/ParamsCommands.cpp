// The parameter-block commands (one handler for the four block kinds, and the CSV report), and
// the particle and emitter definitions.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbEditableParams.h"
#include "converter/import2d/CdbParticleDef.h"

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

const char* CRhuParser::Particle(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const char* label = GetChildText(node, "Label", false);
    VerbosePrintf(2, "Particledef %s\n", label ? label : "");
    (new CdbParticleDef(label ? label : "", m_pDatabase))->Parse(*this, node);
    return nullptr;
}

const char* CRhuParser::Emitter(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const char* label = GetChildText(node, "Label", false);
    VerbosePrintf(2, "Emitterdef %s\n", label ? label : "");
    (new CdbEmitterDef(label ? label : "", m_pDatabase))->Parse(*this, node);
    return nullptr;
}
