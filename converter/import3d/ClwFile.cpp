#include "converter/import3d/ClwFile.h"

#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

unsigned long MakeId(const char (&text)[5])
{
    return static_cast<unsigned long>(static_cast<unsigned char>(text[0])) << 24 |
           static_cast<unsigned long>(static_cast<unsigned char>(text[1])) << 16 |
           static_cast<unsigned long>(static_cast<unsigned char>(text[2])) << 8 |
           static_cast<unsigned long>(static_cast<unsigned char>(text[3]));
}

std::string ClwFile::IdText(unsigned long id)
{
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(id >> (24 - 8 * i));
        text[i] = c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    }
    return text;
}

void ClwFile::Fail(const char* format, ...)
{
    char message[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::string place;
    for (size_t i = 2; i < m_Stack.size(); ++i)
        place += (i > 2 ? "/" : "") + IdText(m_Stack[i].Id);
    vbail("%s\n%s: offset %lu%s%s\n", message, m_Name.c_str(), static_cast<unsigned long>(m_Pos),
          place.empty() ? "" : ", in chunk ", place.c_str());
}

bool ClwFile::Open(const char* path)
{
    m_Name = path;
    FILE* file = OpenScriptFile(path, "rb");
    if (!file)
        return false;
    m_Data.clear();
    unsigned char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        m_Data.insert(m_Data.end(), buffer, buffer + got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        errno = EIO;
        return false;
    }
    m_Stack.assign(1, Chunk());
    m_Stack[0].End = m_Data.size();
    m_Pos = 0;
    if (m_Data.size() < 12 || memcmp(m_Data.data(), "FORM", 4) != 0 || memcmp(m_Data.data() + 8, "LWO2", 4) != 0)
        Fail("Not a LightWave object: the file does not start with a FORM of type LWO2");
    m_Pos = 4;
    const unsigned long size = U4();
    if (size < 4 || size > m_Data.size() - 8)
        Fail("The FORM chunk claims %lu bytes but the file holds %lu after its header", size,
             static_cast<unsigned long>(m_Data.size() - 8));
    Chunk form;
    form.Id = MakeId("FORM");
    form.Size = size;
    form.DataStart = 12;
    form.End = 8 + static_cast<size_t>(size);
    strcpy(form.PrintableId, "FORM");
    m_Stack.push_back(form);
    m_Pos = 12;
    return true;
}

const unsigned char* ClwFile::Take(size_t count, const char* what)
{
    if (m_Pos + count > Current().End)
        Fail("Chunk data ends inside a %s (%lu bytes needed, %lu left)", what, static_cast<unsigned long>(count),
             static_cast<unsigned long>(Current().End - m_Pos));
    const unsigned char* p = m_Data.data() + m_Pos;
    m_Pos += count;
    return p;
}

unsigned ClwFile::U2()
{
    const unsigned char* p = Take(2, "U2");
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

unsigned long ClwFile::U4()
{
    const unsigned char* p = Take(4, "U4");
    return static_cast<unsigned long>(p[0]) << 24 | static_cast<unsigned long>(p[1]) << 16 |
           static_cast<unsigned long>(p[2]) << 8 | p[3];
}

float ClwFile::F4()
{
    const unsigned char* p = Take(4, "F4");
    const unsigned int bits = static_cast<unsigned int>(p[0]) << 24 | static_cast<unsigned int>(p[1]) << 16 |
                              static_cast<unsigned int>(p[2]) << 8 | p[3];
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

unsigned long ClwFile::ID4()
{
    const unsigned char* p = Take(4, "ID4");
    return static_cast<unsigned long>(p[0]) << 24 | static_cast<unsigned long>(p[1]) << 16 |
           static_cast<unsigned long>(p[2]) << 8 | p[3];
}

std::string ClwFile::S0(int maxLength)
{
    const size_t start = m_Pos, end = Current().End;
    size_t nul = start;
    while (nul < end && m_Data[nul] != 0)
        ++nul;
    if (nul >= end)
        Fail("A string runs past the end of its chunk");
    if (nul - start > static_cast<size_t>(maxLength))
        Fail("A string of %lu characters is longer than the %d allowed", static_cast<unsigned long>(nul - start),
             maxLength);
    std::string text(reinterpret_cast<const char*>(m_Data.data() + start), nul - start);
    m_Pos = nul + 1;
    if ((m_Pos - start) % 2 && m_Pos < end)
        ++m_Pos;
    return text;
}

int ClwFile::VX()
{
    const unsigned first = U2();
    if ((first & 0xFF00) != 0xFF00)
        return static_cast<int>(first);
    return static_cast<int>((first & 0xFF) << 16 | U2());
}

void ClwFile::VEC12(float* out)
{
    if (m_Pos + 12 > Current().End)
        Fail("\nError reading vector from LW file\n%s", "the chunk ends inside the vector");
    for (int i = 0; i < 3; ++i)
        out[i] = F4();
}

const ClwFile::Chunk* ClwFile::Descend()
{
    const Chunk& parent = Current();
    if (m_Pos + 8 > parent.End)
        return nullptr;
    Chunk chunk;
    chunk.Id = ID4();
    chunk.Size = U4();
    chunk.DataStart = m_Pos;
    if (chunk.Size > parent.End - m_Pos)
        Fail("Chunk %s claims %lu bytes but only %lu follow it", IdText(chunk.Id).c_str(), chunk.Size,
             static_cast<unsigned long>(parent.End - m_Pos));
    chunk.End = m_Pos + chunk.Size;
    memcpy(chunk.PrintableId, IdText(chunk.Id).c_str(), 5);
    m_Stack.push_back(chunk);
    return &m_Stack.back();
}

const ClwFile::Chunk* ClwFile::DescendSubChunk(unsigned long wanted)
{
    if (m_Stack.size() < 2)
        vbail("\nSubchunks better belong to a parent chunk");
    const size_t start = m_Pos;
    for (;;) {
        const Chunk& parent = Current();
        if (m_Pos + 6 > parent.End) {
            m_Pos = start;
            return nullptr;
        }
        Chunk chunk;
        chunk.Id = ID4();
        chunk.Size = U2();
        chunk.DataStart = m_Pos;
        if (chunk.Size > parent.End - m_Pos)
            Fail("Sub-chunk %s claims %lu bytes but only %lu are left in its parent", IdText(chunk.Id).c_str(),
                 chunk.Size, static_cast<unsigned long>(parent.End - m_Pos));
        chunk.End = m_Pos + chunk.Size;
        if (wanted == 0 || chunk.Id == wanted) {
            memcpy(chunk.PrintableId, IdText(chunk.Id).c_str(), 5);
            m_Stack.push_back(chunk);
            return &m_Stack.back();
        }
        m_Pos = chunk.End + (chunk.Size & 1);
    }
}

void ClwFile::Ascend()
{
    const Chunk chunk = m_Stack.back();
    m_Stack.pop_back();
    m_Pos = chunk.End + (chunk.Size & 1);
    if (m_Pos > Current().End)
        m_Pos = Current().End;
}
