// The registrations and editable lists of the scene effects: names, flags, types, sizes, flag
// bytes and name keys are the contract with the converter's creation data.
#include <gtest/gtest.h>

#include "SceneEffectsSupport.h"
#include "engine/effects/GDebrisField.h"
#include "engine/effects/GDecalField.h"
#include "engine/effects/GEmitterField.h"
#include "engine/effects/GEnviroSwarm.h"
#include "engine/effects/GKeyedFader.h"
#include "engine/effects/GKeyedFlare.h"
#include "engine/effects/GKeyedMaterial.h"
#include "engine/effects/GObjectField.h"
#include "engine/effects/GSceneFader.h"
#include "engine/effects/GScreenDecor.h"
#include "engine/effects/GTrailGlyph.h"
#include "engine/effects/GWakeTracker.h"
#include "engine/effects/GWind.h"

TEST(SceneEffectClasses, RegistrationsAndEditableListsMatchTheGolden)
{
    const DWORD classes[] = {GWind::ClassId,        GSceneFader::ClassId,    GKeyedFader::ClassId,
                             GKeyedFlare::ClassId,  GKeyedMaterial::ClassId, GScreenDecor::ClassId,
                             GTrailGlyph::ClassId,  GDebrisField::ClassId,   GDecalField::ClassId,
                             GObjectField::ClassId, GEmitterField::ClassId,  GWakeTracker::ClassId,
                             GEnviroSwarm::ClassId};
    std::string text;
    for (DWORD id : classes)
        text += DescribeClass(id);
    ExpectSceneGolden("classes.txt", text);
}
