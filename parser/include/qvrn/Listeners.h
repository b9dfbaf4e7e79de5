#pragma once

class QVError;
class QVGrammar;
class QVInputStream;
class QVParseTree;

// What an event listener, position listener or outside-symbol handler sees of a running parse.
class QVParseEventContext {
public:
    virtual ~QVParseEventContext() = default;
    virtual QVGrammar* GetGrammar() = 0;
    virtual QVParseTree* GetTree() = 0;
    virtual long GetUserValue() = 0;
    virtual void SetUserValue(long value) = 0;
    virtual long GetInheritedUserValue() = 0;
    virtual QVInputStream* GetStream() = 0;
    virtual char* GetText(char* dst, long len) = 0;
    virtual long GetStart() = 0;
    virtual long GetLength() = 0;
    virtual long GetSymbol() = 0;
    virtual long GetInstruction() = 0;
    virtual QVError* PostError(long code) = 0;
    virtual QVError* PostWarning(long code) = 0;
};

// Told of frame events (1 entered, 2 matched, 4 failed); answering -1 turns a match into a failure.
class QVEventListener {
public:
    virtual ~QVEventListener() = default;
    virtual long OnEvent(long symbol, long eventType, QVParseEventContext* context) = 0;
};

class QVPositionListener {
public:
    virtual ~QVPositionListener() = default;
    virtual long OnPosition(QVParseEventContext* context, long start, long length) = 0;
};

// Supplies the match of an outside symbol: a length, -1 for no match, below -1 to abort.
class QVOutsideSymbolHandler {
public:
    virtual ~QVOutsideSymbolHandler() = default;
    virtual long Match(long symbol, QVInputStream* stream, long budget, int caseSensitive, const char* whitespace,
                       QVEventListener* listener) = 0;
};

// Called every `interval` steps; a non-zero answer aborts the parse.
class QVYieldListener {
public:
    explicit QVYieldListener(long interval) : interval(interval) {}
    virtual ~QVYieldListener() = default;
    virtual long OnYield(long steps, QVParseEventContext* context) = 0;
    long interval;
};
