#include <app/data/diagfile.h>

#include <fstream>
#include <locale>

#include <locale.h>

namespace {

// The program's own line format; its final \n is written as CR LF.
constexpr const char* kLineFormat
    = "%d\t%4.0f\t%4.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.0f\t"
      "%.0f\t%.0f\t%.0f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\n";

// Formats in the C locale for this thread only, so a GUI that set a decimal
// comma for its own use cannot change the file.
class CCLocaleScope {
public:
    CCLocaleScope()
    {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t {});
        if (c)
            m_previous = ::uselocale(c);
    }
    ~CCLocaleScope()
    {
        if (m_previous)
            ::uselocale(m_previous);
    }
    CCLocaleScope(const CCLocaleScope&) = delete;
    CCLocaleScope& operator=(const CCLocaleScope&) = delete;

private:
    locale_t m_previous {};
};

} // namespace

CDiagFile::~CDiagFile()
{
    close();
}

bool CDiagFile::open(const std::string& path)
{
    close();
    if (path.empty() || path == "\\")
        return false;
    // Binary: the line ends are written as they are meant to be.
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file)
        m_path = path;
    return m_file != nullptr;
}

void CDiagFile::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

void CDiagFile::write(const CDiag& record, const CDiagScale& scale, const ObdValues& obd)
{
    if (!m_file)
        return;
    const std::string line = formatLine(record, scale, obd);
    std::fwrite(line.data(), 1, line.size(), m_file);
    // A recording is read while it grows and must survive a crash of the program.
    std::fflush(m_file);
}

std::string CDiagFile::formatLine(const CDiag& r, const CDiagScale& scale, const ObdValues& obd)
{
    double petrol[CDiag::kInjectors];
    double lpg[CDiag::kInjectors];
    for (int k = 0; k < CDiag::kInjectors; ++k) {
        const int slot = r.injectorSlot(k);
        petrol[k] = r.petrolTime(slot);
        lpg[k] = r.lpgTime(slot);
    }
    char line[512];
    int n = 0;
    {
        CCLocaleScope cLocale;
        n = std::snprintf(line, sizeof line, kLineFormat, int { r.fuelState() }, r.rpm(), petrol[0], lpg[0],
                          petrol[1], lpg[1], petrol[2], lpg[2], petrol[3], lpg[3], petrol[4], lpg[4], petrol[5],
                          lpg[5], petrol[6], lpg[6], petrol[7], lpg[7], r.lpgPressure(), r.manifoldPressure(scale),
                          r.lpgTempr(scale), r.reducerTempr(scale), r.lambda1(), r.lambda2(), obd[0], obd[1], obd[2],
                          obd[3], obd[4], obd[5], obd[6], obd[7]);
    }
    if (n <= 0)
        return "\r\n";
    std::string text(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text + "\r\n";
}

bool CDiagFile::readRecords(const std::string& path, std::vector<Record>& records)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.imbue(std::locale::classic());
    for (;;) {
        Record record {};
        for (double& value : record) {
            if (!(in >> value))
                return true;
        }
        records.push_back(record);
    }
}
