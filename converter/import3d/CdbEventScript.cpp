#include "converter/import3d/CdbEventScript.h"

#include "converter/core/AutoStringLabel.h"
#include "converter/core/CDatabase.h"
#include "converter/core/CTypeDatabase.h"
#include "converter/core/CZelWriter.h"
#include "converter/core/CdbString.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"
#include "converter/core/CRhuParser.h"
#include "qvrn/ParserInterface.h"

#include "core/names/CCRC32.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

CdbEventScript* CdbEventScript::Current = nullptr;

namespace {

std::string Text(CRhuParser& parser, int node, const char* symbol)
{
    const char* text = parser.GetChildText(node, symbol, false);
    return text ? text : "";
}

// A value written as a number: decimal, or hexadecimal after "0x".
bool IsNumber(const std::string& text, unsigned long* value = nullptr)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long number = strtoul(text.c_str(), &end, 0);
    if (*end)
        return false;
    if (value)
        *value = number;
    return true;
}

ZVariant Typed(const char* typeName, const std::string& text)
{
    ZVariant value;
    value.Set(typeName, text.c_str());
    return value;
}

} // namespace

// Events of a later conversion never join a script that went with its database.
CdbEventScript::~CdbEventScript()
{
    if (Current == this)
        Current = nullptr;
}

void CdbEventScript::Parse(CRhuParser& parser, int node)
{
    TimeStampText = Text(parser, node, "TimeStamp");
    LoopCountText = Text(parser, node, "LoopCount");
    Current = this;
}

void CdbEventScript::AddEvent(CdbEvent* event)
{
    Events.push_back(event);
    for (size_t i = Events.size() - 1; i >= 1; --i)
        if (Events[i]->TimeStamp < Events[i - 1]->TimeStamp)
            std::swap(Events[i], Events[i - 1]);
}

void CdbEventScript::Dump(CZelWriter& writer)
{
    CType* record = TypeDatabase.FindType("CRecordedScript", true);
    record->Begin(writer, GetLabel(), true, 0);
    record->Dump(writer, "BaseTime", Typed("float", TimeStampText.empty() ? "0" : TimeStampText), false, nullptr);
    record->Dump(writer, "LoopCount", Typed("signed long", LoopCountText.empty() ? "0" : LoopCountText), false,
                 nullptr);
    record->AdjustOffset(writer, "Data");
    for (const CdbEvent* event : Events)
        writer.AddPointerFixup(event->GetLabel(), "event");
    writer.AddPointerFixup(nullptr, "end of events");
}

void CdbEvent::Parse(CRhuParser& parser, int node)
{
    TimeStamp = static_cast<float>(atof(parser.GetChildText(node, "TimeStamp", true)));
    MessageClass = parser.GetChildText(node, "MessageIdentifier", true);
    Target = Text(parser, node, "TargetZelLabel");
    Place = parser.PlaceOf(node);
    ParserInterface* runtime = parser.Parser();
    for (int child = runtime->GetChildNode(node, 0); child; child = runtime->GetNextSibling(child)) {
        if (std::string(parser.NodeName(child)) != "EventParam")
            continue;
        EventParam param;
        param.MemberLabel = parser.GetChildText(child, "MemberLabel", true);
        param.Value = Text(parser, child, "Value");
        if (param.Value.empty()) {
            const std::string quoted = parser.GetChildText(child, "QuotedString", true);
            param.Value = NextAutoStringLabel(CCRC32::GetCRC(quoted.c_str()), 0, GetDatabase());
            CdbString* text = new CdbString(param.Value.c_str(), GetDatabase());
            text->SetText(quoted.c_str(), false, ZelFormat::kSegData, false, true);
        }
        Params.push_back(param);
    }
    if (CdbEventScript::Current)
        CdbEventScript::Current->AddEvent(this);
}

