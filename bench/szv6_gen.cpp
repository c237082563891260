// Writes the SZV-6 folder of a large employer into a given directory: 5,000
// persons over 20 quarters (2007 q1 to 2011 q4), one initial file per
// quarter, and from the second quarter on one corrective file per quarter
// correcting the previous quarter of every tenth person; two categories.
// Files are Windows-1251, named like the fund's files.
//
// usage: szv6_gen DIR [PERSONS] [QUARTERS]
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// UTF-8 to Windows-1251 for the letters these files use.
std::string toCp1251(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if ((b & 0xE0) != 0xC0 || i + 1 >= utf8.size())
            throw std::runtime_error("unexpected character in generated text");
        const unsigned cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
        i += 2;
        if (cp >= 0x410 && cp <= 0x44F)
            out += static_cast<char>(0xC0 + (cp - 0x410));
        else if (cp == 0x401)
            out += static_cast<char>(0xA8);
        else if (cp == 0x451)
            out += static_cast<char>(0xB8);
        else
            throw std::runtime_error("character outside Windows-1251 in generated text");
    }
    return out;
}

const std::vector<std::string> kMaleSurnames = {
    "Иванов",   "Смирнов", "Кузнецов", "Попов",   "Васильев", "Петров",   "Соколов",
    "Михайлов", "Новиков", "Фёдоров",  "Морозов", "Волков",   "Алексеев", "Лебедев",
    "Семёнов",  "Егоров",  "Павлов",   "Козлов",  "Степанов", "Николаев", "Орлов"};
const std::vector<std::string> kMaleNames = {"Александр", "Сергей", "Дмитрий", "Андрей",
                                             "Алексей",   "Иван",   "Михаил",  "Николай",
                                             "Владимир",  "Павел",  "Юрий"};
const std::vector<std::string> kFemaleNames = {"Елена", "Ольга",    "Наталья", "Татьяна", "Ирина",
                                               "Анна",  "Светлана", "Мария",   "Людмила", "Юлия"};
const std::vector<std::string> kFathers = {"Александров", "Сергеев", "Дмитриев", "Андреев",
                                           "Алексеев",    "Иванов",  "Михайлов", "Николаев",
                                           "Владимиров",  "Павлов",  "Юрьев"};

struct Person {
    std::string snils;
    std::string last, first, middle;
    std::string category;
};

std::string snilsOf(std::uint32_t number) {
    char body[16];
    std::snprintf(body, sizeof body, "%09u", number);
    int total = 0;
    for (int i = 0; i < 9; ++i)
        total += (body[i] - '0') * (9 - i);
    if (total > 101)
        total %= 101;
    const int check = (total == 100 || total == 101) ? 0 : total;
    char text[24];
    std::snprintf(text, sizeof text, "%.3s-%.3s-%.3s %02d", body, body + 3, body + 6, check);
    return text;
}

Person makePerson(int i) {
    Person p;
    p.snils = snilsOf(100000000u + static_cast<std::uint32_t>(i) * 7919u);
    const bool female = i % 2 == 1;
    p.last =
        kMaleSurnames[static_cast<std::size_t>(i) % kMaleSurnames.size()] + (female ? "а" : "");
    const auto& names = female ? kFemaleNames : kMaleNames;
    p.first = names[static_cast<std::size_t>(i / 2) % names.size()];
    p.middle = kFathers[static_cast<std::size_t>(i / 7) % kFathers.size()] + (female ? "на" : "ич");
    p.category = i % 5 == 4 ? "ПНЭД" : "НР";
    return p;
}

std::string amount(std::int64_t kopecks) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", kopecks < 0 ? "-" : "",
                  static_cast<long long>((kopecks < 0 ? -kopecks : kopecks) / 100),
                  static_cast<long long>((kopecks < 0 ? -kopecks : kopecks) % 100));
    return text;
}

// Deterministic amounts per person and quarter, in kopecks.
struct Amounts {
    std::int64_t strNach, strUpl, nakNach, nakUpl;
};

Amounts amountsOf(int person, int quarterIndex, bool corrected) {
    const std::uint64_t seed = static_cast<std::uint64_t>(person) * 2654435761u +
                               static_cast<std::uint64_t>(quarterIndex) * 40503u;
    const std::int64_t strNach = 300000 + static_cast<std::int64_t>(seed % 1700000);
    const std::int64_t nakNach = strNach * 3 / 8;
    Amounts a{strNach, strNach, nakNach, nakNach};
    if (!corrected && seed % 7 == 0) { // paid late or short
        a.strUpl = strNach / 2;
        a.nakUpl = nakNach / 2;
    } else if (!corrected && seed % 11 == 0) { // overpaid
        a.strUpl = strNach + 10000;
    }
    return a;
}

