#pragma once
// One bitmap file turned into the engine's texture records: a CRendTexture in the main segment
// and, in the temporary segment, a ZelTexture header with every mip level in the texture's pixel
// format (and a CRendPalette for indexed formats). Flagged as a data map, the same element
// writes a CDataMap of raw per-pixel values instead. The file is read when first needed.
#include "converter/core/CdbElement.h"
#include "converter/import2d/CPixelFormat.h"
#include "converter/import2d/CzBitmap.h"

#include <memory>
#include <string>
#include <vector>

class CdbTexture : public CdbElement {
public:
    enum { ORDINARY = 0, INDEX_MAP = 1, COLOUR_MAP = 4 };

    // Settings the Texture, DataMap and ImplicitTextures statements leave for the textures
    // created after them. Each texture keeps the mip settings in force when it was created.
    struct Options {
        bool Mips = false;
        int MipFilter = 0;
        int ForceMipDrop = 0;
        int MipDrop = 0;
        bool MipColour = false;
        bool ImplicitOff = false;
        int PendingDataMapKind = ORDINARY;
    };
    static Options Settings;

    CdbTexture(const char* label, CDatabase* database);
    ~CdbTexture() override;

    static unsigned long TypeId;
    static CdbElement* Create(const char* label, CDatabase* database);

    // Defers reading the file until the pixels are needed.
    void Load(const char* fileName, bool dumped, bool isExtern);
    // Takes a copy of a bitmap already in memory.
    void LoadAbsolute(const CzBitmap& bitmap, const CFormatSpecifier& specifier, bool dumped);
    void GetSize(int& width, int& height);

    void Dump(CZelWriter& writer) override;
    virtual void DumpDataMap(CZelWriter& writer);
    bool Save(CZRiffFile& file, int formatVersion) override;
    bool Load(CZRiffFile& file, int elementVersion) override;
    unsigned long GetTypeId() const override { return TypeId; }
    unsigned long GetVersion() const override { return 5; }

    // The script place ("file(line)") that fatal errors of this texture name.
    void SetPlace(const std::string& place) { m_Place = place; }
    void SetAlias(const char* alias) { m_Alias = alias ? alias : ""; }
    // An image Dump uses for the mip level of exactly its size.
    void AddLevelImage(std::unique_ptr<CzBitmap> image) { m_LevelImages.push_back(std::move(image)); }

    bool IsExtern() const { return m_Extern != 0; }
    bool IsShared() const { return m_Shared != 0; }
    bool IsDumped() const { return m_Dumped != 0; }
    int GetDataMapKind() const { return m_DataMapKind; }
    const char* GetSharedLabel() const { return m_SharedLabel.c_str(); }
    const char* GetDeferredName() const { return m_FileName.c_str(); }
    const CFormatSpecifier& GetSpecifier() const { return m_Specifier; }
    CzBitmap& GetBitmap() { return m_Bitmap; }
    unsigned long GetUniqueifier() const { return m_Uniqueifier; }

    // The mip chain of a size: each level halves both sides until one would fall below 4.
    static int LevelCount(int width, int height);
    // The colour a level is filled with when mip colouring is on.
    static CPixel MipColour(int level);
    // Pixels of a 16- or 32-bit level moved to the interleaved order of the Xbox target.
    static void MortonOrder(unsigned char* pixels, int width, int height, int bytesPerPixel);

protected:
    // Reads a deferred file; its failures name the script place and the file.
    void CompleteLoad();
    [[noreturn]] void Fatal(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    unsigned char m_Dumped = 0;
    unsigned char m_Extern = 0;
    unsigned char m_Shared = 0;
    int m_DataMapKind = ORDINARY;
    std::string m_SharedLabel;
    std::string m_Alias;
    std::string m_FileName;
    std::vector<std::unique_ptr<CzBitmap>> m_LevelImages;
    CzBitmap m_Bitmap;
    CFormatSpecifier m_Specifier;
    // Stamped by the texture-sharing tool: the maps that share this texture carry the same.
    unsigned long m_Uniqueifier = 0;
    Options m_Options = Settings;

private:
    void WriteLevels(CZelWriter& writer, int first, int last);
    void WritePalette(CZelWriter& writer, CzBitmap& level);

    std::string m_Place;
    // How many textures repeating this one were renamed after it.
    int m_ShareCount = 0;
    bool m_Corrected = false;
};
