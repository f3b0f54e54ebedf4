// quorvant-convert: the converter without windows, for scripts and servers.

#include <cstdio>
#include <exception>

#include "cli/batch_convert.h"
#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/single_convert.h"
#include "cli/stderr_messages.h"
#include "cli/usage.h"
#include "wave/messages.h"

using namespace quorvant::cli;

int main(int argc, char** argv)
{
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n\n%s", kProgramName, e.what(), UsageText().c_str());
        return kExitUsage;
    }

    switch (options.action) {
    case Options::Action::Help:
        std::fputs(UsageText().c_str(), stdout);
        return kExitOk;
    case Options::Action::Version:
        std::printf("%s\n", kVersionText);
        return kExitOk;
    case Options::Action::Convert:
        break;
    }

    try {
        return options.batch() ? ConvertBatch(options) : ConvertSingleFile(options);
    } catch (const std::exception&) {
        // Anything the conversion paths do not handle themselves, such as memory
        // running out outside the engine, ends the run like an engine failure.
        PrintError(quorvant::texts::kEngineFailure);
        return kExitFailed;
    }
}
