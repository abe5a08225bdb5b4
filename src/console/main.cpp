// keystrand-update's entry point: read the command line, set up this machine's services, run.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/ConsoleRun.h"
#include "console/ExitCodes.h"
#include "console/Options.h"
#include "console/Platform.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    console::Options options;
    std::string error;
    if (!console::ParseOptions(args, &options, &error)) {
        std::fprintf(stderr, "keystrand-update: %s\n", error.c_str());
        return console::kExitUsage;
    }
    if (options.help) {
        std::fputs(console::HelpText("keystrand-update").c_str(), stdout);
        return console::kExitSuccess;
    }
    std::unique_ptr<console::Platform> platform = console::MakePlatform(options, &error);
    if (platform == nullptr) {
        std::fprintf(stderr, "keystrand-update: %s\n", error.c_str());
        return console::kExitPort;
    }
    return console::RunConsole(options, *platform, stdout, stderr);
}
