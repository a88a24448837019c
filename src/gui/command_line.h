#pragma once

#include <QString>
#include <QStringList>

namespace keelsong {

// What keelsong's command line asks for.
struct CommandLine {
    enum class Action {
        kRun,          // start the program
        kShowHelp,     // print `text` to the standard output and exit 0
        kShowVersion,  // likewise
        kBadUsage,     // print `text` to the standard error and exit 2
    };
    Action action = Action::kRun;
    QString text;
    // A configuration file to load once start-up is over; empty for none.
    QString config_file;
    // Where to write the protocol trace; empty for none.
    QString trace_file;
    // Whether the fleet window opens at start-up.
    bool fleet = false;
};

// Reads the arguments, the program's name first. Options are defined in one place in the .cpp:
// a new one is an option there and a field above.
CommandLine ReadCommandLine(const QStringList& arguments);

// The process's arguments as Qt decodes them, for a line read before the application exists.
QStringList ArgumentsOf(int argc, char** argv);

}  // namespace keelsong
