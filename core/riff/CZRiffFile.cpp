#include "core/riff/CZRiffFile.h"

#include <cstring>
#include <utility>

namespace {

constexpr unsigned long kRIFF = 0x46464952UL; // "RIFF"
constexpr unsigned long kFORM = 0x4D524F46UL; // "FORM"
constexpr unsigned long kLIST = 0x5453494CUL; // "LIST"

unsigned long Swap32(unsigned long v)
{
    return ((v & 0xFF) << 24) | ((v & 0xFF00) << 8) | ((v >> 8) & 0xFF00) | (v >> 24);
}

unsigned long LittleEndian(const unsigned char* b)
{
    return b[0] | (static_cast<unsigned long>(b[1]) << 8) | (static_cast<unsigned long>(b[2]) << 16) |
           (static_cast<unsigned long>(b[3]) << 24);
}

void ToLittleEndian(unsigned long v, unsigned char* b)
{
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Where the chunk's data ends, or beyond 32 bits when a damaged size says so.
unsigned long long DataEnd(const ZRIFFCKINFO* chunk)
{
    return static_cast<unsigned long long>(chunk->dataStart) + chunk->size;
}

char g_FourCCText[5];

} // namespace

CZRiffFile::CZRiffFile()
    : m_pCurrent(nullptr), m_pFile(nullptr), m_SharedPosition(0), m_bAttached(false), m_bBigEndian(false),
      m_bTrailingPad(false)
{
}

CZRiffFile::~CZRiffFile() { Close(); }

bool CZRiffFile::Writing() const { return (m_pFile->GetFileFlags() & CZFile::kWrite) != 0; }

bool CZRiffFile::SeekFile(unsigned long position) { return m_pFile->Seek(position) != 0; }

bool CZRiffFile::ReadBytes(void* buffer, unsigned long count)
{
    return m_pFile->Read(buffer, count) != static_cast<int>(count);
}

bool CZRiffFile::WriteBytes(const void* buffer, unsigned long count)
{
    return m_pFile->Write(buffer, count) != static_cast<int>(count);
}

ZRIFFCKINFO* CZRiffFile::Push(unsigned long id, unsigned long listType)
{
    ZRIFFCKINFO* record = new ZRIFFCKINFO();
    record->id = id;
    record->listType = listType;
    m_Stack.Add(record);
    m_pCurrent = record;
    return record;
}

void CZRiffFile::Pop()
{
    m_Stack.RemoveAt(m_Stack.GetSize() - 1);
    m_pCurrent = m_Stack[m_Stack.GetSize() - 1];
}

ZRIFFCKINFO* CZRiffFile::EnterTop(unsigned long formType)
{
    ZRIFFCKINFO* top = Descend(kRIFF, formType, false);
    return top ? top : Descend(kFORM, formType, false);
}

ZRIFFCKINFO* CZRiffFile::Open(const char* name, unsigned long formType)
{
    Close();
    m_pFile = new CZFile();
    if (m_pFile->Open(name, CZFile::kRead | CZFile::kAsNamed) == 0) {
        if (ZRIFFCKINFO* top = EnterTop(formType))
            return top;
    }
    Close();
    return nullptr;
}

ZRIFFCKINFO* CZRiffFile::Create(const char* name, unsigned long formType)
{
    Close();
    m_pFile = new CZFile();
    if (m_pFile->Open(name, CZFile::kRead | CZFile::kWrite | CZFile::kAsNamed) == 0) {
        if (ZRIFFCKINFO* top = Descend(kRIFF, formType, false))
            return top;
    }
    Close();
    return nullptr;
}

ZRIFFCKINFO* CZRiffFile::Attach(CZRiffFile* other, unsigned long formType)
{
    Close();
    if (other == nullptr || other->m_pFile == nullptr)
        return nullptr;
    m_pFile = other->m_pFile;
    m_bAttached = true;
    m_SharedPosition = m_pFile->GetFilePos();
    SeekFile(0);
    if (ZRIFFCKINFO* top = EnterTop(formType))
        return top;
    Close();
    return nullptr;
}

void CZRiffFile::Close()
{
    if (m_bAttached) {
        SeekFile(m_SharedPosition);
        m_pFile = nullptr;
        m_bAttached = false;
    } else if (m_pFile != nullptr) {
        if (m_pFile->IsOpen())
            while (m_pCurrent != nullptr)
                Ascend();
        m_pFile->Close();
        delete m_pFile;
        m_pFile = nullptr;
    }
    m_Stack.RemoveAll();
    m_pCurrent = nullptr;
    m_bBigEndian = false;
}

ZRIFFCKINFO* CZRiffFile::Descend(unsigned long id, unsigned long listType, bool withinParent)
{
    if (m_pFile == nullptr)
        return nullptr;
    ZRIFFCKINFO* parent = withinParent ? m_pCurrent : nullptr;
    ZRIFFCKINFO* record = Push(id, listType);
    return Writing() ? StartChunk(record) : FindChunk(record, parent);
}

ZRIFFCKINFO* CZRiffFile::FindChunk(ZRIFFCKINFO* record, const ZRIFFCKINFO* parent)
{
    unsigned long startPosition = m_pFile->GetFilePos();
    bool startBigEndian = m_bBigEndian;
    for (;;) {
        unsigned char header[8];
        unsigned long headerStart = m_pFile->GetFilePos();
        if (ReadBytes(header, 8))
            break;
        unsigned long id = LittleEndian(header);
        unsigned long size = LittleEndian(header + 4);
        if (IsBadFourCC(id))
            break;
        bool list = true;
        if (id == kRIFF) {
            m_bBigEndian = false;
        } else if (id == kFORM) {
            m_bBigEndian = true;
            size = Swap32(size);
        } else {
            if (m_bBigEndian)
                size = Swap32(size);
            list = id == kLIST;
        }
        unsigned long type = 0;
        if (list) {
            unsigned char typeBytes[4];
            if (ReadBytes(typeBytes, 4))
                break;
            type = LittleEndian(typeBytes);
        }
        ZRIFFCKINFO found = {id, size, type, headerStart + 8, 0, {}};
        if ((record->id == 0 || record->id == id) && (record->listType == 0 || record->listType == type)) {
            // A chunk must lie within the chunk that holds it, and within the file.
            if ((parent != nullptr && DataEnd(&found) > DataEnd(parent)) || !DataInFile(found))
                break;
            *record = found;
            std::memcpy(record->printableId, &id, 4);
            return record;
        }
        // Siblings only: the search never enters a chunk's children.
        unsigned long long next = DataEnd(&found) + (size & 1);
        if (next > 0xFFFFFFFFULL || SeekFile(static_cast<unsigned long>(next)))
            break;
    }
    SeekFile(startPosition);
    m_bBigEndian = startBigEndian;
    Pop();
    return nullptr;
}

bool CZRiffFile::DataInFile(const ZRIFFCKINFO& chunk)
{
    if (chunk.size == 0)
        return true;
    unsigned long long last = DataEnd(&chunk) - 1;
    unsigned long resume = m_pFile->GetFilePos();
    unsigned char byte;
    bool present = last <= 0xFFFFFFFFULL && !SeekFile(static_cast<unsigned long>(last)) && !ReadBytes(&byte, 1);
    SeekFile(resume);
    return present;
}

ZRIFFCKINFO* CZRiffFile::StartChunk(ZRIFFCKINFO* record)
{
    m_bTrailingPad = false;
    record->openSize = kOpenSize;
    std::memcpy(record->printableId, &record->id, 4);
    unsigned char header[8];
    ToLittleEndian(record->id, header);
    ToLittleEndian(0, header + 4);
    if (WriteBytes(header, 8))
        return nullptr;
    record->dataStart = m_pFile->GetFilePos();
    if (record->listType != 0) {
        unsigned char type[4];
        ToLittleEndian(record->listType, type);
        if (WriteBytes(type, 4))
            return nullptr;
    }
    return record;
}

ZRIFFCKINFO* CZRiffFile::Ascend()
{
    if (m_pCurrent == nullptr)
        return nullptr;
    if (m_pCurrent->openSize != 0) {
        unsigned long end = m_pFile->GetFilePos();
        // A pad byte that an odd Write just added belongs after the chunk, not in its size.
        m_pCurrent->size = end - m_pCurrent->dataStart - (m_bTrailingPad ? 1 : 0);
        unsigned char size[4];
        ToLittleEndian(m_pCurrent->size, size);
        SeekFile(m_pCurrent->dataStart - 4);
        WriteBytes(size, 4);
        SeekFile(end);
        if ((m_pCurrent->size & 1) && !m_bTrailingPad)
            WriteBytes("", 1);
        m_bTrailingPad = false;
        m_pCurrent->openSize = 0;
    } else {
        unsigned long long next = DataEnd(m_pCurrent) + (m_pCurrent->size & 1);
        SeekFile(next > 0xFFFFFFFFULL ? 0xFFFFFFFFUL : static_cast<unsigned long>(next));
    }
    Pop();
    return m_pCurrent;
}

unsigned long CZRiffFile::Tell()
{
    if (m_pFile == nullptr)
        return 0;
    return m_pFile->GetFilePos() - (m_pCurrent ? m_pCurrent->dataStart : 0);
}

bool CZRiffFile::Seek(unsigned long offset)
{
    if (m_pCurrent == nullptr || offset > m_pCurrent->size)
        return true;
    return SeekFile(m_pCurrent->dataStart + offset);
}

bool CZRiffFile::Read(void* buffer, unsigned long count, bool swap)
{
    if (m_pFile == nullptr)
        return true;
    unsigned long long end = 0;
    if (m_pCurrent != nullptr) {
        end = DataEnd(m_pCurrent);
        unsigned long position = m_pFile->GetFilePos();
        unsigned long long left = end > position ? end - position : 0;
        if (count > left)
            count = static_cast<unsigned long>(left);
    }
    if (count > 0 && ReadBytes(buffer, count))
        return true;
    // The pad byte follows the data of an odd-sized chunk, so it is skipped only at its end:
    // an odd read in mid-chunk must not eat a data byte.
    if (m_pCurrent != nullptr && (m_pCurrent->size & 1) && m_pFile->GetFilePos() == end) {
        unsigned char pad;
        if (ReadBytes(&pad, 1))
            return true;
    }
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    if (swap && count == 2) {
        std::swap(bytes[0], bytes[1]);
    } else if (swap && count == 4) {
        std::swap(bytes[0], bytes[3]);
        std::swap(bytes[1], bytes[2]);
    }
    return false;
}

bool CZRiffFile::Write(const void* buffer, unsigned long count)
{
    m_bTrailingPad = false;
    if (m_pFile == nullptr || count == 0 || WriteBytes(buffer, count))
        return true;
    if (!(count & 1))
        return false;
    m_bTrailingPad = !WriteBytes("", 1);
    return !m_bTrailingPad;
}

bool CZRiffFile::ReadString(int maxCount, char* buffer)
{
    if (m_pFile == nullptr || maxCount <= 0)
        return true;
    int length = 0;
    buffer[0] = '\0';
    for (;;) {
        if (length >= maxCount)
            return true;
        if (m_pCurrent != nullptr && m_pFile->GetFilePos() >= DataEnd(m_pCurrent))
            return true;
        char c;
        if (ReadBytes(&c, 1))
            return true;
        buffer[length++] = c;
        buffer[length] = '\0';
        if (c == '\0')
            break;
    }
    return (length & 1) && SeekFile(m_pFile->GetFilePos() + 1);
}

bool CZRiffFile::WriteString(const char* text)
{
    if (m_pFile == nullptr)
        return true;
    m_bTrailingPad = false;
    unsigned long length = static_cast<unsigned long>(std::strlen(text)) + 1;
    if (WriteBytes(text, length))
        return true;
    return (length & 1) && WriteBytes("", 1);
}

bool CZRiffFile::ReadFourCC(unsigned long* code)
{
    unsigned char bytes[4];
    if (Read(bytes, 4, false))
        return true;
    *code = LittleEndian(bytes);
    return IsBadFourCC(*code);
}

unsigned long CZRiffFile::MakeFourCC(const char* text)
{
    unsigned long code = 0;
    bool ended = text == nullptr;
    for (int i = 0; i < 4; ++i) {
        if (!ended && text[i] == '\0')
            ended = true;
        unsigned char c = ended ? ' ' : static_cast<unsigned char>(text[i]);
        code |= static_cast<unsigned long>(c) << (8 * i);
    }
    return code;
}

const char* CZRiffFile::FourCCToString(unsigned long code)
{
    std::memcpy(g_FourCCText, &code, 4);
    g_FourCCText[4] = '\0';
    return g_FourCCText;
}

bool CZRiffFile::IsBadFourCC(unsigned long code)
{
    for (int i = 0; i < 4; ++i) {
        unsigned char c = static_cast<unsigned char>(code >> (8 * i));
        if (c < 32 || c > 127)
            return true;
    }
    return false;
}
