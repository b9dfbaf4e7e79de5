#include "converter/import2d/CdbSound.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/import3d/RecordOut.h"

float CdbSound::BaseFade = 2.0f;

void CdbSound::Dump(CZelWriter& writer)
{
    VerbosePrintf(3, "  CdbSound::Dump() : %s\n", GetLabel());
    RecordOut record(writer, "CSoundDefinition", GetLabel(), false);
    record.Id("Id", GetLabel());
    record.Unsigned("Flags", Flags);
    record.Signed("SampleCount", static_cast<long>(SampleLabels.size()));
    record.Float("Priority", Priority);
    record.Float("FadeMultiplier", 1.0f / (BaseFade * Fade));
    record.Float("Volume", Volume);
    for (const std::string& sample : SampleLabels)
        record.Pointer("pSampleData", sample);
}
