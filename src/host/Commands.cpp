// The list of commands and what every command does before its own work.
#include "Commands.h"

#include <cstdio>

#include "ConfigureCommand.h"
#include "Demo.h"
#include "HostJob.h"
#include "InfoCommand.h"
#include "RenderCommand.h"
#include "SettingsCommand.h"

namespace host {

std::span<const Command* const> Commands() {
    static const Command* const kCommands[] = {&kRenderCommand, &kThumbnailCommand, &kInfoCommand, &kSettingsCommand,
                                               &kConfigureCommand, &kDemoCommand};
    return kCommands;
}

std::string ProgramUsage() {
    std::string out = "usage: tonefade-host COMMAND [OPTIONS]\n\nCommands:\n";
    for (const Command* c : Commands()) out += UsageItem(std::string("  ") + c->name, c->summary, 13);
    std::string common = "Every command takes";
    std::span<const Option> table = CommonOptionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Option& o = table[i];
        common += (i == 0 ? " " : i + 1 == table.size() ? " and " : ", ") +
                  (o.shortName ? std::string(o.shortName) + " (" + o.name + ")" : OptionSynopsis(o));
    }
    return out + "\n" + UsageItem("", common + ".", 0) +
           UsageItem("", "Run 'tonefade-host COMMAND -h' for a command's options, and 'tonefade-host --version' for "
                         "the versions of the program, the plug-in and FFmpeg.", 0);
}

int RunCommand(const std::string& name, int argc, char** argv) {
    for (const Command* command : Commands()) {
        if (name != command->name) continue;
        OptionValues values(*command, CommonOptionTable(), argc, argv, 2);
        if (values.Flag("--help")) return std::fputs(Usage(*command, CommonOptionTable()).c_str(), stdout), 0;
        return command->run(values);
    }
    std::fprintf(stderr, "tonefade-host: unknown command %s (see tonefade-host --help)\n", name.c_str());
    return 2;
}

}  // namespace host
