// wexlorn: converts every .rhu script of a folder (or of the current folder) into a packed
// data file of the same title beside it.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CzFileFind.h"
#include "converter/core/ChParser.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ConsoleOutput.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Every interpreter of the run works on this one database; its settings carry from file to file.
CDatabase g_Database;

} // namespace

int main(int argc, char** argv)
{
    printf("\nwexlorn - File Converter\n");
    printf("Scripts in, packed data out.\n");
    VerboseLevel = 0;

    const std::vector<std::string> platforms = {"PCX"};
    const std::string pattern = argc == 2 ? std::string(argv[1]) + "\\*.rhu" : std::string("*.rhu");
    CzFileFind found(pattern.c_str(), false);
    for (int index = 0; const char* path = found.GetFile(index); ++index) {
        printf("\nProcessing %s\n", path);
        const std::string source = path;
        const std::string output = std::string(StripExtension(source.c_str())) + ".zel";
        LoadTypeResource("RhuTypes");
        CRhuParser parser;
        parser.Run(&g_Database, source.c_str(), output.c_str(), platforms, true);
    }
    return 0;
}
