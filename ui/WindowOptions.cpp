#include "ui/WindowOptions.h"

#include "ui/VersionInfo.h"

namespace quarrow {

namespace {

constexpr const char* kHelp = R"(Usage: quarrow [FILE]
       quarrow --help | --version

Opens the Quarrow window, which turns CSV files into an SQL script.
FILE, a CSV file, is loaded once the window shows. All arguments are joined
with single spaces into that one file name, so a path with spaces works with
or without quotes.

      --help      show this help and exit
      --version   show the version and exit

These options count only as the sole argument; to open a file called
--help, name it ./--help.

Environment:
  QUARROW_HTTPS_BASE  the maker's web server over HTTPS
                      (default https://www.tarnix.example)
  QUARROW_HTTP_BASE   the maker's web server over plain HTTP
                      (default http://www.tarnix.example)
  QUARROW_CA_BUNDLE   certificate bundle to trust instead of the system's
  XDG_CONFIG_HOME     folder of the settings file TARNIX/Quarrow.conf
                      (default ~/.config)

The command-line converter is quarrow-cli; see quarrow-cli --help.
)";

} // namespace

std::optional<int> answerWindowOption(const QStringList& arguments, const QString& executablePath, std::ostream& out)
{
    if (arguments.size() != 1)
        return std::nullopt;
    if (arguments[0] == u"--help") {
        out << kHelp;
        return 0;
    }
    if (arguments[0] == u"--version") {
        out << "quarrow " << FileVersionText(executablePath).toStdString() << '\n';
        return 0;
    }
    return std::nullopt;
}

} // namespace quarrow
