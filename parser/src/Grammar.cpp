#include "qvrn/Grammar.h"

#include "qvrn/Instructions.h"
#include "qvrn/QVError.h"
#include "qvrn/QuorvaneAPI.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>

GrammarContext* GrammarContext::CreateNew() { return new (std::nothrow) GrammarContext(); }

void GrammarContext::Delete(GrammarContext* context) { delete context; }

template <typename Entry> static void FreeEntries(PtrArray& list)
{
    for (long i = 0; i < list.GetSize(); ++i)
        delete static_cast<Entry*>(list.GetAt(i));
    list.RemoveAll();
}

// Takes a new listener entry into its list; one the list has no room for is freed.
template <typename Entry> static long AddEntry(PtrArray& list, Entry* entry)
{
    if (!entry || list.Add(entry) < 0) {
        delete entry;
        return 0;
    }
    return 1;
}

// Removes and frees the first entry whose `field` holds `value`.
template <typename Entry, typename Field> static void RemoveEntry(PtrArray& list, Field Entry::*field, Field value)
{
    for (long i = 0; i < list.GetSize(); ++i) {
        Entry* entry = static_cast<Entry*>(list.GetAt(i));
        if (entry->*field == value) {
            list.RemoveAt(i);
            delete entry;
            return;
        }
    }
}

GrammarContext::~GrammarContext()
{
    FreeEntries<EventEntry>(eventListeners);
    FreeEntries<PositionEntry>(positionListeners);
    FreeEntries<OutsideEntry>(outsideSymbols);
}

long GrammarContext::GetSymbolType(long offset) const
{
    if (offset <= 0 || offset > GetByteCodeLength() - 4)
        return -1;
    return QVReadInt(GetByteCode(), offset);
}

char* GrammarContext::GetSymbolName(long offset, char* dst, long len) const
{
    if (offset == 0)
        Post(kQVNoSymbolName);
    return QVGetInstructionName(*this, offset, dst, len);
}

long GrammarContext::RegisterPositionListener(long position, QVPositionListener* listener)
{
    return AddEntry(positionListeners, new (std::nothrow) PositionEntry{position, listener});
}

void GrammarContext::UnregisterPositionListener(QVPositionListener* listener)
{
    RemoveEntry(positionListeners, &PositionEntry::listener, listener);
}

GrammarImp* GrammarImp::CreateNew(GrammarContext* context, QuorvaneAPI* api)
{
    return context ? new (std::nothrow) GrammarImp(context, api) : nullptr;
}

void GrammarImp::Delete(GrammarImp* grammar) { delete grammar; }

GrammarImp::~GrammarImp() { GrammarContext::Delete(context_); }

GrammarImp* GrammarImp::Finish(GrammarContext* context, QuorvaneAPI* api)
{
    context->SortContexts();
    long format = context->GetFormat();
    if (format < 4 || format > 7) {
        if (api)
            api->ThrowError(kQVWrongGrammarVersion);
        GrammarContext::Delete(context);
        return nullptr;
    }
    context->format7 = format == 7;
    GrammarImp* grammar = CreateNew(context, api);
    if (!grammar)
        GrammarContext::Delete(context);
    return grammar;
}

GrammarImp* GrammarImp::LoadGrammarFromBuffer(const char* image, QuorvaneAPI* api)
{
    GrammarContext* context = GrammarContext::CreateNew();
    if (!context)
        return nullptr;
    context->SetErrorManager(api ? api->GetErrorManager() : nullptr);
    if (!context->SerializeFromBuffer(image)) {
        if (api)
            api->ThrowError(kQVGrammarOpenFailed);
        GrammarContext::Delete(context);
        return nullptr;
    }
    return Finish(context, api);
}

GrammarImp* GrammarImp::LoadGrammarFromBuffer(const char* image, long size, QuorvaneAPI* api)
{
    GrammarContext* context = GrammarContext::CreateNew();
    if (!context)
        return nullptr;
    context->SetErrorManager(api ? api->GetErrorManager() : nullptr);
    if (!context->SerializeFromBuffer(image, size)) {
        if (api)
            api->ThrowError(kQVGrammarOpenFailed);
        GrammarContext::Delete(context);
        return nullptr;
    }
    return Finish(context, api);
}

