#pragma once

#include "qvrn/Context.h"
#include "qvrn/Listeners.h"
#include "qvrn/PtrArray.h"

class QuorvaneAPI;

// A compiled grammar as the runtime's callers see it.
class QVGrammar {
public:
    virtual ~QVGrammar() = default;
    virtual char* GetStartSymbolName(char* dst, long len) = 0;
    virtual char* GetQualifiedName(long ctx, char* dst, long len) = 0;
    virtual long Resolve(const char* name) = 0;
    virtual long RegisterOutsideSymbol(const char* name, QVOutsideSymbolHandler* handler) = 0;
    virtual void UnregisterOutsideSymbol(QVOutsideSymbolHandler* handler) = 0;
    virtual long RegisterEventListener(const char* name, long mask, QVEventListener* listener) = 0;
    virtual void UnregisterEventListener(QVEventListener* listener) = 0;
    virtual char* GetVersionStr(const char* prefix, char* dst, long len) = 0;
};

// The grammar tables plus the listeners registered on them.
class GrammarContext : public Context {
public:
    struct EventEntry {
        long symbol;
        long mask;
        QVEventListener* listener;
    };
    struct PositionEntry {
        long position;
        QVPositionListener* listener;
    };
    struct OutsideEntry {
        long symbol;
        QVOutsideSymbolHandler* handler;
    };

    static GrammarContext* CreateNew();
    static void Delete(GrammarContext* context);
    ~GrammarContext() override;

    long GetSymbolType(long offset) const;
    char* GetSymbolName(long offset, char* dst, long len) const;
    long RegisterPositionListener(long position, QVPositionListener* listener);
    void UnregisterPositionListener(QVPositionListener* listener);

    PtrArray eventListeners;
    PtrArray positionListeners;
    PtrArray outsideSymbols;
    QVYieldListener* yieldListener = nullptr;
    bool format7 = false;

private:
    GrammarContext() = default;
};

class GrammarImp : public QVGrammar {
public:
    static GrammarImp* CreateNew(GrammarContext* context, QuorvaneAPI* api);
    static GrammarImp* LoadGrammar(const char* path, QuorvaneAPI* api);
    static GrammarImp* LoadGrammarFromBuffer(const char* image, QuorvaneAPI* api);
    // Sized form: an image that runs past `size` is refused as invalid.
    static GrammarImp* LoadGrammarFromBuffer(const char* image, long size, QuorvaneAPI* api);
    static void Delete(GrammarImp* grammar);

    ~GrammarImp() override;
    char* GetStartSymbolName(char* dst, long len) override;
    char* GetQualifiedName(long ctx, char* dst, long len) override;
    long Resolve(const char* name) override;
    long RegisterOutsideSymbol(const char* name, QVOutsideSymbolHandler* handler) override;
    void UnregisterOutsideSymbol(QVOutsideSymbolHandler* handler) override;
    long RegisterEventListener(const char* name, long mask, QVEventListener* listener) override;
    void UnregisterEventListener(QVEventListener* listener) override;
    char* GetVersionStr(const char* prefix, char* dst, long len) override;

    void SetYieldListener(QVYieldListener* listener) { context_->yieldListener = listener; }
    GrammarContext* GetContext() { return context_; }
    QuorvaneAPI* GetAPI() { return api_; }

private:
    GrammarImp(GrammarContext* context, QuorvaneAPI* api) : context_(context), api_(api) {}
    static GrammarImp* Finish(GrammarContext* context, QuorvaneAPI* api);
    long ResolveForRegistration(const char* name, long code);

    GrammarContext* context_;
    QuorvaneAPI* api_;
};
