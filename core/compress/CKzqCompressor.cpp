#include "core/compress/CKzqCompressor.h"

#include "core/heap/ZHeap.h"
#include "core/output/ZOutput.h"

#include <cstring>

namespace {
const int kWindowSizes[4] = {255, 511, 1023, 2047};

unsigned ReadLE16(const unsigned char* bytes) { return bytes[0] | (bytes[1] << 8); }

// Runs of literal words are copied from the stream as they are.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the stream's words are little-endian, as the machine's");

// Literal runs and tokens from far enough back are copied in blocks of this many words, which
// may run past the words they need: the decoder's buffers keep a block's room beyond their end.
const int kCopyBlockWords = 8;

inline void CopyBlock(void* to, const void* from) { std::memcpy(to, from, kCopyBlockWords * 2); }

// Copies a token's words from distance back. From 8 words back on, whole blocks are copied:
// each block reads only words written before it.
void CopyMatch(unsigned short* to, int distance, int length)
{
    const unsigned short* from = to - distance;
    if (distance >= kCopyBlockWords) {
        for (int i = 0; i < length; i += kCopyBlockWords)
            CopyBlock(to + i, from + i);
        return;
    }
    // Front to back, so that an overlapping copy repeats its words.
    for (int i = 0; i < length; ++i)
        to[i] = from[i];
}

bool IsWindowSize(int w)
{
    for (int size : kWindowSizes)
        if (w == size)
            return true;
    return false;
}
} // namespace

CKzqCompressor::CKzqCompressor()
    : m_pIn(nullptr), m_nScan(0), m_nFill(0), m_nEnd(0), m_pHead(nullptr), m_pPrev(nullptr), m_nBase(0), m_nInserted(0),
      m_pOut(nullptr), m_nOut(0), m_nFlagPos(0), m_Bit(0), m_pInBytes(nullptr), m_nInPos(0), m_nInFill(0),
      m_nInLimit(0), m_bInputEnded(false), m_pWindow(nullptr), m_nWindowFill(0), m_nDelivered(0), m_bStreamEnded(false),
      m_bHeaderRead(false), m_W(0), m_L(0), m_Mask(0), m_bError(false), m_pErrorText(nullptr), m_pCallback(nullptr),
      m_pUser(nullptr)
{
}

CKzqCompressor::~CKzqCompressor() { FreeBuffers(); }

void CKzqCompressor::FreeBuffers()
{
    zfree(m_pIn);
    zfree(m_pHead);
    zfree(m_pPrev);
    zfree(m_pOut);
    zfree(m_pInBytes);
    zfree(m_pWindow);
    m_pIn = nullptr;
    m_pHead = nullptr;
    m_pPrev = nullptr;
    m_pOut = nullptr;
    m_pInBytes = nullptr;
    m_pWindow = nullptr;
}

void CKzqCompressor::Fail(const char* text)
{
    if (!m_bError)
        m_pErrorText = text;
    m_bError = true;
}

void CKzqCompressor::CalcConstants()
{
    int bits = 0;
    while ((m_W >> bits) != 0)
        ++bits;
    m_L = 16 - bits;
    m_Mask = (1 << m_L) - 1;
}

void CKzqCompressor::wmemcpy(unsigned short* dst, const unsigned short* src, int words)
{
    std::memmove(dst, src, static_cast<size_t>(words) * 2);
}

// ---------------------------------------------------------------------------------------------
// Compression

bool CKzqCompressor::Compress(Callback write, void* user, int level)
{
    if (write == nullptr) {
        if (m_pOut == nullptr)
            return true;
        m_nFill = m_nEnd;
        CompressCore(true);
        while (m_nOut > 0 && !m_bError)
            UnloadOutput();
        FreeBuffers();
        return m_bError;
    }
    if (level < 0)
        return true;
    FreeBuffers();
    m_W = kWindowSizes[level > 3 ? 3 : level];
    CalcConstants();
    m_pIn = static_cast<unsigned short*>(zmalloc(kCompressInWords * 2));
    m_pOut = static_cast<unsigned char*>(zmalloc(kCompressOutBytes));
    m_pHead = static_cast<int*>(zmalloc(kHashSize * sizeof(int)));
    m_pPrev = static_cast<int*>(zmalloc(kCompressInWords * sizeof(int)));
    std::memset(m_pHead, 0, kHashSize * sizeof(int));
    m_nBase = m_nInserted = 0;
    m_nScan = m_nFill = m_nEnd = 0;
    m_nOut = 0;
    m_Bit = 0;
    m_bError = false;
    m_pErrorText = nullptr;
    m_pCallback = write;
    m_pUser = user;
    PutWord(static_cast<unsigned short>(m_W));
    return false;
}

