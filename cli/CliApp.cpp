#include "cli/CliApp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>

#include "cli/TableWriter.h"
#include "import/ImportRun.h"
#include "report/HtmlExport.h"
#include "report/Report.h"
#include "sync/GorvelSync.h"
#include "sync/SyncLogFile.h"
#include "tables/Error.h"
#include "tables/WorkingTables.h"

#ifndef QUARLEX_VERSION
#define QUARLEX_VERSION "unknown"
#endif

namespace quarlex::cli {

namespace {

const char* const kUsage =
    "Usage:\n"
    "  quarlex-cli report SOURCE [--categories] [--latest] [--html] [--imports] "
    "[--format table|csv]\n"
    "  quarlex-cli sync   SOURCE --data DIR [--categories] [--overwrite] [--separator .|,|/] "
    "[--log FILE]\n"
    "  quarlex-cli --help | --version\n"
    "\n"
    "SOURCE is a folder of SZV-6 XML files, or a reconciliation file (.txt or .xls).\n"
    "\n"
    "  --categories   keep the category of every record (folder sources only)\n"
    "  --latest       report the latest period only (folder sources only)\n"
    "  --html         also write pf_report.html beside the source\n"
    "  --imports      print the imported rows instead of the report\n"
    "  --format       table (default) or csv\n"
    "  --data DIR     the accounting system's DATA folder\n"
    "  --overwrite    rewrite differing rows of the accounting system\n"
    "  --separator    decimal separator of the synchronisation: . , or / (default .)\n"
    "  --log FILE     save the synchronisation log to FILE\n";

const std::vector<std::string> kResColumns = {"SNILS",  "FIO",     "Cat",    "God",
                                              "Period", "StrItog", "NakItog"};
const std::vector<std::string> kImpColumns = {"SNILS",   "FName",   "MName",    "LName",   "God",
                                              "Kvartal", "Period",  "Category", "StrNach", "StrUpl",
                                              "StrDolg", "NakNach", "NakUpl",   "NakDolg"};

enum class SourceKind { Folder, Text, Workbook };

struct CliOptions {
    std::string command;
    std::string source;
    SourceKind kind = SourceKind::Folder;
    bool categories = false;
    bool latest = false;
    bool html = false;
    bool imports = false;
    bool csv = false;
    std::string dataDir;
    bool overwrite = false;
    char separator = '.';
    std::string logFile;
};

struct UsageError {
    std::string reason;
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

SourceKind classifySource(const std::string& source) {
    std::error_code ec;
    if (std::filesystem::is_directory(source, ec))
        return SourceKind::Folder;
    const std::string ext = lower(std::filesystem::path(source).extension().string());
    if (ext == ".txt")
        return SourceKind::Text;
    if (ext == ".xls")
        return SourceKind::Workbook;
    throw UsageError{"SOURCE must be a folder or a file ending in .txt or .xls: " + source};
}

CliOptions parseArgs(const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"no command given"};
    CliOptions o;
    o.command = args[0];
    const bool isReport = o.command == "report";
    const bool isSync = o.command == "sync";
    if (!isReport && !isSync)
        throw UsageError{"unknown command: " + o.command};

