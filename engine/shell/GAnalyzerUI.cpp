#include "engine/shell/GAnalyzerUI.h"

#include "core/names/CCRC32.h"
#include "engine/devices/GInputDevice.h"
#include "engine/render/CRendResource.h"
#include "engine/zel/CZelFixupManager.h"

IMPLEMENT_GOBJECT(GAnalyzerUI, 0xA0800100)

CAnalyzerController* CAnalyzerController::pThe;

CAnalyzerController::CAnalyzerController() : Collecting(false) { pThe = this; }

CAnalyzerController::~CAnalyzerController()
{
    if (pThe == this)
        pThe = nullptr;
}

bool CAnalyzerController::Toggle()
{
    Collecting = !Collecting;
    return Collecting;
}

bool AnalyzerIsCollecting() { return CAnalyzerController::pThe && CAnalyzerController::pThe->IsCollecting(); }

void AnalyzerToggle()
{
    if (CAnalyzerController::pThe)
        CAnalyzerController::pThe->Toggle();
}

// The note stands at (10, 10) of the overlay viewport and is drawn only while collecting.
GAnalyzerUI::GAnalyzerUI()
{
    if (EditableEvaluation)
        return;
    if (GInputDevice::pThe)
        GInputDevice::pThe->Register(GetHandle(), CCRC32::GetCRC("ToggleAnalyzer"), 255,
                                     static_cast<GInputDevice::InputHandler>(&GAnalyzerUI::ToggleAnalyzer));
    const unsigned long fontKey = CCRC32::GetCRC("TheFont");
    CRendResource* font = static_cast<CRendResource*>(CZelFixupManager::GetAddress(fontKey));
    if (!font)
        CZelFixupManager::SetLabel(fontKey, "TheFont");
    Render.Attach(font, 0);
    Render.AttachText("Data collection on\n");
    Position = CVector(10, 10, 0);
    Render.Attach(&Position, nullptr, nullptr, nullptr);
    Render.SetSelectable(HGOBJECT(0));
    Render.SetViewport(7);
    Render.Unlink();
}

bool GAnalyzerUI::Process()
{
    if (CAnalyzerController::pThe)
        Render.SetLink(CAnalyzerController::pThe->IsCollecting());
    return false;
}
