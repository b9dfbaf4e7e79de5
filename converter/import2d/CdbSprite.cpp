#include "converter/import2d/CdbSprite.h"

#include "converter/core/CDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/import2d/CdbSpriteTexture.h"
#include "converter/import3d/CdbAnimation.h"
#include "converter/import3d/RecordOut.h"
#include "core/output/ZOutput.h"
#include "engine/include/ZelFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

enum { Ps2Target = 1, PcxTarget = 3 };

} // namespace

unsigned long CdbSprite::PageWord = 0;
unsigned long CdbSprite::PageCount = 0;

CdbSprite::CdbSprite(const char* label, CDatabase* database) : CdbElement(label, database) {}

void CdbSprite::Fatal(const char* format, ...) const
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    vbail("%s%s%s%s%s\n", Place.c_str(), Place.empty() ? "" : " : ", CurrentFile.c_str(),
          CurrentFile.empty() ? "" : " : ", text);
}

void CdbSprite::CreateAnimation(bool loop)
{
    Animation = new CdbSimpleAnimation((std::string(GetLabel()) + "_Animation").c_str(), GetDatabase());
    Animation->Loop = loop ? 1 : 0;
}

void CdbSprite::AddFrame(const char* fileName, int frameNumber, float startTime, float duration)
{
    CurrentFile = fileName;
    if (static_cast<size_t>(frameNumber) != Pieces.size())
        Fatal("Specified sprite frame %d doesn't match next\navaiable frame # (%d) in sprite %s", frameNumber,
              static_cast<int>(Pieces.size()), GetLabel());
    if (Animation)
        Animation->Keys.push_back({startTime, duration, frameNumber});
    Specifier = GetDatabase()->CurrentFormat;
    CzBitmap image;
    image.Load(fileName);
    PullControlPoints(image, true);

    const int width = image.GetWidth(), height = image.GetHeight();
    if (width <= MaxPieceSide && height <= MaxPieceSide) {
        AddPiece(image, 0, 0, false);
        return;
    }
    // Tiles row by row, each but the last marked as continued by the next piece.
    for (int y = 0; y < height; y += MaxPieceSide)
        for (int x = 0; x < width; x += MaxPieceSide) {
            CzBitmap tile;
            image.CopyRegion(tile, x, y, std::min(MaxPieceSide, width - x), std::min(MaxPieceSide, height - y));
            const bool last = y + MaxPieceSide >= height && x + MaxPieceSide >= width;
            AddPiece(tile, x, y, !last);
        }
}

void CdbSprite::AddPiece(CzBitmap& piece, int offsetX, int offsetY, bool renderNext)
{
    float coordinates[4] = {};
    CdbSpriteTexture* page = nullptr;
    CDatabase* database = GetDatabase();
    for (int i = 0; i < database->GetSize() && !page; ++i) {
        auto* candidate = dynamic_cast<CdbSpriteTexture*>((*database)[i]);
        if (candidate && candidate->AddImage(piece, coordinates, Specifier))
            page = candidate;
    }
    if (!page) {
        char label[64];
        snprintf(label, sizeof label, "_SpriteTexture_%08lX_%08lX", PageWord, PageCount++);
        page = new CdbSpriteTexture(label, database);
        if (!page->AddImage(piece, coordinates, Specifier))
            Fatal("Assumed we could ALWAYS add a sprite element to a blank texture,\nand it didn't happen.\nThis is "
                  "an internal tool error.");
    }
    database->MoveElement(page, this);

    const ControlPoint& hot = ControlPoints.front();
    SpriteFramePiece entry;
    entry.Page = page->GetLabel();
    entry.RenderNext = renderNext ? 1 : 0;
    entry.Left = -static_cast<float>(hot.x - offsetX);
    entry.Top = -static_cast<float>(hot.y - offsetY);
    entry.Right = entry.Left + piece.GetWidth();
    entry.Bottom = entry.Top + piece.GetHeight();
    entry.uL = coordinates[0];
    entry.vT = coordinates[1];
    entry.uR = coordinates[2];
    entry.vB = coordinates[3];
    VerbosePrintf(3, "  Allocated to texture %s\n  TexCoords = %g %g %g %g\n  LTRB = %g %g %g %g\n", entry.Page.c_str(),
                  entry.uL, entry.vT, entry.uR, entry.vB, entry.Left, entry.Top, entry.Right, entry.Bottom);
    Pieces.push_back(entry);
}

