#pragma once
// Stored pixel layouts: which bits of a stored pixel carry red, green, blue, alpha, a palette
// index or nothing, with the colour correction applied before pixels are encoded; and the
// render-modifier switches that statements set on top of a format.
class CZRiffFile;

// One working pixel. For a palettised image the alpha byte holds the index (a 4-bit index in
// its high nibble).
struct CPixel {
    unsigned char R = 0, G = 0, B = 0, A = 0;

    CPixel() = default;
    CPixel(unsigned char r, unsigned char g, unsigned char b, unsigned char a) : R(r), G(g), B(b), A(a) {}
    // From a triple stored blue, green, red; alpha 0.
    explicit CPixel(const unsigned char* bgr) : R(bgr[2]), G(bgr[1]), B(bgr[0]), A(0) {}

    bool operator==(const CPixel& o) const { return R == o.R && G == o.G && B == o.B && A == o.A; }
    bool operator!=(const CPixel& o) const { return !(*this == o); }

    // Padding outside an image.
    static const CPixel Zero;
};
static_assert(sizeof(CPixel) == 4, "CPixel is four bytes R, G, B, A");

// Bytes of count pixels of bits bits, rounded up to whole bytes.
unsigned long RowBytes(unsigned long count, unsigned long bits);
int CountBits(unsigned long mask);

class CPixelFormat {
public:
    enum { NOALPHA = 0, ALPHA1 = 1, ALPHA = 2 };

    CPixelFormat() = default;
    // Parses the letters; a bad text is caught at the format's first use.
    explicit CPixelFormat(const char* letters);
    virtual ~CPixelFormat() = default;
    CPixelFormat(const CPixelFormat&) = default;
    CPixelFormat& operator=(const CPixelFormat&) = default;

    virtual void Save(CZRiffFile& file) const;
    virtual bool Load(CZRiffFile& file);

    // Null on success, else the reason; a null text gives a blank format.
    const char* Parse(const char* letters);
    unsigned char* EncodePixel(unsigned char* out, const CPixel& pixel);
    void StartRow()
    {
        if (IndexBits == 4)
            NibblePhase = 0;
    }

    bool IsAlpha1() const;
    bool IsAlpha() const;
    int GetAlphaBits() const { return CountBits(AlphaMask); }
    int GetIndexBits() const { return CountBits(IndexMask); }
    bool Equals(const CPixelFormat& other) const;
    // Gamma or HSV adjustment to apply.
    bool HasColourCorrection() const;

    int AlphaKind = NOALPHA;
    int BitCount = 32;
    unsigned long RedMask = 0xFF000000;
    unsigned long GreenMask = 0x00FF0000;
    unsigned long BlueMask = 0x0000FF00;
    unsigned long AlphaMask = 0x000000FF;
    unsigned long IndexMask = 0;
    unsigned long FillMask = 0;
    int IndexBits = 0;
    int NibblePhase = 0;
    float HSVAdd[3] = {0.0f, 0.0f, 0.0f};
    float HSVMultiply[3] = {1.0f, 1.0f, 1.0f};
    float Gamma = 1.0f;

    // The layout of a CPixel in memory: palette entries are written in it.
    static const CPixelFormat& Working();
};

// Each modifier word: bit 0 set when a statement gave the word, bit 1 its value.
class CFormatSpecifier : public CPixelFormat {
public:
    static constexpr unsigned long ExplicitBit = 1, ValueBit = 2;

    CFormatSpecifier();
    CFormatSpecifier(const CFormatSpecifier&) = default;
    // Copies the modifiers and the whole pixel format, and marks the format as assigned.
    CFormatSpecifier& operator=(const CFormatSpecifier& other);
    CFormatSpecifier& operator=(const CPixelFormat& format);

    static void InitModifier(unsigned long& word, bool value) { word = value ? ValueBit : 0; }
    static void SetModifier(unsigned long& word, bool value) { word = ExplicitBit | (value ? ValueBit : 0); }
    static bool Value(unsigned long word) { return (word & ValueBit) != 0; }
    // Takes the other's words where this one has none set explicitly.
    void Merge(const CFormatSpecifier& other);
    // The defaults every statement starts from.
    void ResetModifiers();

    void Save(CZRiffFile& file) const override;
    bool Load(CZRiffFile& file) override;

    unsigned long Additive = 0;
    unsigned long Bump = 0;
    unsigned long Filter = 0;
    unsigned long LerpNormals = 0;
    unsigned long Screen = 0;
    unsigned long Shadow = 0;
    unsigned long SortAlpha = 0;
    unsigned long SortSolid = 0;
    unsigned long ViewScale = 0;
    unsigned long ZBuffer = 0;
    unsigned long ZWrite = 0;
    unsigned char ExplicitFormat = 0;
};
