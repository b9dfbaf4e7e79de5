// wexlorn: converts every .rhu script of a folder (or of the current folder) into a packed
// data file of the same title beside it.
#include "converter/core/CDatabase.h"
#include "converter/core/CRhuParser.h"
#include "converter/core/CzFileFind.h"
#include "converter/core/ChParser.h"
#include "converter/core/PathOperations.h"
#include "converter/core/ConsoleOutput.h"
#include "converter/core/ScriptPath.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char Usage[] = "usage: wexlorn [FOLDER]\n"
                     "Converts every .rhu script of FOLDER (default: the current folder) into a .zel file beside it.\n";

// Every interpreter of the run works on this one database; its settings carry from file to file.
CDatabase g_Database;

bool AsksForHelp(const char* argument)
{
    return strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0 || strcmp(argument, "/?") == 0;
}

bool IsFolder(const char* name)
{
    struct stat status;
    return stat(ScriptPath(name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

int RefuseArguments(const char* reason)
{
    fprintf(stderr, "wexlorn: %s\n%s", reason, Usage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    printf("\nwexlorn - File Converter\n");
    printf("Scripts in, packed data out.\n");
    VerboseLevel = 0;

    if (argc == 2 && AsksForHelp(argv[1])) {
        printf("\n%s\n", Usage);
        CRhuParser().ListCommands();
        return 0;
    }
    if (argc > 2)
        return RefuseArguments("more than one folder given");
    if (argc == 2 && !IsFolder(argv[1]))
        return RefuseArguments((std::string("no folder named ") + argv[1]).c_str());

    const std::vector<std::string> platforms = {"PCX"};
    const std::string pattern = argc == 2 ? std::string(argv[1]) + "\\*.rhu" : std::string("*.rhu");
    CzFileFind found(pattern.c_str(), false);
    for (int index = 0; const char* path = found.GetFile(index); ++index) {
        // Shown the way this system's shell writes paths, so that it can be pasted into one.
        printf("\nProcessing %s\n", ScriptPath(path).c_str());
        const std::string source = path;
        const std::string output = std::string(StripExtension(source.c_str())) + ".zel";
        LoadTypeResource("RhuTypes");
        CRhuParser parser;
        parser.Run(&g_Database, source.c_str(), output.c_str(), platforms, true);
    }
    return 0;
}