int CKzqCompressor::Write(const void* data, int byteCount)
{
    if (byteCount & 1)
        vbail("Must compress even aligned data.");
    if (m_bError || m_pIn == nullptr)
        return -1;
    const unsigned short* words = static_cast<const unsigned short*>(data);
    int left = byteCount / 2;
    while (left > 0) {
        if (m_nEnd == kCompressInWords) {
            // Full with more to come: code all but the last W words, which the matches of the
            // coded part may still look into, then keep W words of history and go on.
            m_nFill = kCompressInWords - m_W;
            if (CompressCore(false))
                return -1;
            int keepFrom = m_nScan - m_W;
            wmemcpy(m_pIn, m_pIn + keepFrom, m_nEnd - keepFrom);
            m_nScan -= keepFrom;
            m_nEnd -= keepFrom;
            m_nBase += keepFrom;
        }
        int take = kCompressInWords - m_nEnd;
        if (take > left)
            take = left;
        std::memcpy(m_pIn + m_nEnd, words, static_cast<size_t>(take) * 2);
        m_nEnd += take;
        words += take;
        left -= take;
    }
    return byteCount;
}

void CKzqCompressor::PutWord(unsigned short word)
{
    m_pOut[m_nOut] = static_cast<unsigned char>(word);
    m_pOut[m_nOut + 1] = static_cast<unsigned char>(word >> 8);
    m_nOut += 2;
}

unsigned CKzqCompressor::Hash(const unsigned short* words)
{
    return (static_cast<unsigned>(words[0]) * 40503u + words[1]) & (kHashSize - 1);
}

// Enters every position before scan into the chains. A position's slot in m_pPrev is reused
// 8,192 positions later, long after it has left the window.
void CKzqCompressor::InsertUpTo(int scan)
{
    for (int end = m_nBase + scan; m_nInserted < end; ++m_nInserted) {
        unsigned hash = Hash(m_pIn + (m_nInserted - m_nBase));
        m_pPrev[m_nInserted & (kCompressInWords - 1)] = m_pHead[hash];
        m_pHead[hash] = m_nInserted + 1;
    }
}

// Words matching from distance back, never more than the distance, the words held or the mask.
int CKzqCompressor::MatchLength(const unsigned short* here, int distance, int held) const
{
    int limit = distance < held ? distance : held;
    if (limit > m_Mask)
        limit = m_Mask;
    const unsigned short* there = here - distance;
    int length = 0;
    while (length < limit && there[length] == here[length])
        ++length;
    return length;
}

// The match the stream format calls for: the longest (cut at the mask), and among equally
// long ones the farthest. Only matches of two words or more become tokens.
int CKzqCompressor::LongestMatch(int& distance)
{
    distance = 0;
    const int held = m_nEnd - m_nScan;
    if (held < 2)
        return 0;
    InsertUpTo(m_nScan);
    const unsigned short* here = m_pIn + m_nScan;
    const int farthest = m_nScan < m_W ? m_nScan : m_W;
    // Runs and long repeats: the farthest candidate often matches in full, and then it wins.
    if (farthest >= 2 && MatchLength(here, farthest, held) >= m_Mask) {
        distance = farthest;
        return m_Mask;
    }
    const int position = m_nBase + m_nScan;
    int best = 1;
    for (int entry = m_pHead[Hash(here)]; entry != 0; entry = m_pPrev[(entry - 1) & (kCompressInWords - 1)]) {
        int d = position - (entry - 1);
        if (d > farthest)
            break;
        // Newest first, so a later candidate of equal length lies farther back and wins.
        int length = MatchLength(here, d, held);
        if (length > 1 && length >= best) {
            best = length;
            distance = d;
            if (best >= m_Mask)
                break;
        }
    }
    if (best >= m_Mask) {
        // A full match was found going backwards; a farther one may still exist.
        for (int d = farthest - 1; d > distance; --d)
            if (MatchLength(here, d, held) >= m_Mask) {
                distance = d;
                break;
            }
    }
    return distance == 0 ? 0 : best;
}

