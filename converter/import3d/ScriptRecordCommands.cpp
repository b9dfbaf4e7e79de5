// The script commands of tables and cinematics: AnimTable, Array, EventScript, Event and
// RecToScript.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/CdbAnimTable.h"
#include "converter/import3d/CdbEventScript.h"

#include <string>

const char* CRhuParser::AnimTable(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const std::string label = GetChildText(node, "Label", true);
    VerbosePrintf(1, "%s", label.c_str());
    VerbosePrintf(2, "\n");
    (new CdbAnimTable(label.c_str(), m_pDatabase))->Parse(*this, node);
    return nullptr;
}

const char* CRhuParser::EventScript(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const std::string label = GetChildText(node, "Label", true);
    VerbosePrintf(1, "%s", label.c_str());
    (new CdbEventScript(label.c_str(), m_pDatabase))->Parse(*this, node);
    return nullptr;
}

const char* CRhuParser::Event(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const std::string label = GetChildText(node, "Label", true);
    VerbosePrintf(1, "%s", label.c_str());
    (new CdbEvent(label.c_str(), m_pDatabase))->Parse(*this, node);
    return nullptr;
}

const char* CRhuParser::RecToScript(int node)
{
    if (m_pDatabase->IsDependencyReport())
        return nullptr;
    const std::string recording = GetChildText(node, "FileName", true);
    const std::string output = GetChildText(node, "FileName2", true);
    VerbosePrintf(1, "%s %s", recording.c_str(), output.c_str());
    VerbosePrintf(2, "\n");
    CRecordingConverter().Convert(recording.c_str(), output.c_str());
    return nullptr;
}
