#include "report/HtmlExport.h"

#include <filesystem>

#include "report/AtomicFile.h"
#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/Money.h"

namespace quarlex {

namespace {

const char* const kFirstLine =
    "<html><head>  <meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=utf-8\">  <title>Quarlex отчет</title>  </head>";
const char* const kTableStart =
    "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"4\">";
const char* const kTotalTitle = "Итого:";

// The report's reads of the current ResTable row. An empty table has no
// current row: its texts read as empty and its numbers as 0, which is what
// the page then shows.
struct ResRow {
    Table& table;
    bool hasRows;

    std::string text(std::string_view field) const {
        return hasRows ? table.asString(field) : std::string();
    }
    std::int64_t number(std::string_view field) const {
        return hasRows ? table.asInteger(field) : 0;
    }
    Money amount(std::string_view field) const { return hasRows ? table.asMoney(field) : Money(); }
};

std::string cell(std::string_view text) {
    return "<td>" + htmlEscape(text) + "</td>";
}

std::string heading(std::initializer_list<const char*> titles) {
    std::string line = "<tr bgcolor=\"silver\">";
    for (const char* title : titles)
        line += "<th>" + htmlEscape(title) + "</th>";
    return line + "</tr>";
}

class PageBuilder {
public:
    PageBuilder(Table& table, const HtmlOptions& options, const NumberFormat& format)
        : m_row{table, table.RecordCount() > 0}, m_options(options),
          m_separator(format.decimalSeparator) {}

    std::vector<std::string> build() {
        m_lines.push_back(kFirstLine);
        m_lines.push_back("<body>");
        m_lines.push_back(kTableStart);
        addColumnsAndHeading();
        if (m_options.perPeriod)
            addPerPeriodRows();
        else
            addLatestRows();
        m_lines.push_back("</table>");
        m_lines.push_back("</body>");
        m_lines.push_back("</html>");
        return std::move(m_lines);
    }

private:
    std::string amount(Money value) const {
        return "<td>" + value.toFixed(2, m_separator) + "</td>";
    }

    std::string periodText() const {
        return std::to_string(m_row.number("God")) + "-" + std::to_string(m_row.number("Period"));
    }

    void addColumns(std::initializer_list<const char*> attributes) {
        for (const char* attribute : attributes)
            m_lines.push_back(std::string("<col width=\"") + attribute + "\">");
    }

    void addColumnsAndHeading() {
        const bool cats = m_options.categoryMode;
        if (m_options.perPeriod && !cats) {
            addColumns({"15%\" align=\"left", "55%\" align=\"left", "10%\" align=\"left",
                        "10%\" align=\"right", "10%\" align=\"right"});
            m_lines.push_back(heading({"Стр.номер", "ФИО", "Период", "Страх.итог", "Накоп.итог"}));
        } else if (m_options.perPeriod) {
            addColumns({"12%\" align=\"left", "50%\" align=\"left", "8%\" align=\"left",
                        "10%\" align=\"left", "10%\" align=\"right", "10%\" align=\"right"});
            m_lines.push_back(
                heading({"Стр.номер", "ФИО", "Категория", "Период", "Страх.итог", "Накоп.итог"}));
        } else if (!cats) {
            addColumns({"15%\" align=\"left", "55%\" align=\"left", "15%\" align=\"right",
                        "15%\" align=\"right"});
            m_lines.push_back(heading({"Стр.номер", "ФИО", "Страх.итог", "Накоп.итог"}));
        } else {
            addColumns({"15%\" align=\"left", "55%\" align=\"left", "10%\" align=\"right",
                        "10%\" align=\"right", "10%\" align=\"right"});
            m_lines.push_back(
                heading({"Стр.номер", "ФИО", "Категория", "Страх.итог", "Накоп.итог"}));
        }
    }

    void addPersonRow() {
        m_lines.push_back("<tr>" + cell(m_row.text("SNILS")) + cell(m_row.text("FIO")) +
                          "<td></td><td></td><td></td></tr>");
    }

