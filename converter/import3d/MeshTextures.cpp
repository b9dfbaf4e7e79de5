// The image clips of a LightWave object are the converter's own texture elements: the texture
// writes its records, and the materials of the mesh point at them by label. A Texture statement
// of the same label made before the mesh is the texture the mesh uses.
#include "converter/import3d/MeshTextures.h"

#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include "converter/import2d/CdbTexture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The longest file name a texture keeps, with its terminator.
const size_t MaxFileName = 260;

bool IsFile(const char* name)
{
    struct stat info;
    return stat(ScriptPath(name).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

CdbElement* FindOrLoadTexture(CDatabase& database, const char* label, const char* path, bool externFlag,
                              const char* referrer)
{
    if (CdbElement* found = database.FindElement(label)) {
        // Another kind of element under the clip's label would be written where the materials
        // expect a texture.
        if (!IsTexture(found))
            vbail("%s: image clip %s is labelled %s, which already names an element that is not a texture", referrer,
                  path, label);
        return found;
    }
    std::vector<char> mapped(path, path + strlen(path) + 1);
    mapped.resize(std::max<size_t>(mapped.size(), MaxFileName));
    if (!MapTargetDriveInPlace(mapped.data()))
        vbail("%s: Cannot determine L:ness or P:ness of target file: %s\nFile not found?", referrer, path);
    // A missing image is reported and the conversion goes on: the texture is then left to the
    // file that holds it (as an extern texture is), and the materials still point at its label.
    const bool missing = !IsFile(mapped.data());
    if (missing)
        VerbosePrintf(0, "warning: %s: image clip %s not found (looked for %s)\n", referrer, path,
                      ScriptPath(mapped.data()).c_str());
    CdbTexture* texture = new CdbTexture(label, &database);
    texture->SetPlace(referrer);
    texture->Load(path, false, externFlag || missing);
    return texture;
}

const CFormatSpecifier& TextureFormat(const CdbElement& texture)
{
    return static_cast<const CdbTexture&>(texture).GetSpecifier();
}

int TextureHeight(CdbElement& element)
{
    CdbTexture& texture = static_cast<CdbTexture&>(element);
    // An extern texture whose image is not here is known by its label only.
    if (texture.IsExtern() && *texture.GetDeferredName() && !IsFile(texture.GetDeferredName()))
        return 0;
    int width = 0, height = 0;
    texture.GetSize(width, height);
    return height;
}

bool IsTexture(const CdbElement* element) { return dynamic_cast<const CdbTexture*>(element) != nullptr; }
