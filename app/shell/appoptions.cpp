#include <app/shell/appoptions.h>

#include <charconv>

const char* const kAppUsage = "usage: korvana [--demo] [--port PATH]... [--lang N] [--screenshot FILE] "
                              "[--quit-after MS]\n"
                              "  --demo            start in demo mode without searching for the controller\n"
                              "  --port PATH       also try this serial port (e.g. the simulator's)\n"
                              "  --lang N          language index 0 ... 19 (0 Polish, 1 English)\n"
                              "  --screenshot FILE save the main window as PNG and exit\n"
                              "  --quit-after MS   exit after MS milliseconds (the screenshot is taken then)\n";

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
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
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
        } else {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
    }
    return options;
}