void CdbEvent::Dump(CZelWriter& writer)
{
    VerbosePrintf(2, "  CdbEvent::Dump() : %s \n", GetLabel());
    const std::string label = GetLabel();
    unsigned long target = 0;
    if (!Target.empty()) {
        const bool hex = Target.size() > 2 && Target[0] == '0' && (Target[1] == 'x' || Target[1] == 'X');
        target = strtoul(Target.c_str(), nullptr, hex ? 16 : 10);
        if (!target)
            target = CCRC32::GetCRC(Target.c_str());
    }
    CType* message = TypeDatabase.FindType(MessageClass.c_str(), false);
    if (!message)
        vbail("%s : error : event %s: the type file has no message class %s\n", Place.c_str(), GetLabel(),
              MessageClass.c_str());
    const unsigned long id = TypeDatabase.GetConstant((MessageClass + "_CMessageId").c_str(), true);

    CType* header = TypeDatabase.FindType("CRecorderData", true);
    header->Begin(writer, label.c_str(), false, 0);
    header->Dump(writer, "TimeStamp", ZVariant(TimeStamp), false, nullptr);
    header->Dump(writer, "TargetZelLabel", Typed("unsigned long", std::to_string(target)), false, nullptr);
    header->Dump(writer, "Handle1", Typed("offset", label + "_handle1"), false, nullptr);
    header->Dump(writer, "Handle2", Typed("offset", label + "_handle2"), false, nullptr);
    header->AdjustOffset(writer, nullptr);

    message->Begin(writer, nullptr, false, 0);
    message->Dump(writer, "MessageId", Typed("unsigned long", std::to_string(id)), false, nullptr);
    int handles = 0;
    for (const EventParam& param : Params) {
        unsigned long offset = 0;
        CMember* member = nullptr;
        CType* type = message->FindMemberPath(param.MemberLabel.c_str(), offset, &member);
        if (!type)
            vbail("%s : error : event %s: %s has no member %s\n", Place.c_str(), GetLabel(), MessageClass.c_str(),
                  param.MemberLabel.c_str());
        std::string path = param.MemberLabel;
        std::string value = param.Value;
        std::string symbol;
        if (!(member && member->IsPointer) && std::string(type->GetName()) == "HGOBJECT") {
            path += ".Handle";
            if (!IsNumber(value)) {
                char key[16];
                snprintf(key, sizeof key, "0x%08lX", CCRC32::GetCRC(value.c_str()));
                value = key;
                if (++handles > 2)
                    vbail("Only have fixup info for 2 handles in message blocks!");
                symbol = label + "_handle" + std::to_string(handles);
            }
            type = message->FindMemberPath(path.c_str(), offset, &member);
        }
        ZVariant converted;
        if (member && member->IsPointer)
            converted.Set("pointer", value == "NULL" || value == "0" ? "" : value.c_str());
        else
            converted.Set(type->GetName(), value.c_str());
        message->Dump(writer, path.c_str(), converted, true, symbol.empty() ? nullptr : symbol.c_str());
    }
    message->AdjustOffset(writer, nullptr);
}

namespace {

const unsigned long FrameMagic = 0x654F632F;
const size_t FrameHeaderSize = 84;
const size_t MaxPayload = 4012;

struct Frame {
    float Time = 0.0f;
    uint32_t TargetKey = 0;
    std::string TargetLabel;
    uint32_t MessageId = 0;
    std::vector<unsigned char> Payload; // always MaxPayload bytes, zero past the recorded size
};

uint32_t Word(const unsigned char* bytes)
{
    uint32_t word;
    memcpy(&word, bytes, 4);
    return word;
}

// The declared type a script's Event statement accepts for a value of this type.
std::string ScriptTypeName(const std::string& typeName)
{
    if (typeName == "float" || typeName == "double")
        return "float";
    if (typeName == "pointer")
        return "void*";
    if (typeName == "unsigned long" || typeName == "int" || typeName == "long" || typeName == "CCRC32")
        return typeName;
    return "long";
}

std::string ValueText(const ZVariant& value)
{
    const std::string type = value.GetTypeName();
    char text[64];
    if (type == "float") {
        float f;
        memcpy(&f, value.GetData(), 4);
        snprintf(text, sizeof text, "%.9g", f);
        return text;
    }
    return value.ToString();
}

std::vector<Frame> ReadRecording(const char* name, float& startTime)
{
    FILE* file = OpenScriptFile(name, "rb");
    if (!file)
        vbail("\nCannot open file!\n%s: %s\n", name, strerror(errno));
    std::unique_ptr<FILE, int (*)(FILE*)> closer(file, fclose);
    if (fread(&startTime, 4, 1, file) != 1)
        vbail("\nRecording conversion error!\n%s is too short to hold its start time\n", name);
    std::vector<Frame> frames;
    for (;;) {
        unsigned char header[FrameHeaderSize];
        const size_t got = fread(header, 1, FrameHeaderSize, file);
        if (got == 0)
            break;
        if (got != FrameHeaderSize)
            vbail("\nRecording conversion error!\n%s: message %d is cut off in its header\n", name,
                  static_cast<int>(frames.size()));
        VerbosePrintf(3, "\nMessage %d\n", static_cast<int>(frames.size()));
        if (Word(header) != FrameMagic)
            vbail("\nRecording conversion alignment error!\n(Magic# is messed up)\n%s: message %d\n", name,
                  static_cast<int>(frames.size()));
        const uint32_t size = Word(header + 76);
        if (size > MaxPayload)
            vbail("\nRecording conversion input buffer overflow!\n%s: message %d holds %lu bytes\n", name,
                  static_cast<int>(frames.size()), static_cast<unsigned long>(size));
        Frame frame;
        memcpy(&frame.Time, header + 4, 4);
        frame.TargetKey = Word(header + 8);
        frame.TargetLabel.assign(reinterpret_cast<const char*>(header + 12),
                                 strnlen(reinterpret_cast<const char*>(header + 12), 64));
        frame.MessageId = Word(header + 80);
        frame.Payload.assign(MaxPayload, 0);
        if (size && fread(frame.Payload.data(), 1, size, file) != size)
            vbail("\nRecording conversion error!\n%s: message %d is cut off in its %lu bytes of message\n", name,
                  static_cast<int>(frames.size()), static_cast<unsigned long>(size));
        frames.push_back(std::move(frame));
    }
    return frames;
}

} // namespace

