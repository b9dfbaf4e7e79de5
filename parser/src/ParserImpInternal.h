#pragma once

// Constants shared by the parse engine's source files.

#include <cstdint>

#include "qvrn/ParserImp.h"

namespace qvparse {

// Settings bits.
const uint16_t kCase = 0x1;
const uint16_t kLiteralNodes = 0x2;
const uint16_t kRepetitionNodes = 0x4;
const uint16_t kKeepSeparators = 0x8;
const uint16_t kBacktrack = 0x10;
const uint16_t kExpectedTerms = 0x20;
const uint16_t kInSpace = 0x40;
const uint16_t kInToken = 0x80;
const uint16_t kInFlat = 0x100;

const char kDefaultWhitespace[] = "\r\n\t ";

// What a child frame was pushed for: the low bits name the phase, the rest carry a count.
const long kSpacePhase = 1L << 30;
enum RepetitionPhase { kItem = 1, kAfterItem = 2, kSeparator = 3, kAfterSeparator = 4 };
enum RootPhase { kLeadingSpace = 1, kStartRule = 2, kTrailingSpace = 3, kEndOfInput = 4 };

// Steps allowed per input character before a hopeless parse is given up; ordinary input
// needs a small fraction of this. Once the whole input has failed to parse a first time, the
// search through earlier choices gets a smaller allowance: it rarely finds another parse, and
// after a syntax error in a long script it would otherwise try alternatives for a long time.
const long kStepsPerCharacter = 2000;
const long kMinimumSteps = 4000000;
const long kRetryStepsPerCharacter = 50;
const long kMinimumRetrySteps = 1000000;

// The step count so far plus an allowance for an input of the given size, held at the largest
// count the step counter can reach: for inputs past about a megabyte the plain product would
// overflow and end the parse before its first step.
inline long StepAllowance(long stepsSoFar, long minimum, long perCharacter, long size)
{
    const int64_t allowance = int64_t(stepsSoFar) + minimum + int64_t(perCharacter) * size;
    return allowance > INT32_MAX ? long(INT32_MAX) : long(allowance);
}

inline int32_t Clamp(long value) { return value < 0 ? 0 : static_cast<int32_t>(value); }

// Lower case of every byte in the C locale, for every case-folded comparison of the input.
struct FoldTable {
    unsigned char map[256];
    FoldTable()
    {
        for (int c = 0; c < 256; ++c)
            map[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    unsigned char operator[](unsigned char c) const { return map[c]; }
};
inline const FoldTable kFold;

} // namespace qvparse

inline bool ParserImp::CaseSensitive(const Settings& s) const { return (s.bits & qvparse::kCase) != 0; }

// Keywords need a delimiter only where whitespace separates items and no token rules.
inline bool ParserImp::DelimiterCheck(const Settings& s) const
{
    if (s.token || (s.bits & qvparse::kInToken))
        return false;
    return s.wsCount > 0 || (s.spaceSymbol && !(s.bits & qvparse::kInSpace));
}
