// The Map command: a terrain map element read from a map file of the map-authoring tool.
#include <cstdlib>
#include <string>

#include "converter/core/CRhuParser.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbBackground.h"

const char* CRhuParser::Map(int node)
{
    const std::string label = GetChildText(node, "Label", true);
    const std::string fileName = GetChildText(node, "FileName", true);
    const float scale = static_cast<float>(std::atof(GetChildText(node, "ScaleFactor", true)));
    if (CheckTargetFile(fileName.c_str()))
        return nullptr;
    VerbosePrintf(1, "%s %s scale = %g", label.c_str(), fileName.c_str(), static_cast<double>(scale));
    VerbosePrintf(2, "\n");
    CdbBackground* map = new CdbBackground(label.c_str(), m_pDatabase);
    map->ImportMap(fileName.c_str(), scale);
    return nullptr;
}
