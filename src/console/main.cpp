// keystrand-update's entry point: read the command line, set up this machine's services, run.
#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/ProductNames.h"
#include "console/os/Platform.h"
#include "console/os/StopSignal.h"
#include "console/run/ConsoleRun.h"
#include "console/run/Options.h"
#include "console/words/ExitCodes.h"

int main(int argc, char** argv) {
    // The character set of the user's locale decides how the output may spell an ellipsis.
    std::setlocale(LC_CTYPE, "");
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    console::Options options;
    std::string error;
    if (!console::ParseOptions(args, &options, &error)) {
        std::fprintf(stderr, CONSOLE_PROGRAM_NAME ": %s\n", error.c_str());
        return console::kExitUsage;
    }
    if (options.help) {
        std::fputs(console::HelpText(CONSOLE_PROGRAM_NAME).c_str(), stdout);
        return console::kExitSuccess;
    }
    if (options.version) {
        std::printf("%s\n", console::VersionText(CONSOLE_PROGRAM_NAME).c_str());
        return console::kExitSuccess;
    }
    try {
        console::InstallStopHandlers();
        const std::unique_ptr<console::Platform> platform = console::MakePlatform();
        return console::RunConsole(options, *platform, stdout, stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, CONSOLE_PROGRAM_NAME ": %s\n", e.what());
        return console::kExitOther;
    }
}