    std::vector<std::string> positional;
    bool seenData = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        auto takesValue = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw UsageError{arg + " needs a value"};
            return args[++i];
        };
        auto noValue = [&] {
            if (inlineValue)
                throw UsageError{arg + " takes no value"};
        };
        if (arg == "--categories") {
            noValue();
            o.categories = true;
        } else if (arg == "--latest") {
            noValue();
            if (isSync)
                throw UsageError{"sync needs the report of every period: --latest is refused"};
            o.latest = true;
        } else if (isReport && arg == "--html") {
            noValue();
            o.html = true;
        } else if (isReport && arg == "--imports") {
            noValue();
            o.imports = true;
        } else if (isReport && arg == "--format") {
            const std::string value = takesValue();
            if (value != "table" && value != "csv")
                throw UsageError{"--format takes table or csv, not " + value};
            o.csv = value == "csv";
        } else if (isSync && arg == "--data") {
            o.dataDir = takesValue();
            seenData = true;
        } else if (isSync && arg == "--overwrite") {
            noValue();
            o.overwrite = true;
        } else if (isSync && arg == "--separator") {
            const std::string value = takesValue();
            if (value != "." && value != "," && value != "/")
                throw UsageError{"--separator takes . , or /, not " + value};
            o.separator = value[0];
        } else if (isSync && arg == "--log") {
            o.logFile = takesValue();
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option for " + o.command + ": " + args[i]};
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.empty())
        throw UsageError{"SOURCE is missing"};
    if (positional.size() > 1)
        throw UsageError{"one SOURCE only, got also: " + positional[1]};
    if (isSync && (!seenData || o.dataDir.empty()))
        throw UsageError{"sync needs --data DIR"};
    o.source = positional[0];
    o.kind = classifySource(o.source);
    if (o.kind != SourceKind::Folder && o.categories)
        throw UsageError{"--categories applies to a folder source only"};
    if (o.kind != SourceKind::Folder && o.latest)
        throw UsageError{"--latest applies to a folder source only"};
    return o;
}

void printTable(const Table& table, const std::vector<std::string>& columns, const CliOptions& o,
                bool categoryMode, const NumberFormat& format, std::ostream& out) {
    if (o.csv)
        writeCsv(table, columns, out);
    else
        writeAligned(table, gridColumns(table, columns, categoryMode), format.decimalSeparator,
                     out);
}

ImportSource importSourceOf(const CliOptions& o) {
    switch (o.kind) {
    case SourceKind::Folder:
        return {o.source, "", ftNone};
    case SourceKind::Text:
        return {"", o.source, ftTxt};
    case SourceKind::Workbook:
        return {"", o.source, ftXls};
    }
    return {};
}

int runReportCommand(const CliOptions& o, std::ostream& out, std::ostream& err,
                     const NumberFormat& numberFormat) {
    NumberFormat format = numberFormat;
    StreamPrompts prompts(err);
    WorkingTables tables;
    const ImportRunResult r =
        runImport(tables, importSourceOf(o), {o.categories, !o.latest}, format, prompts);
    const bool folder = r.road == ImportRunResult::Road::Folder;
    if (!folder && !r.imported)
        return 1; // the workbook's layout was refused, after its message
    // ImpTable does not depend on the report; it runs when something shows it.
    if (folder && (!o.imports || o.html))
        runReport(tables, ReportOptions{r.perPeriod});
    if (o.html) {
        const std::string path =
            folder ? htmlReportPath(o.source, "") : htmlReportPath("", o.source);
        writeHtmlFile(path, buildHtmlReport(tables.ResTable, {r.perPeriod, o.categories}, format));
    }
    if (o.imports)
        printTable(tables.ImpTable, kImpColumns, o, o.categories, format, out);
    else
        printTable(tables.ResTable, kResColumns, o, o.categories, format, out);
    return 0;
}

// Output that never reached its file is an error, not a success.
void finishOutput(std::ostream& out) {
    errno = 0;
    out.flush();
    if (!out)
        throw Error(std::string("Cannot write the standard output") +
                    (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()));
}

// The log as the memo shows it: each line printed the moment the run
// produces it, and kept for --log.
class PrintedLog : public LinesLog {
public:
    explicit PrintedLog(std::ostream& out) : m_out(out) {}
    void append(const std::string& line) override {
        LinesLog::append(line);
        m_out << visibleText(line) << '\n'; // names from the tables reach a terminal
    }

private:
    std::ostream& m_out;
};

int runSyncCommand(const CliOptions& o, std::ostream& out, std::ostream& err,
                   const NumberFormat& numberFormat) {
    NumberFormat format = numberFormat;
    StreamPrompts prompts(err);
    WorkingTables tables;
    const ImportRunResult r =
        runImport(tables, importSourceOf(o), {o.categories, true}, format, prompts);
    if (r.road == ImportRunResult::Road::Folder)
        runReport(tables, ReportOptions{true}); // every period, as the window requires
    else if (!r.imported)
        return 1; // the workbook's layout was refused, after its message
    GorvelSyncOptions options;
    options.dataDir = o.dataDir;
    options.categoryMode = o.categories;
    options.overwrite = o.overwrite;
    options.separator = o.separator;
    PrintedLog log(out);
    std::string failure;
    try {
        runGorvelSync(tables, options, format, log);
    } catch (const std::exception& e) {
        failure = e.what(); // the log of a failed run is saved too
    }
    if (!o.logFile.empty())
        saveSyncLog(o.logFile, log.lines);
    if (!failure.empty())
        throw Error(failure);
    return 0;
}

} // namespace

std::string oneLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            line += " | ";
        } else {
            line += text[i];
        }
    }
    return visibleText(line);
}

void StreamPrompts::message(const std::string& caption, const std::string& text) {
    ++m_count;
    m_out << oneLine(caption) << ": " << oneLine(text) << '\n';
}

namespace {

int finishedOrFailed(std::ostream& out, std::ostream& err, int status) {
    try {
        finishOutput(out);
        return status;
    } catch (const std::exception& e) {
        err << "error: " << oneLine(e.what()) << '\n';
        return 1;
    }
}

} // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const NumberFormat& format) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        (!args.empty() && args[0] == "-h")) {
        out << kUsage;
        return finishedOrFailed(out, err, 0);
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "quarlex-cli " << QUARLEX_VERSION << '\n';
        return finishedOrFailed(out, err, 0);
    }
    CliOptions options;
    try {
        options = parseArgs(args);
    } catch (const UsageError& e) {
        err << "quarlex-cli: " << oneLine(e.reason) << "\n\n" << kUsage;
        return 2;
    }
    try {
        const int status = options.command == "sync" ? runSyncCommand(options, out, err, format)
                                                     : runReportCommand(options, out, err, format);
        finishOutput(out);
        return status;
    } catch (const std::exception& e) {
        err << "error: " << oneLine(e.what()) << '\n';
        return 1;
    }
}

} // namespace quarlex::cli