    // Walks the rows as the grid's cursor does: a person row whenever SNILS
    // changes, the person's last amounts into the grand totals. Next on the
    // last row leaves it current, so the last person is not repeated.
    // The grand totals of the page, checked: a sum beyond the range of money
    // names the category and period of the row whose amounts it was adding.
    struct Totals {
        Money str, nak;
        void add(Money s, Money n, const std::string& category, const std::string& period) {
            try {
                str += s;
                nak += n;
            } catch (const MoneyOverflow&) {
                throw MoneyOverflow("Итог HTML-отчета вне диапазона денег: категория \"" +
                                    quotedText(category) + "\", период " + period);
            }
        }
    };

    void addPerPeriodRows() {
        Table& table = m_row.table;
        Totals totals;
        Money lastStr, lastNak;
        std::string lastCat, lastPeriod;
        table.First();
        std::string person = m_row.text("SNILS");
        addPersonRow();
        while (!table.Eof()) {
            std::string line = "<tr><td></td><td></td>";
            lastCat = m_row.text("Cat");
            if (m_options.categoryMode)
                line += cell(lastCat);
            lastStr = m_row.amount("StrItog");
            lastNak = m_row.amount("NakItog");
            lastPeriod = periodText();
            line += cell(lastPeriod) + amount(lastStr) + amount(lastNak) + "</tr>";
            m_lines.push_back(std::move(line));
            table.Next();
            std::string snils = m_row.text("SNILS");
            if (snils != person) {
                totals.add(lastStr, lastNak, lastCat, lastPeriod);
                person = std::move(snils);
                addPersonRow();
            }
        }
        totals.add(lastStr, lastNak, lastCat, lastPeriod);
        const Money totalStr = totals.str, totalNak = totals.nak;
        table.Last();
        if (!m_options.categoryMode)
            m_lines.push_back("<tr bgcolor=\"silver\"><b>" + cell(kTotalTitle) + "<td></td>" +
                              cell(periodText()) + amount(totalStr) + amount(totalNak) +
                              "</b></tr>");
    }

    void addLatestRows() {
        Table& table = m_row.table;
        Totals totals;
        table.First();
        const std::string periodTitle = std::to_string(m_row.number("Period")) + " квартал " +
                                        std::to_string(m_row.number("God")) + " года";
        while (!table.Eof()) {
            const Money str = m_row.amount("StrItog");
            const Money nak = m_row.amount("NakItog");
            std::string line = "<tr>" + cell(m_row.text("SNILS")) + cell(m_row.text("FIO"));
            if (m_options.categoryMode)
                line += cell(m_row.text("Cat"));
            line += amount(str) + amount(nak) + "</tr>";
            m_lines.push_back(std::move(line));
            totals.add(str, nak, m_row.text("Cat"), periodText());
            table.Next();
        }
        const Money totalStr = totals.str, totalNak = totals.nak;
        if (!m_options.categoryMode)
            m_lines.push_back("<tr bgcolor=\"silver\"><b>" + cell(kTotalTitle) + cell(periodTitle) +
                              amount(totalStr) + amount(totalNak) + "</b></tr>");
    }

    ResRow m_row;
    const HtmlOptions& m_options;
    char m_separator;
    std::vector<std::string> m_lines;
};

} // namespace

std::vector<std::string> buildHtmlReport(Table& resTable, const HtmlOptions& options,
                                         const NumberFormat& format) {
    return PageBuilder(resTable, options, format).build();
}

std::string htmlReportPath(const std::string& dir, const std::string& file) {
    std::string folder = dir;
    if (folder.empty())
        folder = std::filesystem::path(file).parent_path().string();
    if (folder.empty())
        return "pf_report.html";
    if (folder.back() != '/')
        folder += '/';
    return folder + "pf_report.html";
}

void writeHtmlFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string content = "\xEF\xBB\xBF";
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    writeFileAtomically(path, content);
}

std::string htmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace quarlex
