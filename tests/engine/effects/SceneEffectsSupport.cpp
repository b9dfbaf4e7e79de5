#include "SceneEffectsSupport.h"

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

void ExpectSceneGolden(const std::string& name, const std::string& text)
{
    const std::string path = std::string(MG_TESTS_DIR) + "/engine/effects/golden/" + name;
    if (getenv("MG_WRITE_GOLDEN"))
        std::ofstream(path) << text;
    std::ifstream in(path);
    std::stringstream stored;
    stored << in.rdbuf();
    EXPECT_EQ(text, stored.str()) << name;
}

std::string DescribeClass(DWORD classId)
{
    ClassTypeEntry* entry = GObject::FindClassEntry(classId);
    if (entry == nullptr)
        return "unregistered\n";
    char line[256];
    snprintf(line, sizeof line, "%s %08lX\n", entry->Name, static_cast<unsigned long>(entry->Flags));
    std::string text = line;
    for (EditableInfo* info = entry->pEditable; info != nullptr && info->Crc != 0; ++info) {
        snprintf(line, sizeof line, "  %s %s %u %02X %08lX\n", info->Name, info->TypeName,
                 static_cast<unsigned>(info->Size), static_cast<unsigned>(info->Flags),
                 static_cast<unsigned long>(info->Crc));
        text += line;
    }
    return text;
}

std::string Fixed(float value, int digits)
{
    char text[64];
    snprintf(text, sizeof text, "%.*f", digits, static_cast<double>(value));
    // A negative zero prints as "-0.0000"; it means the same as zero here.
    if (text[0] == '-' && strtod(text, nullptr) == 0.0)
        return text + 1;
    return text;
}
