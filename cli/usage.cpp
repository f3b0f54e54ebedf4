#include "cli/usage.h"

#include "cli/choices.h"

namespace quorvant::cli {

std::string UsageText()
{
    const std::string program = kProgramName;
    return "Usage: " + program + " [OPTIONS] INPUT OUTPUT\n"
           "       " + program + " [OPTIONS] --out-dir DIR INPUT...\n"
           "Converts WAVE files to another sample width, rate or channel count.\n"
           "\n"
           "Options:\n"
           "  --bits " + BitNamesList() + "\n"
           "                  sample width: 32 is integer, 32float IEEE float\n"
           "                  (default " + std::string(kBitNames[kDefaultBitIndex]) + ")\n"
           "  --rate R        sample rate in Hz (default " + std::string(RateChoices[kDefaultRateIndex]) + "), one of\n"
           "                  " + RateNamesList() + "\n"
           "  --channels " + ChannelNamesList() + "\n"
           "                  channel count (default " + std::string(ChannelChoices[kDefaultChannelIndex]) + ")\n"
           "  --out-dir DIR   convert every INPUT into DIR under its own file name,\n"
           "                  printing one result line per file\n"
           "  --help          show this text\n"
           "  --version       show the version\n"
           "  --              end of options (for file names that start with '-')\n"
           "\n"
           "Exit status: 0 when every file was converted, 1 when one was not,\n"
           "2 for a wrong command line.\n";
}

}  // namespace quorvant::cli
