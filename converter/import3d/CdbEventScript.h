#pragma once
// Event scripts: timed messages to named objects, written as a CRecordedScript record that
// points to each event's CRecorderData record and the message behind it; and the conversion of
// a recording made by the engine back into Event statements.
#include "converter/core/CdbElement.h"

#include <string>
#include <vector>

class CRhuParser;

class CdbEvent : public CdbElement {
public:
    struct EventParam {
        std::string MemberLabel;
        std::string Value;
    };

    CdbEvent(const char* label, CDatabase* database) : CdbElement(label, database) {}
    void Parse(CRhuParser& parser, int node);
    void Dump(CZelWriter& writer) override;

    float TimeStamp = 0.0f;
    std::string Target;
    std::string MessageClass;
    std::vector<EventParam> Params;
    std::string Place; // "file(line)" of the statement, for errors found when writing
};

class CdbEventScript : public CdbElement {
public:
    CdbEventScript(const char* label, CDatabase* database) : CdbElement(label, database) {}
    ~CdbEventScript() override;
    void Parse(CRhuParser& parser, int node);
    void AddEvent(CdbEvent* event);
    void Dump(CZelWriter& writer) override;

    std::string TimeStampText;
    std::string LoopCountText;
    std::vector<CdbEvent*> Events; // owned by the database, sorted by time stamp

    // The script Event statements join; none before the first EventScript of a conversion.
    static CdbEventScript* Current;
};

// Turns a recording file into script text of Event statements.
class CRecordingConverter {
public:
    void Convert(const char* recordingName, const char* outputName);
};
