#pragma once
// The console's memory-card icon of a mesh: its description (title, background, lights, icon
// file names) and its model (triangles, one animation key, a 128 by 128 texture), written as
// raw bytes with a CPS2Icon3D record pointing at both.
#include <string>
#include <vector>

class CdbMesh;
class CZelWriter;

// The full-width Shift-JIS codes of a text, ended by a 0 code.
std::vector<unsigned short> ShiftJisCodes(const char* text);
// The 964-byte icon description.
std::vector<unsigned char> PS2IconDescription();
void WritePS2Icon(CdbMesh& mesh, CZelWriter& writer);
