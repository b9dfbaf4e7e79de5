#pragma once
// A dictionary (LZ77-style) compressor over 16-bit words. Streams: the caller feeds or drains
// data in pieces of any even length and the compressor hands its output to, or takes its input
// from, a callback. Packed data segments and save games use level 3.
//
// Stream format, all words little-endian: the window size W (255, 511, 1023 or 2047), then
// groups of a flag word and up to 16 items. Flag bits are used from 0x8000 down: clear means
// a literal word, set means a token (distance << L | length) with L = 16 - bitlength(W),
// copying length words from distance words back. Token 0 ends the stream.

class CKzqCompressor {
public:
    // Compression: writes byteCount bytes of output; decompression: reads up to byteCount
    // bytes of input into buffer and returns how many. Negative means failure.
    typedef int (*Callback)(void* user, void* buffer, int byteCount);

    CKzqCompressor();
    ~CKzqCompressor();
    // Buffers are owned: two objects must never share them.
    CKzqCompressor(const CKzqCompressor&) = delete;
    CKzqCompressor& operator=(const CKzqCompressor&) = delete;

    // With a callback: starts a stream at level 0 to 3 (above 3 counts as 3, below 0 is
    // refused). Without: finishes it, writing everything out. True on error.
    bool Compress(Callback write, void* user, int level);
    // byteCount, or -1 after an error. An odd count is a fatal error.
    int Write(const void* data, int byteCount);
    // With a callback: starts decompressing; without: frees the buffers. True on error.
    bool Decompress(Callback read, void* user);
    // Bytes delivered, fewer than asked at the end of the stream, or -1 after an error
    // (a failing callback or a damaged stream). An odd count is a fatal error. The buffer's
    // bytes beyond those delivered may be written over.
    int Read(void* buffer, int byteCount);
    // What went wrong, or null.
    const char* GetErrorText() const { return m_pErrorText; }

private:
    static constexpr int kCompressInWords = 8192;
    static constexpr int kHashSize = 65536;
    static constexpr int kCompressOutBytes = 16448;
    static constexpr int kFlushBytes = 16384;
    static constexpr int kDecompressInBytes = 16896;
    static constexpr int kRefillBytes = 16384;
    static constexpr int kGroupSlackBytes = 64;
    static constexpr int kFillLimitWords = 15872 / 2;
    // Beyond a fill limit a group can still add one longest token and 15 literals, and a block
    // copy can write 8 words further: output keeps room for that at the widest level, whose
    // tokens run to 255 words.
    static constexpr int kOvershootWords = 255 + 15 + 8;
    static constexpr int kWindowWords = kFillLimitWords + kOvershootWords;

    void CalcConstants();
    bool CompressCore(bool final);
    int LongestMatch(int& distance);
    int MatchLength(const unsigned short* here, int distance, int held) const;
    void InsertUpTo(int scan);
    static unsigned Hash(const unsigned short* words);
    void PutWord(unsigned short word);
    void UnloadOutput();
    bool DecompressCore();
    bool DecodeGroups(unsigned short* out, int& outFill, int limit);
    bool Refill();
    bool ReadHeader();
    void Fail(const char* text);
    void FreeBuffers();
    static void wmemcpy(unsigned short* dst, const unsigned short* src, int words);

    unsigned short* m_pIn;
    int m_nScan; // compression: next word to code
    int m_nFill; // compression: tokens end here
    int m_nEnd;  // compression: words held
    // Where each pair of words was seen: chains of stream positions (plus one; 0 ends a chain),
    // newest first, so the search visits only candidates whose first two words match.
    int* m_pHead;
    int* m_pPrev;
    int m_nBase;     // stream position of m_pIn[0]
    int m_nInserted; // positions below this are in the chains
    unsigned char* m_pOut;
    int m_nOut;     // compression: output bytes held
    int m_nFlagPos; // byte offset of the current group's flag word
    unsigned short m_Bit;

    unsigned char* m_pInBytes; // decompression input
    int m_nInPos;
    int m_nInFill; // input bytes held
    int m_nInLimit;
    bool m_bInputEnded;
    unsigned short* m_pWindow; // decompressed words, history first
    int m_nWindowFill;
    int m_nDelivered;
    bool m_bStreamEnded;
    bool m_bHeaderRead;

    int m_W;
    int m_L;
    int m_Mask;
    bool m_bError;
    const char* m_pErrorText;
    Callback m_pCallback;
    void* m_pUser;
};
