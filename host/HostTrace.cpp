#include "HostTrace.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/render/CRender.h"
#include "engine/render/CzFont.h"
#include "engine/shell/CShell.h"
#include "engine/zel/CZelFixupManager.h"

namespace {

FILE* TraceFile;
const short kOverlayViewport = 7;

// A built-in resource by its published name; packed data's by its symbol key.
std::string ResourceName(CRendResource* resource)
{
    if (resource == nullptr)
        return "none";
    if (const char* label = CZelFixupManager::GetLabel(resource))
        return label;
    char key[16];
    std::snprintf(key, sizeof key, "%08X", unsigned(CZelFixupManager::GetKey(resource)));
    return key;
}

// Control bytes (position codes, line breaks) written visibly.
std::string Escaped(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char buffer[8];
        if (*p == '\n')
            out += "\\n";
        else if (*p == '"' || *p == '\\')
            out += std::string("\\") + char(*p);
        else if (*p < 32 || *p > 126) {
            std::snprintf(buffer, sizeof buffer, "\\x%02X", *p);
            out += buffer;
        } else
            out += char(*p);
    }
    return out;
}

std::string Describe(const CRender& render)
{
    char line[256];
    const CVector* at = render.GetPos();
    std::snprintf(line, sizeof line, "  %s sort %04X pos %.1f,%.1f", ResourceName(render.GetResource()).c_str(),
                  unsigned(render.GetMergedPriority() & 0xFFFF), at ? at->x : 0.0f, at ? at->y : 0.0f);
    std::string out = line;
    if (const CVector4* c = render.GetColour()) {
        std::snprintf(line, sizeof line, " colour %.2f,%.2f,%.2f,%.2f", c->x, c->y, c->z, c->w);
        out += line;
    }
    std::snprintf(line, sizeof line, " viewport %d", render.GetViewport());
    out += line;
    if (const CRendFontWorkspace* text = dynamic_cast<const CRendFontWorkspace*>(render.GetWorkspace()))
        out += " text \"" + Escaped(text->GetText()) + "\"";
    return out;
}

} // namespace

bool OpenFrameTrace(const char* path)
{
    TraceFile = std::fopen(path, "w");
    return TraceFile != nullptr;
}

// Sorted by the order they draw in (sort key), then top to bottom and left to right, so the
// trace does not depend on the order the instances were linked in.
void WriteFrameTrace(int frame)
{
    if (TraceFile == nullptr)
        return;
    std::vector<const CRender*> shown;
    for (const CRender* r = CRender::FirstRender.GetListNext(); r; r = r->GetListNext())
        if (r->GetViewport() == kOverlayViewport)
            shown.push_back(r);
    std::stable_sort(shown.begin(), shown.end(), [](const CRender* a, const CRender* b) {
        const unsigned ka = a->GetMergedPriority() & 0xFFFF, kb = b->GetMergedPriority() & 0xFFFF;
        if (ka != kb)
            return ka < kb;
        const CVector* pa = a->GetPos();
        const CVector* pb = b->GetPos();
        if (!pa || !pb)
            return pb != nullptr;
        return pa->y != pb->y ? pa->y < pb->y : pa->x < pb->x;
    });
    const char* level = CShell::GetCurrentLevel();
    std::fprintf(TraceFile, "frame %d level %s\n", frame, level && level[0] ? level : "-");
    for (const CRender* r : shown)
        std::fprintf(TraceFile, "%s\n", Describe(*r).c_str());
}

void CloseFrameTrace()
{
    if (TraceFile)
        std::fclose(TraceFile);
    TraceFile = nullptr;
}
