#include "gui/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "keelsong_version.h"

namespace keelsong {

namespace {

constexpr char kProgramName[] = "keelsong";

// Qt names the program in the usage line by the path it was started with, or by a placeholder
// before the application exists; the terminal and the man page want its name.
QString HelpText(const QCommandLineParser& parser) {
    QString help = parser.helpText();
    const qsizetype options_at = help.indexOf(QStringLiteral(" [options]"));
    if (options_at >= 0) {
        help.replace(0, options_at, QStringLiteral("Usage: ") + QLatin1String(kProgramName));
    }
    return help;
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-reverse" and the other one-dash options of Qt's own are words, never a bundle of
    // one-letter options that might hold -h or -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Configures and controls an Orvane sound-projector unit attached over USB-serial."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this text and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write every frame sent to the unit and every answer read or missed to "
                       "FILE, one line each: milliseconds since the start, direction, command, "
                       "attempt, outcome and payload in hex. For a bug report."),
        QStringLiteral("FILE"));
    const QCommandLineOption fleet(
        QStringLiteral("fleet"),
        QStringLiteral("Open the fleet window as well: every unit attached, each with its state "
                       "and its match against a deployment, to write, set or update them all at "
                       "once."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(trace);
    parser.addOption(fleet);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A configuration file (.tlk) to load once start-up has made its "
                       "connection attempt, as \"Load\" does."),
        QStringLiteral("[FILE]"));

    const bool understood = parser.parse(arguments);
    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::kShowHelp;
        line.text = HelpText(parser);
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::kShowVersion;
        line.text =
            QStringLiteral("%1 %2\n").arg(QLatin1String(kProgramName), QLatin1String(kVersion));
        return line;
    }
    QString problem = understood ? QString() : parser.errorText();
    const QStringList files = parser.positionalArguments();
    if (problem.isEmpty() && files.size() > 1) {
        problem = QStringLiteral("Only one FILE can be loaded.");
    }
    if (problem.isEmpty() && parser.isSet(trace) && parser.value(trace).isEmpty()) {
        problem = QStringLiteral("--trace needs a file.");
    }
    if (!problem.isEmpty()) {
        line.action = CommandLine::Action::kBadUsage;
        line.text =
            QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(kProgramName), problem);
        return line;
    }
    if (!files.isEmpty()) {
        line.config_file = files.front();
    }
    line.trace_file = parser.value(trace);
    line.fleet = parser.isSet(fleet);
    return line;
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

}  // namespace keelsong