bool CKzqCompressor::CompressCore(bool final)
{
    for (;;) {
        if (m_Bit == 0) {
            if (!final && m_nScan >= m_nFill)
                return false;
            if (m_nOut > kFlushBytes) {
                UnloadOutput();
                if (m_bError)
                    return true;
            }
            m_nFlagPos = m_nOut;
            PutWord(0);
            m_Bit = 0x8000;
        }
        unsigned short flags = static_cast<unsigned short>(m_pOut[m_nFlagPos] | (m_pOut[m_nFlagPos + 1] << 8));
        if (final && m_nScan >= m_nFill) {
            flags |= m_Bit;
            m_pOut[m_nFlagPos] = static_cast<unsigned char>(flags);
            m_pOut[m_nFlagPos + 1] = static_cast<unsigned char>(flags >> 8);
            PutWord(0);
            m_Bit = 0;
            return false;
        }
        int distance;
        int length = LongestMatch(distance);
        if (length > m_nFill - m_nScan)
            length = m_nFill - m_nScan;
        if (length >= 2) {
            flags |= m_Bit;
            m_pOut[m_nFlagPos] = static_cast<unsigned char>(flags);
            m_pOut[m_nFlagPos + 1] = static_cast<unsigned char>(flags >> 8);
            PutWord(static_cast<unsigned short>((distance << m_L) | length));
            m_nScan += length;
        } else {
            PutWord(m_pIn[m_nScan]);
            ++m_nScan;
        }
        m_Bit >>= 1;
    }
}

void CKzqCompressor::UnloadOutput()
{
    int count = m_nOut < kFlushBytes ? m_nOut : kFlushBytes;
    if (count > 0 && m_pCallback(m_pUser, m_pOut, count) < 0)
        Fail("the output callback failed");
    std::memmove(m_pOut, m_pOut + count, static_cast<size_t>(m_nOut - count));
    m_nOut -= count;
}

// ---------------------------------------------------------------------------------------------
// Decompression

bool CKzqCompressor::Decompress(Callback read, void* user)
{
    if (read == nullptr) {
        FreeBuffers();
        return m_bError;
    }
    FreeBuffers();
    // Room for the block copies' overrun beyond the input, which is read, so it is set. The
    // window's is part of kOvershootWords.
    m_pInBytes = static_cast<unsigned char*>(zmalloc(kDecompressInBytes + kCopyBlockWords * 4));
    std::memset(m_pInBytes, 0, kDecompressInBytes + kCopyBlockWords * 4);
    m_pWindow = static_cast<unsigned short*>(zmalloc(kWindowWords * 2));
    m_nInPos = m_nInFill = m_nInLimit = 0;
    m_bInputEnded = false;
    m_nWindowFill = m_nDelivered = 0;
    m_bStreamEnded = false;
    m_bHeaderRead = false;
    m_W = m_L = m_Mask = 0;
    m_bError = false;
    m_pErrorText = nullptr;
    m_pCallback = read;
    m_pUser = user;
    return false;
}

// Moves the unread input to the front and asks for more. Until the input ends, a whole group
// (at most 34 bytes) is always held before the limit.
bool CKzqCompressor::Refill()
{
    int unread = m_nInFill - m_nInPos;
    std::memmove(m_pInBytes, m_pInBytes + m_nInPos, static_cast<size_t>(unread));
    m_nInPos = 0;
    m_nInFill = unread;
    int wanted = kDecompressInBytes - m_nInFill;
    if (wanted > kRefillBytes)
        wanted = kRefillBytes;
    int got = m_pCallback(m_pUser, m_pInBytes + m_nInFill, wanted);
    if (got < 0 || got > wanted) {
        Fail("the input callback failed");
        return true;
    }
    if (got == 0)
        m_bInputEnded = true;
    m_nInFill += got;
    m_nInLimit = m_bInputEnded ? m_nInFill : m_nInFill - kGroupSlackBytes;
    return false;
}

bool CKzqCompressor::ReadHeader()
{
    while (m_nInFill < 2 && !m_bInputEnded)
        if (Refill())
            return true;
    if (m_nInFill < 2) {
        Fail("the stream ends before its header");
        return true;
    }
    m_W = m_pInBytes[0] | (m_pInBytes[1] << 8);
    m_nInPos = 2;
    if (!IsWindowSize(m_W)) {
        Fail("the stream's window size is not 255, 511, 1023 or 2047");
        return true;
    }
    CalcConstants();
    m_bHeaderRead = true;
    return false;
}

bool CKzqCompressor::DecompressCore()
{
    if (!m_bHeaderRead && ReadHeader())
        return true;
    return DecodeGroups(m_pWindow, m_nWindowFill, kFillLimitWords);
}