GrammarImp* GrammarImp::LoadGrammar(const char* path, QuorvaneAPI* api)
{
    const char* dot = path ? strrchr(path, '.') : nullptr;
    if (!dot || (strcasecmp(dot, ".GMR") != 0 && strcasecmp(dot, ".GOB") != 0)) {
        if (api) {
            QVError* error = api->ThrowError(kQVBadGrammarExtension);
            if (error) {
                error->SetTextAttribute("PathName", path ? path : "");
                error->SetTextAttribute("ExtensionExpected", ".GMR");
            }
        }
        return nullptr;
    }
    GrammarContext* context = GrammarContext::CreateNew();
    if (!context)
        return nullptr;
    context->SetErrorManager(api ? api->GetErrorManager() : nullptr);
    if (!context->Serialize(path, 0)) {
        if (api) {
            QVError* error = api->ThrowError(kQVGrammarOpenFailed);
            if (error)
                error->SetTextAttribute("PathName", path);
        }
        GrammarContext::Delete(context);
        return nullptr;
    }
    return Finish(context, api);
}

char* GrammarImp::GetStartSymbolName(char* dst, long len)
{
    return context_->BuildQualifiedName(context_->GetDefaultStartRule(), 1, dst, len);
}

char* GrammarImp::GetQualifiedName(long ctx, char* dst, long len)
{
    return context_->BuildQualifiedName(ctx, 1, dst, len);
}

long GrammarImp::Resolve(const char* name) { return context_->Resolve(1, name); }

long GrammarImp::ResolveForRegistration(const char* name, long code)
{
    if (!name || !*name)
        return 0;
    long symbol = context_->Resolve(1, name);
    if (!symbol && api_) {
        QVError* error = api_->ThrowError(code);
        if (error)
            error->SetTextAttribute("SymbolName", name);
        return -1;
    }
    return symbol ? symbol : -1;
}

long GrammarImp::RegisterOutsideSymbol(const char* name, QVOutsideSymbolHandler* handler)
{
    long symbol = ResolveForRegistration(name, kQVExternalRegistrationFailed);
    if (symbol < 0)
        return 0;
    return AddEntry(context_->outsideSymbols, new (std::nothrow) GrammarContext::OutsideEntry{symbol, handler});
}

void GrammarImp::UnregisterOutsideSymbol(QVOutsideSymbolHandler* handler)
{
    RemoveEntry(context_->outsideSymbols, &GrammarContext::OutsideEntry::handler, handler);
}

long GrammarImp::RegisterEventListener(const char* name, long mask, QVEventListener* listener)
{
    long symbol = ResolveForRegistration(name, kQVListenerRegistrationFailed);
    if (symbol < 0)
        return 0;
    return AddEntry(context_->eventListeners, new (std::nothrow) GrammarContext::EventEntry{symbol, mask, listener});
}

void GrammarImp::UnregisterEventListener(QVEventListener* listener)
{
    RemoveEntry(context_->eventListeners, &GrammarContext::EventEntry::listener, listener);
}

char* GrammarImp::GetVersionStr(const char* prefix, char* dst, long len)
{
    if (!dst || len <= 0)
        return dst;
    dst[0] = 0;
    char name[300];
    snprintf(name, sizeof name, "%s%s<VERSION>", prefix && *prefix ? prefix : "", prefix && *prefix ? "." : "");
    long ctx = context_->Resolve(1, name);
    if (!ctx)
        ctx = context_->Resolve(0, name);
    long offset = context_->GetValue(ctx);
    if (ctx && context_->GetSymbolType(offset) == QV_LITERAL) {
        const char* code = context_->GetByteCode();
        long n = QVReadInt(code, offset + 4);
        snprintf(dst, len, "%.*s", static_cast<int>(n), code + offset + 8);
    }
    return dst;
}