void CdbSprite::WriteFrames(CZelWriter& writer)
{
    const unsigned long target = GetDatabase()->TargetMachine;
    if (target > PcxTarget)
        Fatal("Unknown Target Machine type");
    if (target == Ps2Target) {
        WritePS2Frames(writer);
        return;
    }
    const bool bilinear = CFormatSpecifier::Value(Specifier.Filter);
    const std::string label = GetLabel();
    const float b = bilinear ? 0.0f : 7.0f;
    for (size_t i = 0; i < Pieces.size(); ++i) {
        const SpriteFramePiece& p = Pieces[i];
        char symbol[512];
        snprintf(symbol, sizeof symbol, "%s_Frames_%03d", label.c_str(), static_cast<int>(i));
        RecordOut frame(writer, "SpriteFrame", symbol, false);
        frame.Unsigned("Flags", p.RenderNext ? Constant("SPRITE_RENDER_NEXT") : 0);
        frame.Signed("TextureIndex", p.TextureIndex);
        WriteEdges(frame, p);
        frame.Float("LeftCoord", p.uL * 4096 + b);
        frame.Float("RightCoord", p.uR * 4096 + b);
        frame.Float("TopCoord", p.vT * 4096 + b);
        frame.Float("BottomCoord", p.vB * 4096 + b);
    }
}

void CdbSprite::WriteEdges(RecordOut& frame, const SpriteFramePiece& p) const
{
    frame.Float("Left", p.Left * XScale * 16);
    frame.Float("Right", p.Right * XScale * 16);
    frame.Float("Top", p.Top * YScale * 16);
    frame.Float("Bottom", p.Bottom * YScale * 16);
}

// The console takes all frames in one packet: a header, the frames in quadwords, and the
// texture number of each frame in a table of its own behind them.
void CdbSprite::WritePS2Frames(CZelWriter& writer)
{
    const std::string label = GetLabel();
    const std::string indexTable = label + "_TextureIndicies";
    const unsigned long pieces = static_cast<unsigned long>(Pieces.size());
    {
        RecordOut header(writer, "PS2_DMA_Header", (label + "_Frames_000").c_str(), false, 16);
        header.Unsigned("DMATag", (TypeSize("PS2SpriteFrame") * pieces) >> 4 | Constant("PS2_DMA_TAG_SPRITE_FRAME"));
        header.Pointer("pSpriteFrameIndex", indexTable);
        header.Unsigned("VIFTag", Constant("PS2_VIF_TAG_RHU_NOP"));
        header.Unsigned("Data", (pieces * 2) << Constant("PS2_VIF_NUM_SHIFT") | Constant("PS2_VIF_TAG_SPRITE_FRAME"));
    }
    const double b = CFormatSpecifier::Value(Specifier.Filter) ? 0.0 : 8.0;
    auto coordinate = [b](float value) { return static_cast<unsigned long>(b + std::floor(4096.0 * value)); };
    std::vector<unsigned short> pages;
    for (const SpriteFramePiece& p : Pieces) {
        RecordOut frame(writer, "PS2SpriteFrame", nullptr, false, 16);
        WriteEdges(frame, p);
        unsigned long left = coordinate(p.uL);
        if (p.RenderNext)
            left = (left & ~3ul) | Constant("SPRITE_RENDER_NEXT");
        frame.Unsigned("LeftCoord", left, "unsigned short");
        frame.Unsigned("RightCoord", coordinate(p.uR), "unsigned short");
        frame.Unsigned("TopCoord", coordinate(p.vT), "unsigned short");
        frame.Unsigned("BottomCoord", coordinate(p.vB), "unsigned short");
        pages.push_back(static_cast<unsigned short>(p.TextureIndex));
    }
    writer.DefineSymbol(indexTable.c_str(), nullptr, false, 0);
    writer.WriteData(pages.data(), 2, pieces, "texture numbers");
}

