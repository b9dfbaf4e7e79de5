#pragma once

// Numbers of the errors the script interpreter and the header reader report; the number is
// printed with every report, so these values are part of the converter's output.
enum ParserError {
    ErrSyntax = 0,
    ErrIdentifierExpected = 1,
    ErrSymbolExpected = 2,
    ErrTypeNameExpected = 3,
    ErrTypedefScope = 4,
    ErrGrammarNotLoadable = 5,
    ErrArraySpecifiers = 6,
    ErrUndefinedType = 7,
    ErrRedefinition = 8,
    ErrNotUnderstood = 9,
    ErrUndefinedCommand = 10,
    ErrFileNotFound = 11,
    ErrMaybe = 12,
    // Reported by CzParser::Error with a message of the caller's.
    ErrCustom = 65535,
};

// The message format of an error number (a printf format for the errors that take arguments).
const char* ParserErrorText(int errorNumber);
