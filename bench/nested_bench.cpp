// Records nested in one another, the shape that made each record's lookups
// walk all that lies beneath it: N SZV-6 records, each inside the one before,
// read through TXMLParser as the import reads them (the subset, then the
// record's fourteen values). Each size runs in fresh processes, median of
// RUNS; the floor of each is pugixml parsing the same text. The reading must
// grow as that parse does, not with the square of the records.
//
// usage: nested_bench [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <pugixml.hpp>
#include <string>

#include "FreshProcess.h"
#include "Measure.h"
#include "xml/UXMLHelper.h"

namespace {

using bench::Clock;
using bench::secondsSince;

constexpr const char* kRecord = "СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ";

std::string nestedDocument(int records) {
    std::string xml = "<ФайлПФР>";
    for (int i = 0; i < records; ++i)
        xml += std::string("<") + kRecord +
               "><ТипСведений>ИСХОДНАЯ</ТипСведений><СтраховойНомер>012-345-678 05</"
               "СтраховойНомер><ОтчетныйПериод><Квартал>1</Квартал><Год>2011</Год></"
               "ОтчетныйПериод><СуммаВзносовНаСтраховую><Начислено>1.00</Начислено></"
               "СуммаВзносовНаСтраховую>";
    for (int i = 0; i < records; ++i)
        xml += std::string("</") + kRecord + ">";
    return xml + "</ФайлПФР>";
}

int child(int records) {
    const std::string xml = nestedDocument(records);
    auto start = Clock::now();
    {
        pugi::xml_document doc;
        if (!doc.load_buffer(xml.data(), xml.size()))
            return 1;
    }
    const double parse = secondsSince(start);
    start = Clock::now();
    auto parser = std::make_unique<quarlex::TXMLParser>(xml, false, 0);
    const int count = parser->InitSubset(kRecord);
    size_t chars = 0;
    for (int i = 0; i < count; ++i) {
        parser->SubsetSetItem(i);
        for (const char* tag :
             {"СтраховойНомер", "Имя", "Отчество", "Фамилия", "ТипСведений", "КодКатегории"})
            chars += parser->GetSubsetValue(tag).size();
        for (const char* root : {"ОтчетныйПериод", "КорректируемыйОтчетныйПериод"})
            for (const char* tag : {"Год", "Квартал"})
                chars += parser->GetSubsetSubValue(root, tag).size();
        for (const char* root : {"СуммаВзносовНаСтраховую", "СуммаВзносовНаНакопительную"})
            for (const char* tag : {"Начислено", "Уплачено"})
                chars += parser->GetSubsetSubValue(root, tag).size();
    }
    parser.reset(); // its destruction is part of the read, as the floor's is
    std::printf("read %.6f\nparse %.6f\nrecords %d\nchars %zu\n", secondsSince(start), parse, count,
                chars);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
            return child(std::atoi(argv[2]));
        const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
        const int sizes[] = {10000, 40000};
        double read[2] = {0, 0}, parse[2] = {0, 0};
        std::printf("nested records, fresh process per run, median of %d runs\n", runs);
        for (int k = 0; k < 2; ++k) {
            std::vector<std::map<std::string, double>> measured;
            for (int run = 0; run < runs; ++run)
                measured.push_back(bench::runFresh({"--child", std::to_string(sizes[k])}));
            read[k] = bench::spreadOf(measured, "read").median;
            parse[k] = bench::spreadOf(measured, "parse").median;
            std::printf("%6d records   read %8.3f s   floor (pugixml parse) %8.3f s   "
                        "read / floor %6.2f\n",
                        sizes[k], read[k], parse[k], read[k] / parse[k]);
        }
        // pugixml's own parse grows somewhat faster than the text with the
        // depth; the reading must grow no faster than that parse.
        const double growth = read[1] / read[0];
        const double floorGrowth = parse[1] / parse[0];
        std::printf("growth for 4 times the records: read %.2f, floor %.2f   goal: read within "
                    "1.25 times the floor's growth: %s\n",
                    growth, floorGrowth, growth <= 1.25 * floorGrowth ? "met" : "MISSED");
    } catch (const std::exception& e) {
        std::cerr << "nested_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
