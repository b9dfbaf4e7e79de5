// Until the asset import is part of the converter, its commands stop the conversion with a
// message naming the command and the place, rather than silently writing incomplete data. The
// settings forms that the default script runs on every pass are accepted: they only adjust
// options of textures, and no texture can be made yet.
#include "converter/core/CRhuParser.h"

#include <string>

const char* CRhuParser::AssetCommandUnavailable(int node)
{
    const std::string command = NodeName(node);
    Error(node, "The %s command is not available in this converter yet\n", command.c_str());
}

const char* CRhuParser::ImplicitTextures(int) { return nullptr; }

const char* CRhuParser::Texture(int node)
{
    if (FindChild(node, "FileName", false) || FindChild(node, "Label", false))
        return AssetCommandUnavailable(node);
    return nullptr;
}
