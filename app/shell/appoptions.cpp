// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/appoptions.h>

#include <charconv>

const char* const kAppUsage
    = "usage: korvana [--demo] [--port PATH]... [--lang N] [--page N [--subpage N]] [--dialog NAME]\n"
      "               [--size WxH] [--verbose] [--screenshot FILE] [--dump-ui FILE] [--quit-after MS]\n"
      "               [--report OUT.pdf] [FILE...]\n"
      "       korvana --help | --version\n"
      "  --demo            start in demo mode without searching for the controller\n"
      "  --port PATH       also try this serial port (e.g. the simulator's)\n"
      "  --lang N          language index 0 ... 19 (0 Polish, 1 English)\n"
      "  --page N          start on page N: 0 Odczyty, 1 Ustawienia, 2 Zaawansowane,\n"
      "                    3 Kalibracja, 4 Mapa, 5 OBD, 6 Info\n"
      "  --subpage N       with --page 4: tuning page N of Mapa: 0 Mapa, 1 Mapa 2D,\n"
      "                    2 Korekty temperatury, 3 Korekty ciśnienia\n"
      "  --dialog NAME     open a dialog at start: level (Wskazanie), console (Konsolka),\n"
      "                    history (Historia: the controller's first restore point against it now)\n"
      "  --size WxH        window size in pixels, e.g. 1280x800\n"
      "  --verbose         write the log to stderr as well as to its file\n"
      "  --screenshot FILE save the main window as PNG and exit; when no controller\n"
      "                    answers, the no-connection dialog is saved and the exit status is 3\n"
      "  --dump-ui FILE    describe every visible window as JSON (widgets, menus, painted\n"
      "                    texts) when the screenshot is taken, or at --quit-after\n"
      "  --quit-after MS   exit after MS milliseconds (the screenshot is taken then)\n"
      "  --report OUT.pdf  connect, write the customer's report of the controller and exit\n"
      "                    without a window (status 1 when it could not be written)\n"
      "  FILE...           open once the window shows: a recording (.osc) plays back on\n"
      "                    Odczyty, a settings file (.settings) is offered for the controller,\n"
      "                    a firmware file (.afm) starts the update after asking\n"
      "  --version         print the version, the commit it was built from and the licence\n";

namespace {

std::optional<int> toInt(const std::string& text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<SAppOptions> parseAppOptions(const std::vector<std::string>& args, std::string& error)
{
    SAppOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--page") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            const auto n = toInt(*v);
            if (!n || *n < 0 || *n > 6) {
                error = "--page takes a page number 0 ... 6, not '" + *v + "'";
                return std::nullopt;
            }
            options.page = *n;
        } else if (arg == "--subpage") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            const auto n = toInt(*v);
            if (!n || *n < 0 || *n > 3) {
                error = "--subpage takes a tuning page number 0 ... 3, not '" + *v + "'";
                return std::nullopt;
            }
            options.subPage = *n;
        } else if (arg == "--dialog") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (*v != "level" && *v != "console" && *v != "history") {
                error = "--dialog takes level, console or history, not '" + *v + "'";
                return std::nullopt;
            }
            options.dialog = *v;
        } else if (arg == "--size") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            const std::size_t x = v->find_first_of("xX");
            const auto w = x == std::string::npos ? std::nullopt : toInt(v->substr(0, x));
            const auto h = x == std::string::npos ? std::nullopt : toInt(v->substr(x + 1));
            if (!w || !h || *w <= 0 || *h <= 0 || *w > 16384 || *h > 16384) {
                error = "--size takes WIDTHxHEIGHT in pixels, not '" + *v + "'";
                return std::nullopt;
            }
            options.size = std::make_pair(*w, *h);
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--port") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (v->empty()) {
                error = "--port needs a path";
                return std::nullopt;
            }
            options.ports.push_back(*v);
        } else if (arg == "--lang") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            const auto n = toInt(*v);
            if (!n || *n < 0 || *n > 19) {
                error = "--lang takes a language index 0 ... 19, not '" + *v + "'";
                return std::nullopt;
            }
            options.language = *n;
        } else if (arg == "--screenshot") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (v->empty()) {
                error = "--screenshot needs a file name";
                return std::nullopt;
            }
            options.screenshot = *v;
        } else if (arg == "--dump-ui") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (v->empty()) {
                error = "--dump-ui needs a file name";
                return std::nullopt;
            }
            options.dumpUi = *v;
        } else if (arg == "--report") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            if (v->empty()) {
                error = "--report needs a file name";
                return std::nullopt;
            }
            options.report = *v;
        } else if (arg == "--quit-after") {
            const std::string* v = value();
            if (!v)
                return std::nullopt;
            const auto n = toInt(*v);
            if (!n || *n < 0) {
                error = "--quit-after takes milliseconds, not '" + *v + "'";
                return std::nullopt;
            }
            options.quitAfterMs = *n;
        } else if (!arg.starts_with("-") && !arg.empty()) {
            options.files.push_back(arg);
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    return options;
}
