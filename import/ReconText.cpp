#include "import/ReconText.h"

#include "import/FileBytes.h"
#include "import/Pcre2Pattern.h"
#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/WholeNumber.h"
#include "xml/CodePage.h"

namespace quarlex {

namespace {

constexpr std::string_view kPersonPattern =
    R"(Рег.№\s(\d{3}-\d{3}-\d{6})\sСНИЛС:\s(\d{3}-\d{3}-\d{3}\s\d{2})\sФИО:\s(\S*)\s(\S*)\s(\S*))";
constexpr std::string_view kPeriodPattern =
    R"((\d{4})\sг.\s(\d{1})\sкв.([\s\d,]*);([\s\d,]*);([\s\d,]*);([\s\d,]*))";
constexpr std::string_view kTotalPattern = R"(Итого:([\s\d,]*);([\s\d,]*);([\s\d,]*);([\s\d,]*))";

bool isSeparatorLine(std::string_view line) {
    return line.size() == 80 && line.find_first_not_of('-') == std::string_view::npos;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading and trailing characters up to the blank go, as the file's columns
// are padded with blanks and may carry stray control characters.
std::string_view trimControls(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

Money amountOf(std::string_view group) {
    if (std::optional<Money> m = parseReconAmount(group))
        return *m;
    throw Error(notAnAmount(trimControls(group)));
}

// The patterns stop at a '.', so "1000.50" in the last column would match
// as 1000: a point and a digit right after the match mean an amount the
// file writes in another form, and reading on would store a wrong sum.
void refuseCutAmount(const Pcre2Pattern& pattern, int lastGroup, std::string_view line) {
    const std::size_t end = pattern.matchEnd();
    if (end + 1 < line.size() && line[end] == '.' && isDigit(line[end + 1])) {
        std::size_t tail = end + 1;
        while (tail < line.size() &&
               (isDigit(line[tail]) || line[tail] == '.' || line[tail] == ','))
            ++tail;
        const std::string written = std::string(trimControls(pattern.group(lastGroup))) +
                                    std::string(line.substr(end, tail - end));
        throw Error(notAnAmount(written));
    }
}

class TextReader {
public:
    TextReader(WorkingTables& tables, TReconEntry& entry, Prompts& prompts)
        : m_tables(tables), m_entry(entry), m_prompts(prompts), m_person(kPersonPattern),
          m_period(kPeriodPattern), m_total(kTotalPattern) {}

    void line(std::string_view text) {
        switch (m_state) {
        case 0:
            if (isSeparatorLine(text))
                m_state = 1;
            return;
        case 1:
            takePerson(text);
            return;
        case 2:
            if (takePeriod(text)) {
                AddImportRow(m_tables.ImpTable, m_entry, m_prompts);
                m_entry.StrItog = m_entry.StrDolg;
                m_entry.NakItog = m_entry.NakDolg;
                AddResultRow(m_tables.ResTable, m_entry, m_prompts);
                m_state = 3;
            } else {
                takeBlockStart(text);
            }
            return;
        case 3:
            if (isSeparatorLine(text)) {
                m_state = 1;
            } else if (takePeriod(text)) {
                AddImportRow(m_tables.ImpTable, m_entry, m_prompts);
                m_state = 4;
            }
            return;
        case 4:
            if (takeTotal(text)) {
                AddResultRow(m_tables.ResTable, m_entry, m_prompts);
                m_state = 3;
            } else {
                takeBlockStart(text);
            }
            return;
        }
    }

private:
    bool takePerson(std::string_view text) {
        if (!m_person.search(text))
            return false;
        m_entry.SNILS = m_person.group(2);
        m_entry.LName = m_person.group(3);
        m_entry.FName = m_person.group(4);
        m_entry.MName = m_person.group(5);
        m_state = 2;
        return true;
    }

    // While a person's periods or totals are awaited, a separator or a person
    // line still starts the next block: otherwise a block that lacks a line
    // would have the next person's amounts recorded under this one.
    void takeBlockStart(std::string_view text) {
        if (isSeparatorLine(text))
            m_state = 1;
        else
            takePerson(text);
    }

    bool takePeriod(std::string_view text) {
        if (!m_period.search(text))
            return false;
        refuseCutAmount(m_period, 6, text);
        m_entry.God = parseInt32(m_period.group(1)).value_or(0);
        m_entry.Kvartal = parseInt32(m_period.group(2)).value_or(0);
        m_entry.StrNach = amountOf(m_period.group(3));
        m_entry.NakNach = amountOf(m_period.group(4));
        m_entry.StrUpl = amountOf(m_period.group(5));
        m_entry.NakUpl = amountOf(m_period.group(6));
        m_entry.computeDebts();
        return true;
    }

    bool takeTotal(std::string_view text) {
        if (!m_total.search(text))
            return false;
        refuseCutAmount(m_total, 4, text);
        const Money strNach = amountOf(m_total.group(1));
        const Money nakNach = amountOf(m_total.group(2));
        const Money strUpl = amountOf(m_total.group(3));
        const Money nakUpl = amountOf(m_total.group(4));
        m_entry.StrItog = strNach - strUpl;
        m_entry.NakItog = nakNach - nakUpl;
        return true;
    }

    WorkingTables& m_tables;
    TReconEntry& m_entry;
    Prompts& m_prompts;
    Pcre2Pattern m_person;
    Pcre2Pattern m_period;
    Pcre2Pattern m_total;
    int m_state = 0;
};

} // namespace

std::optional<Money> parseReconAmount(std::string_view text) {
    const std::string_view s = trimControls(text);
    if (s.empty())
        return std::nullopt;
    const std::size_t comma = s.find(',');
    const std::string_view whole = s.substr(0, comma);
    const std::string_view fraction =
        comma == std::string_view::npos ? std::string_view() : s.substr(comma + 1);
    for (std::string_view part : {whole, fraction})
        for (char c : part)
            if (!isDigit(c))
                return std::nullopt;
    // Both parts may be missing ("," is 0); the shared money reader then
    // rounds and checks the range.
    const std::string normal = (whole.empty() ? std::string("0") : std::string(whole)) + "," +
                               (fraction.empty() ? std::string("0") : std::string(fraction));
    return Money::parse(normal, ',');
}

void importReconciliationText(WorkingTables& tables, const std::string& path, TReconEntry& entry,
                              NumberFormat& format, Prompts& prompts) {
    DecimalSeparatorGuard separator(format, ',');
    int lineNo = 0;
    try {
        const std::string text = decodeCp1251(readWholeFile(path));
        entry.Category = kReconCategory;
        TextReader reader(tables, entry, prompts);
        forEachLine(text, [&](std::string_view line, int number) {
            lineNo = number;
            reader.line(line);
        });
    } catch (const AssertionFailure&) {
        throw;
    } catch (const Error& e) {
        std::string where = "\r\nФайл: " + path;
        if (lineNo > 0)
            where += ", строка " + std::to_string(lineNo);
        throw Error(e.what() + where);
    }
}

} // namespace quarlex
