#pragma once
// Name keys: everything data refers to (classes, symbols, labels, messages, files) is found by
// the CRC-32 of its name. The key is the reflected IEEE 802.3 CRC with start value 0xFFFFFFFF
// and no final inversion, so it is the complement of the common checksum of the same bytes.
// The table is a constant so that classes can hash their names from static initialisers in
// any order.
#include <array>

namespace mg_crc_detail {
constexpr std::array<unsigned long, 256> MakeTable()
{
    std::array<unsigned long, 256> table{};
    for (unsigned long i = 0; i < 256; ++i) {
        unsigned long c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320UL : c >> 1;
        table[i] = c;
    }
    return table;
}
} // namespace mg_crc_detail

// Shared by the name keys and the random generator.
inline constexpr std::array<unsigned long, 256> CRCTable = mg_crc_detail::MakeTable();
static_assert(CRCTable[1] == 0x77073096UL, "reflected IEEE 802.3 table");

class CCRC32 {
public:
    // Bytes are hashed unsigned: names may hold characters of 0x80 and above.
    static constexpr unsigned long GetCRC(const char* name)
    {
        unsigned long crc = 0xFFFFFFFFUL;
        if (name == nullptr)
            return crc;
        for (; *name != '\0'; ++name)
            crc = (crc >> 8) ^ CRCTable[(static_cast<unsigned char>(*name) ^ crc) & 0xFF];
        return crc;
    }
    static unsigned long GetCRC(const void* buffer, int count)
    {
        unsigned long crc = 0xFFFFFFFFUL;
        const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
        for (int i = 0; i < count; ++i)
            crc = (crc >> 8) ^ CRCTable[(bytes[i] ^ crc) & 0xFF];
        return crc;
    }

    // Left unset, like any plain number.
    CCRC32() {}
    constexpr CCRC32(const char* name) : m_Value(GetCRC(name)) {}
    constexpr CCRC32(unsigned long key) : m_Value(key) {}
    CCRC32& operator=(const char* name)
    {
        m_Value = GetCRC(name);
        return *this;
    }
    CCRC32& operator=(unsigned long key)
    {
        m_Value = key;
        return *this;
    }
    CCRC32& operator=(const CCRC32& other) = default;
    CCRC32(const CCRC32& other) = default;

    operator unsigned long&() { return m_Value; }
    constexpr operator unsigned long() const { return m_Value; }

private:
    unsigned long m_Value;
};
static_assert(sizeof(CCRC32) == 4, "a name key is one 32-bit word");
static_assert(CCRC32::GetCRC("abc") == 0xCADBBE3DUL, "name key of \"abc\"");
