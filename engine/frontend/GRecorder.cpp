#include "engine/frontend/GRecorder.h"

GRecorder::Listener GRecorder::pListener;

void GRecorder::Record(CMessage* message)
{
    if (pListener != nullptr)
        pListener(message);
}
