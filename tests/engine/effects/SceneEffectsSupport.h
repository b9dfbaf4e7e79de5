#pragma once
// Shared pieces of the scene-effect tests: goldens under golden/ and a dump of a class's
// registration and editable list, the contract with the converter's creation data.
#include <string>

#include "ObjectTestSupport.h"

// Compares text with golden/<name>; with MG_WRITE_GOLDEN set the file is written instead.
void ExpectSceneGolden(const std::string& name, const std::string& text);

// "name flags" then one line per editable: name, type name, size, flag byte, name key.
std::string DescribeClass(DWORD classId);

// Fixed-precision text of a float, so goldens do not depend on the last bits printf keeps.
std::string Fixed(float value, int digits = 4);
