#include "cli/ConvertTool.h"
#include "system/ProgramEntry.h"

int veskar::programMain(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return veskar::runConvertTool(args);
}
