#pragma once

#include "converter/core/CBaseParser.h"

#include <string>
#include <vector>

class CdbElement;
class CdbMaterial;

// The interpreter of one source file: the data commands and the per-file settings they share,
// and Run, which converts the file once per target platform into one packed data file.
class CRhuParser : public CBaseParser {
public:
    CRhuParser();

    void Run(CDatabase* database, const char* sourceFile, const char* outputFile,
             const std::vector<std::string>& platforms, bool compress);

    float m_SpriteFrameDuration = 0.2f;
    CdbElement* m_pCurrentTexture = nullptr;
    bool m_Compress = true;

    // General commands.
    const char* Axis(int node);
    const char* Binary(int node);
    const char* Diagnostic(int node);
    const char* Hack(int node);
    const char* Include(int node);
    const char* LoadZel(int node);
    const char* LodMap(int node);
    const char* Message(int node);
    const char* NoCompression(int node);
    const char* String(int node);
    const char* TranslationFile(int node);
    const char* Trigger(int node);

    // Settings of the asset commands that the default script runs on every pass.
    const char* ColorCorrect(int node);
    const char* Meshformat(int node);
    // Textures and data maps.
    const char* DataMap(int node);
    const char* ImplicitTextures(int node);
    // Meshes and their materials.
    const char* Material(int node);
    const char* Mesh(int node);
    const char* PS2Icon(int node);
    const char* Texture(int node);
    // "file(line)" of a statement, for reports made after the script was read.
    std::string PlaceOf(int node);
    // Parameter blocks: DefaultParams, EmbeddedParams, LayoutParams and VeskTemplateParams.
    const char* Params(int node);
    const char* ParamReport(int node);
    const char* Particle(int node);
    const char* Emitter(int node);
    // Skeletons and hierarchy animations.
    const char* Skeleton(int node);
    const char* SuperSkeleton(int node);
    const char* Animation(int node);
    const char* AnimMultiplier(int node);
    // Tables and cinematics.
    const char* AnimTable(int node);
    const char* EventScript(int node);
    const char* Event(int node);
    const char* RecToScript(int node);
    // Sounds, sprites, fonts and logos.
    const char* Sound(int node);
    const char* Sprite(int node);
    const char* Font(int node);
    const char* Logo(int node);
    const char* TambleMap(int node);
    const char* Map(int node);

    static const CommandRow DataCommands[];

protected:
    const char* MaterialBlock(int node, CdbMaterial*& current, unsigned long flags);
    void ExecuteCommand(int node, const CommandRow& row) override;
};

// The map import's hack switch, set by "Hack maps".
extern unsigned char g_MapHack;
