// The CSV overview of every parameter block: which class each creates and the effective value
// of each field, inherited ones included.
#include "converter/core/CDatabase.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"
#include "converter/import2d/CdbEditableParams.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<CdbEditableParams*> ParameterBlocks(const CDatabase& database)
{
    std::vector<CdbEditableParams*> blocks;
    for (int i = 0; i < database.GetSize(); ++i)
        if (CdbEditableParams* block = dynamic_cast<CdbEditableParams*>(database[i]))
            blocks.push_back(block);
    return blocks;
}

// Every field name a block sets itself, in order of first appearance.
std::vector<std::string> Columns(const std::vector<CdbEditableParams*>& blocks)
{
    std::vector<std::string> columns;
    for (const CdbEditableParams* block : blocks)
        for (const auto& field : block->Fields())
            if (std::find(columns.begin(), columns.end(), field->Name) == columns.end())
                columns.push_back(field->Name);
    return columns;
}

void WriteRow(FILE* report, CdbEditableParams& block, const std::vector<std::string>& columns)
{
    std::vector<CdbEditableParams::UParamDefinition*> fields;
    block.CollectParams(fields);
    fprintf(report, "%s,%s", block.GetLabel(), block.FillDataType().c_str());
    for (const std::string& column : columns) {
        auto found =
            std::find_if(fields.begin(), fields.end(),
                         [&column](const CdbEditableParams::UParamDefinition* field) { return field->Name == column; });
        if (found == fields.end())
            fprintf(report, ",");
        else
            fprintf(report, ",%s", (*found)->Value.ToString());
    }
    fprintf(report, "\n");
}

} // namespace

void CDatabase::ParamReport(const char* fileName)
{
    FILE* report = fopen(ScriptPath(fileName).c_str(), "w");
    if (!report)
        vbail("Cannot open file\n%s", (std::string(fileName) + ": " + strerror(errno)).c_str());
    const std::vector<CdbEditableParams*> blocks = ParameterBlocks(*this);
    const std::vector<std::string> columns = Columns(blocks);
    fprintf(report, "ObjName,DumpType");
    for (const std::string& column : columns)
        fprintf(report, ",%s", column.c_str());
    fprintf(report, "\n");
    for (CdbEditableParams* block : blocks)
        WriteRow(report, *block, columns);
    const bool failed = ferror(report) != 0;
    if (fclose(report) != 0 || failed)
        vbail("Cannot write file\n%s", (std::string(fileName) + ": " + strerror(errno)).c_str());
}
