#pragma once
// A LightWave object file (IFF FORM "LWO2", big-endian) held in memory: chunks with 4-byte
// sizes at the top, sub-chunks with 2-byte sizes inside them, and the primitive reads of the
// format. Every read is checked against the chunk it is in; a read past it, or a chunk that
// runs past its parent, ends the conversion naming the file and the place.
#include <string>
#include <vector>

class ClwFile {
public:
    struct Chunk {
        unsigned long Id = 0;
        unsigned long Size = 0;
        size_t DataStart = 0;
        size_t End = 0;
        char PrintableId[5] = {0, 0, 0, 0, 0};
    };

    // False when the file cannot be read (errno tells why); fatal when it is no LWO2 form.
    bool Open(const char* path);
    const std::string& Name() const { return m_Name; }

    // The next chunk of the current one (any id), or null at its end.
    const Chunk* Descend();
    // The next sub-chunk with that id (0: any) of the current chunk, or null when none is left;
    // fatal outside a chunk.
    const Chunk* DescendSubChunk(unsigned long wanted);
    // Leaves the current chunk (and its pad byte).
    void Ascend();
    // Position within the current chunk's data, and whether data is left in it.
    unsigned long Tell() const { return static_cast<unsigned long>(m_Pos - Current().DataStart); }
    bool AtEnd() const { return m_Pos >= Current().End; }
    const Chunk& Current() const { return m_Stack.back(); }

    unsigned U2();
    unsigned long U4();
    float F4();
    unsigned long ID4();
    std::string S0(int maxLength);
    int VX();
    void VEC12(float* out);

    // Ends the conversion with the message, the file name and the place.
    [[noreturn]] void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

    static std::string IdText(unsigned long id);

private:
    const unsigned char* Take(size_t count, const char* what);

    std::string m_Name;
    std::vector<unsigned char> m_Data;
    std::vector<Chunk> m_Stack;
    size_t m_Pos = 0;
};

unsigned long MakeId(const char (&text)[5]);