void appendRecord(std::string& xml, int number, const char* kind, const Person& p, int year,
                  int quarter, const Amounts& a, int correctedYear, int correctedQuarter) {
    xml += "<СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>\r\n<НомерВпачке>" +
           std::to_string(number) + "</НомерВпачке>\r\n<ТипСведений>" + kind +
           "</ТипСведений>\r\n<СтраховойНомер>" + p.snils +
           "</СтраховойНомер>\r\n<ФИО>\r\n<Фамилия>" + p.last + "</Фамилия>\r\n<Имя>" + p.first +
           "</Имя>\r\n<Отчество>" + p.middle + "</Отчество>\r\n</ФИО>\r\n<КодКатегории>" +
           p.category + "</КодКатегории>\r\n<ОтчетныйПериод>\r\n<Квартал>" +
           std::to_string(quarter) + "</Квартал>\r\n<Год>" + std::to_string(year) +
           "</Год>\r\n</ОтчетныйПериод>\r\n";
    if (correctedYear)
        xml += "<КорректируемыйОтчетныйПериод>\r\n<Квартал>" + std::to_string(correctedQuarter) +
               "</Квартал>\r\n<Год>" + std::to_string(correctedYear) +
               "</Год>\r\n</КорректируемыйОтчетныйПериод>\r\n";
    xml += "<СуммаВзносовНаСтраховую>\r\n<Начислено>" + amount(a.strNach) +
           "</Начислено>\r\n<Уплачено>" + amount(a.strUpl) +
           "</Уплачено>\r\n</СуммаВзносовНаСтраховую>\r\n<СуммаВзносовНаНакопительную>\r\n<"
           "Начислено>" +
           amount(a.nakNach) + "</Начислено>\r\n<Уплачено>" + amount(a.nakUpl) +
           "</Уплачено>\r\n</СуммаВзносовНаНакопительную>\r\n<СтажевыйПериод>\r\n<НомерСтроки>1</"
           "НомерСтроки>\r\n</СтажевыйПериод>\r\n</"
           "СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>\r\n";
}

std::string fileName(int year, int pack) {
    char name[96];
    std::snprintf(name, sizeof name,
                  "PFR-700-Y-%d-ORG-087-101-000001-DCK-%05d-DPT-000000-DCK-00000.XML", year, pack);
    return name;
}

void writePack(const std::filesystem::path& dir, int year, int pack, const std::string& records,
               int count) {
    const std::string name = fileName(year, pack);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<ФайлПФР>\r\n<ИмяФайла>" + name +
        "</ИмяФайла>\r\n<ЗаголовокФайла>\r\n<ВерсияФормата>07.00</"
        "ВерсияФормата>\r\n<ТипФайла>ВНЕШНИЙ</ТипФайла>\r\n</"
        "ЗаголовокФайла>\r\n<ПачкаВходящихДокументов>\r\n<ВХОДЯЩАЯ_ОПИСЬ>\r\n<"
        "НомерВпачке>1</НомерВпачке>\r\n<РегистрационныйНомер>087-101-000001</"
        "РегистрационныйНомер>\r\n<Количество>" +
        std::to_string(count) + "</Количество>\r\n</ВХОДЯЩАЯ_ОПИСЬ>\r\n";
    xml += records;
    xml += "</ПачкаВходящихДокументов>\r\n</ФайлПФР>\r\n";
    std::ofstream out(dir / name, std::ios::binary);
    const std::string bytes = toCp1251(xml);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + (dir / name).string());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: szv6_gen DIR [PERSONS] [QUARTERS]\n";
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        const int persons = argc > 2 ? std::stoi(argv[2]) : 5000;
        const int quarters = argc > 3 ? std::stoi(argv[3]) : 20;
        std::filesystem::create_directories(dir);
        std::vector<Person> people;
        for (int i = 0; i < persons; ++i)
            people.push_back(makePerson(i));
        const int firstYear = 2012 - (quarters + 3) / 4;
        int pack = 0, files = 0, records = 0;
        for (int q = 0; q < quarters; ++q) {
            const int year = firstYear + q / 4;
            const int quarter = q % 4 + 1;
            std::string body;
            int count = 0;
            for (int i = 0; i < persons; ++i)
                appendRecord(body, ++count + 1, "ИСХОДНАЯ", people[static_cast<std::size_t>(i)],
                             year, quarter, amountsOf(i, q, false), 0, 0);
            writePack(dir, year, ++pack, body, count);
            ++files;
            records += count;
            if (q == 0)
                continue;
            body.clear();
            count = 0;
            const int prevYear = firstYear + (q - 1) / 4;
            const int prevQuarter = (q - 1) % 4 + 1;
            for (int i = 0; i < persons; i += 10)
                appendRecord(body, ++count + 1, "КОРРЕКТИРУЮЩАЯ",
                             people[static_cast<std::size_t>(i)], year, quarter,
                             amountsOf(i, q - 1, true), prevYear, prevQuarter);
            writePack(dir, year, ++pack, body, count);
            ++files;
            records += count;
        }
        std::cout << "wrote " << files << " files with " << records << " records into "
                  << dir.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "szv6_gen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
