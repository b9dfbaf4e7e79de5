#pragma once
// The texture elements that meshes name: the image clips of a LightWave object and the
// textures of its materials. Meshes reach them only through these calls.
class CDatabase;
class CdbElement;
class CFormatSpecifier;

// The texture element labelled label, or a new one loading path later (extern, or an image
// that cannot be found: writes nothing, and the label is left to the file that has it). The path is the clip's as written; it is mapped the way script file names are,
// and a file that cannot be found is reported naming the object file that refers to it.
CdbElement* FindOrLoadTexture(CDatabase& database, const char* label, const char* path, bool externFlag,
                              const char* referrer);
// The texture's own format specifier (pixel format and render modifiers).
const CFormatSpecifier& TextureFormat(const CdbElement& texture);
// The texture's height in pixels (reads the image when it is still deferred); 0 when unknown.
int TextureHeight(CdbElement& texture);
// Whether the element is a texture.
bool IsTexture(const CdbElement* element);
