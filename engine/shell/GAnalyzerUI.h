#pragma once
// The analyzer's on-screen note: "Data collection on" shows while the analyzer controller
// collects, and an input trigger switches collecting on and off.
#include "engine/object/GPhysical.h"

class CInputData;

// The one analyzer controller; its operation flips the collecting flag.
class CAnalyzerController {
public:
    CAnalyzerController();
    virtual ~CAnalyzerController();
    // Flips collecting and returns the new value.
    virtual bool Toggle();
    bool IsCollecting() const { return Collecting; }

    static CAnalyzerController* pThe;

private:
    bool Collecting;
};

// Whether the controller collects (false without one), and its toggle (nothing without one).
bool AnalyzerIsCollecting();
void AnalyzerToggle();

class GAnalyzerUI : public GPhysical {
    DECLARE_GOBJECT(GAnalyzerUI, GPhysical)

    GAnalyzerUI();
    bool Process() override;
    void ToggleAnalyzer(CInputData*) { AnalyzerToggle(); }
};
