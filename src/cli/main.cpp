// keelsong-cli: the program's operations from a script, for one unit or a fleet at once.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "cli/cli.h"
#include "report/report_pdf.h"

namespace {

// QtGui lays out the report's text, which needs an application object, but never a display.
int WritePdfReport(const keelsong::ReportContent& report, const std::string& path) {
    char name[] = "keelsong-cli";
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    char* argv[] = {name, platform, offscreen, nullptr};
    int argc = 3;
    const QGuiApplication application(argc, argv);
    return keelsong::WriteReportPdf(report, path);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (a pipe into head) must not end the units' work half done.
    signal(SIGPIPE, SIG_IGN);

    keelsong::cli::CliEnvironment environment{std::cout, std::cerr, false,         80,
                                              "/dev",    {},        WritePdfReport};
    environment.err_is_terminal = isatty(STDERR_FILENO) == 1;
    if (winsize size{}; ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        environment.terminal_width = size.ws_col;
    }
    environment.environment = keelsong::PosixPlatform::ProcessEnvironment();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return keelsong::cli::RunCli(args, environment);
}
