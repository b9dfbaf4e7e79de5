// Until the asset import is part of the converter, its commands stop the conversion with a
// message naming the command and the place, rather than silently writing incomplete data.
#include "converter/core/CRhuParser.h"

#include <string>

const char* CRhuParser::AssetCommandUnavailable(int node)
{
    const std::string command = NodeName(node);
    Error(node, "The %s command is not available in this converter yet\n", command.c_str());
}