// Decodes whole groups into out from fill on while fill is below limit. A group may run past
// the limit by one longest token, 15 literals and a copy block's overrun (kOvershootWords), so
// out must have that room beyond the limit.
bool CKzqCompressor::DecodeGroups(unsigned short* out, int& outFill, int limit)
{
    const unsigned char* in = m_pInBytes;
    for (;;) {
        while (m_nInPos >= m_nInLimit && !m_bInputEnded)
            if (Refill())
                return true;
        if (outFill >= limit)
            return false;
        const int groupIn = m_nInPos;
        const int groupOut = outFill;
        int pos = m_nInPos;
        int fill = outFill;
        const int held = m_nInFill;
        // A whole group (flag word and 16 items) present: no item needs its own bounds check.
        const bool whole = held - pos >= 34;
        if (!whole && pos + 2 > held) {
            Fail("the stream ends before its end token");
            return true;
        }
        // The group's flags with the next item's bit at the top.
        unsigned flags = ReadLE16(in + pos) << 16;
        pos += 2;
        int items = 16;
        while (items > 0) {
            // A run of literals is copied whole.
            int literals = flags ? __builtin_clz(flags) : items;
            if (literals > items)
                literals = items;
            if (literals > 0) {
                if (whole) {
                    CopyBlock(out + fill, in + pos);
                    if (literals > kCopyBlockWords)
                        CopyBlock(out + fill + kCopyBlockWords, in + pos + 2 * kCopyBlockWords);
                } else if (pos + 2 * literals > held) {
                    Fail("the stream ends before its end token");
                    return true;
                } else
                    std::memcpy(out + fill, in + pos, static_cast<size_t>(literals) * 2);
                fill += literals;
                pos += 2 * literals;
                items -= literals;
                flags <<= literals;
                if (items == 0)
                    break;
            }
            if (!whole && pos + 2 > held) {
                Fail("the stream ends before its end token");
                return true;
            }
            const unsigned word = ReadLE16(in + pos);
            pos += 2;
            --items;
            flags <<= 1;
            if (word == 0) {
                m_bStreamEnded = true;
                m_nInPos = pos;
                outFill = fill;
                return false;
            }
            if (fill >= limit) {
                // Out of room: this group is decoded again, whole, next time.
                m_nInPos = groupIn;
                outFill = groupOut;
                return false;
            }
            const int length = static_cast<int>(word & m_Mask);
            const int distance = static_cast<int>(word >> m_L);
            if (distance == 0 || distance > fill) {
                Fail("a token reaches back beyond the data decoded so far");
                return true;
            }
            CopyMatch(out + fill, distance, length);
            fill += length;
        }
        m_nInPos = pos;
        outFill = fill;
    }
}

int CKzqCompressor::Read(void* buffer, int byteCount)
{
    if (byteCount & 1)
        vbail("Must decompress even aligned data.");
    if (m_bError || m_pWindow == nullptr)
        return -1;
    unsigned short* words = static_cast<unsigned short*>(buffer);
    int wanted = byteCount / 2;
    int delivered = 0;
    while (delivered < wanted) {
        int ready = m_nWindowFill - m_nDelivered;
        if (ready > 0) {
            int take = ready < wanted - delivered ? ready : wanted - delivered;
            std::memcpy(words + delivered, m_pWindow + m_nDelivered, static_cast<size_t>(take) * 2);
            delivered += take;
            m_nDelivered += take;
            continue;
        }
        if (m_bStreamEnded)
            break;
        if (m_bHeaderRead && delivered >= m_W && wanted - delivered > kOvershootWords) {
            // The caller's buffer already holds the history tokens reach back to: decode
            // straight into it, which saves copying every word out of the window. What is left
            // then, a group cut short by the end of the buffer or fewer words than a group may
            // overshoot by, comes through the window.
            if (DecodeGroups(words, delivered, wanted - kOvershootWords))
                return -1;
            if (m_bStreamEnded)
                break;
            wmemcpy(m_pWindow, words + delivered - m_W, m_W);
            m_nWindowFill = m_nDelivered = m_W;
        } else {
            // Keep the last W words: tokens reach back that far.
            int keep = m_nWindowFill < m_W ? m_nWindowFill : m_W;
            wmemcpy(m_pWindow, m_pWindow + m_nWindowFill - keep, keep);
            m_nWindowFill = m_nDelivered = keep;
        }
        if (DecompressCore())
            return -1;
    }
    return delivered * 2;
}