// The whole recording is read and checked before the script is written, so that a damaged
// recording leaves no half-written script behind, and a NEXT pointer knows whether a next
// message of its kind exists.
void CRecordingConverter::Convert(const char* recordingName, const char* outputName)
{
    float startTime = 0.0f;
    std::vector<Frame> frames = ReadRecording(recordingName, startTime);

    struct Named {
        std::string ClassName, Target;
        CType* Type;
        int Counter;
    };
    std::vector<Named> names;
    std::map<std::string, int> counters;
    for (const Frame& frame : frames) {
        const CConstant* constant = TypeDatabase.FindConstantByValue(nullptr, "_CMessageId", frame.MessageId);
        if (!constant)
            vbail("Cannot find message class to match!\nmsgID = %08lx\n", static_cast<unsigned long>(frame.MessageId));
        std::string className = constant->GetName();
        className.resize(className.size() - strlen("_CMessageId"));
        CType* type = TypeDatabase.FindType(className.c_str(), false);
        if (!type)
            vbail("Cannot find message class to match!\nmsgID = %08lx\n", static_cast<unsigned long>(frame.MessageId));
        char key[16];
        snprintf(key, sizeof key, "0x%08lX", static_cast<unsigned long>(frame.TargetKey));
        const std::string target = frame.TargetLabel.empty() ? key : frame.TargetLabel;
        names.push_back({className, target, type, counters[className + "_" + target]++});
    }

    FILE* out = outputName && *outputName ? fopen(ScriptPath(outputName).c_str(), "w") : stdout;
    if (!out)
        vbail("\nCannot open file!\n%s: %s\n", outputName, strerror(errno));
    fprintf(out, "\n// Event script - started at %g\n", startTime);
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& frame = frames[i];
        const Named& name = names[i];
        const std::string base = name.ClassName + "_" + name.Target;
        char label[512];
        snprintf(label, sizeof label, "%s_%03d", base.c_str(), name.Counter);
        VerbosePrintf(3, "  Time = %g\n", frame.Time);
        VerbosePrintf(3, "  TargetZelLabel = %08lX\n", static_cast<unsigned long>(frame.TargetKey));
        fprintf(out, "\nEvent %s\n\t%.9g\t// Timestamp\n\t%s\t// Msg Class\n\t%s\t// Target ZELLABEL code.\n{\n", label,
                frame.Time, name.ClassName.c_str(), name.Target.c_str());
        name.Type->BuildMemberList(frame.Payload.data());
        while (CExtractInfo* member = name.Type->NextMember()) {
            const std::string memberName = member->Path;
            if (member->InRootClass && memberName != "Priority")
                continue;
            std::string typeName = memberName == "Priority" ? "int" : ScriptTypeName(member->Value.GetTypeName());
            std::string value = ValueText(member->Value);
            if (member->Value.GetTypeName() == std::string("pointer")) {
                std::string upper = memberName;
                for (char& c : upper)
                    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
                const bool prev = upper.find("PREV") != std::string::npos;
                const bool next = !prev && upper.find("NEXT") != std::string::npos;
                const int other = prev ? name.Counter - 1 : name.Counter + 1;
                // The first message has no previous one and the last no next one.
                if (prev || next) {
                    char linked[512];
                    snprintf(linked, sizeof linked, "%s_%03d", base.c_str(), other);
                    value = other < 0 || other >= counters[base] ? "NULL" : linked;
                } else {
                    value = "NULL";
                }
                typeName = "void*";
            }
            fprintf(out, "    %s %s = %s\n", typeName.c_str(), memberName.c_str(), value.c_str());
        }
        fprintf(out, "}\n");
    }
    if (out != stdout && fclose(out) != 0)
        vbail("\nCannot write file!\n%s: %s\n", outputName, strerror(errno));
}
