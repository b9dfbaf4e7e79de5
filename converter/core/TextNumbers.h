#pragma once

// Numbers as scripts write them: "0x" or "0X" introduces hexadecimal, anything else is decimal
// (a leading 0 does not mean octal). A null text reads as 0.
long ParseNumber(const char* text);
unsigned long ParseUnsigned(const char* text);

// True for a text that reads as a non-zero number, or that spells zero with digits and x's
// ("0", "000", "0x00"); false for null, empty and other texts.
bool IsNumber(const char* text);