RecordOut CdbSprite::WriteSpriteBatch(CZelWriter& writer, const char* typeName)
{
    VerbosePrintf(2, "\nCdbSprite::Dump() : %s\n", GetLabel());
    // A sprite without frames would point at frames that are never written.
    if (Pieces.empty())
        Fatal("Sprite %s has no frames", GetLabel());
    std::vector<std::string> pages;
    for (SpriteFramePiece& piece : Pieces) {
        auto found = std::find(pages.begin(), pages.end(), piece.Page);
        piece.TextureIndex = static_cast<long>(found - pages.begin());
        if (found == pages.end())
            pages.push_back(piece.Page);
    }
    WriteFrames(writer);
    const std::string label = GetLabel();
    writer.DefineSymbol((label + "_Textures").c_str(), nullptr, false, 0);
    for (const std::string& page : pages)
        writer.AddPointerFixup(page.c_str(), "sprite texture page");

    const CFormatSpecifier& f = Specifier;
    unsigned long flags = 0;
    if (CFormatSpecifier::Value(f.ZBuffer))
        flags |= Constant("SPRITE_BATCH_ZBUFFER");
    if (CFormatSpecifier::Value(f.ZWrite))
        flags |= Constant("SPRITE_BATCH_ZWRITES");
    if (f.IsAlpha1())
        flags |= Constant("SPRITE_BATCH_ALPHA_CMP");
    else if (f.IsAlpha())
        flags |= Constant("SPRITE_BATCH_ALPHA");
    if (CFormatSpecifier::Value(f.Additive))
        flags |= Constant("SPRITE_BATCH_ADDITIVE");
    if (CFormatSpecifier::Value(f.Filter))
        flags |= Constant("SPRITE_BATCH_BILINEAR");
    if (CFormatSpecifier::Value(f.Screen))
        flags |= Constant("SPRITE_BATCH_SCREEN_SPRITE");
    else if (CFormatSpecifier::Value(f.ViewScale))
        flags |= Constant("SPRITE_BATCH_SCALE_BY_VIEW");
    if (CFormatSpecifier::Value(f.SortAlpha))
        flags |= Constant("SPRITE_SORT_ALPHA");
    if (CFormatSpecifier::Value(f.SortSolid))
        flags |= Constant("SPRITE_SORT_SOLID");

    RecordOut record(writer, typeName, GetLabel(), true);
    record.Unsigned("SpriteData.Flags", flags);
    record.Signed("SpriteData.NumFrames", static_cast<long>(Pieces.size()));
    record.Signed("SpriteData.NumTextures", static_cast<long>(pages.size()));
    record.Pointer("SpriteData.pTextures", label + "_Textures");
    record.Pointer("SpriteData.pFrames", label + "_Frames_000");
    return record;
}

void CdbSprite::Dump(CZelWriter& writer)
{
    RecordOut record = WriteSpriteBatch(writer, "CSprite");
    record.Signed("BoxFrameNo", -1);
    record.Signed("NumAttachPoints", static_cast<long>(ControlPoints.size()) - 1);
    record.Pointer("pAnimation", Animation ? Animation->GetLabel() : "");
    for (size_t i = 1; i < ControlPoints.size(); ++i) {
        RecordOut point(writer, "AttachPoint", nullptr, false);
        point.Signed("X", ControlPoints[i].x);
        point.Signed("Y", ControlPoints[i].y);
    }
}

void CdbLogo::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "\nCZelLogo::Dump() : %s\n", GetLabel());
    WriteSpriteBatch(writer, "CLogo");
}
