// Until the texture element is part of the converter, an image clip becomes a stand-in element
// under the clip's label that remembers the file and the format and writes no record: the
// materials point at the label, which the texture element will define.
#include "converter/import3d/MeshTextures.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CdbElement.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ScriptPath.h"
#include "converter/import2d/CzBitmap.h"

#include <sys/stat.h>

#include <string>

namespace {

class CdbClipTexture : public CdbElement {
public:
    CdbClipTexture(const char* label, CDatabase* database) : CdbElement(label, database) {}

    std::string Path;
    CFormatSpecifier Format;
    bool Extern = false;
    int Height = -1;
};

} // namespace

CdbElement* FindOrLoadTexture(CDatabase& database, const char* label, const char* path, bool externFlag,
                              const char* referrer)
{
    if (CdbElement* found = database.FindElement(label))
        return found;
    std::string mapped = path;
    if (!MapTargetDriveInPlace(&mapped[0]))
        vbail("Cannot determine L:ness or P:ness of target file: %s\nFile not found?", path);
    database.AddDependency(mapped.c_str());
    VerbosePrintf(2, "\tCdbTexture::Load(%s)\n", mapped.c_str());
    CdbClipTexture* texture = new CdbClipTexture(label, &database);
    texture->Path = ScriptPath(mapped.c_str());
    texture->Format = database.CurrentFormat;
    texture->Extern = externFlag;
    struct stat info;
    if (stat(texture->Path.c_str(), &info) != 0)
        VerbosePrintf(0, "warning: %s: image clip %s not found (looked for %s)\n", referrer, path,
                      texture->Path.c_str());
    return texture;
}

const CFormatSpecifier& TextureFormat(const CdbElement& texture)
{
    return static_cast<const CdbClipTexture&>(texture).Format;
}

int TextureHeight(CdbElement& element)
{
    CdbClipTexture& texture = static_cast<CdbClipTexture&>(element);
    if (texture.Height < 0) {
        struct stat info;
        texture.Height = 0;
        if (stat(texture.Path.c_str(), &info) == 0) {
            CzBitmap bitmap;
            if (bitmap.Load(texture.Path.c_str()) == 0)
                texture.Height = bitmap.GetHeight();
        }
    }
    return texture.Height;
}

bool IsTexture(const CdbElement* element) { return dynamic_cast<const CdbClipTexture*>(element) != nullptr; }
