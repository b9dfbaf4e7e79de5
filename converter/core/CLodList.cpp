#include "converter/core/CLodList.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/CzParser.h"
#include "qvrn/ParserInterface.h"

#include <cstdlib>
#include <string>

CLodList g_LodList;

void CLodList::Parse(CzParser& parser, int node)
{
    for (float& distance : m_Distances)
        distance = 0.0f;
    ParserInterface* runtime = parser.Parser();
    for (int child = runtime->GetChildNode(node, 0); child; child = runtime->GetNextSibling(child)) {
        if (std::string(parser.NodeName(child)) != "LodValue")
            parser.Error(child, "Cannot deterimne what to do with this... I surely didn't expect it");
        const long lod = strtol(parser.GetChildText(child, "Number", true), nullptr, 10);
        const float distance = static_cast<float>(atof(parser.GetChildText(child, "Value", true)));
        if (lod < 0 || lod >= MaxLods)
            parser.Error(child, "Index beyond max lods!");
        m_Distances[lod] = distance;
        VerbosePrintf(3, "LodList[%d] = %f\n", static_cast<int>(lod), distance);
    }
}
