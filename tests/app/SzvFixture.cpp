#include "SzvFixture.h"

#include <QFile>

#include "tests/support/Cp1251Encode.h"

QByteArray toCp1251(const QString& text) {
    const std::optional<std::string> bytes = quarlex::testing::encodeCp1251(text.toStdString());
    return bytes ? QByteArray::fromStdString(*bytes) : QByteArray();
}

QString szvDocument(const QList<SzvRecord>& records) {
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
                                 "<ФайлПФР><ПачкаВходящихДокументов>\n");
    for (const SzvRecord& r : records) {
        xml += QStringLiteral("<СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>"
                              "<ТипСведений>%1</ТипСведений><СтраховойНомер>%2</СтраховойНомер>"
                              "<ФИО><Фамилия>%3</Фамилия><Имя>%4</Имя><Отчество>%5</Отчество></ФИО>"
                              "<КодКатегории>%6</КодКатегории>")
                   .arg(r.kind, r.snils, r.lastName, r.firstName, r.middleName, r.category);
        xml += QStringLiteral("<ОтчетныйПериод><Квартал>%1</Квартал><Год>%2</Год></ОтчетныйПериод>")
                   .arg(r.quarter)
                   .arg(r.year);
        xml += QStringLiteral("<СуммаВзносовНаСтраховую><Начислено>%1</Начислено>"
                              "<Уплачено>%2</Уплачено></СуммаВзносовНаСтраховую>"
                              "<СуммаВзносовНаНакопительную><Начислено>%3</Начислено>"
                              "<Уплачено>%4</Уплачено></СуммаВзносовНаНакопительную>"
                              "</СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ>\n")
                   .arg(r.strNach, r.strUpl, r.nakNach, r.nakUpl);
    }
    xml += QStringLiteral("</ПачкаВходящихДокументов></ФайлПФР>\n");
    return xml;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool writeSzvFile(const QString& path, const QList<SzvRecord>& records) {
    const QByteArray bytes = toCp1251(szvDocument(records));
    return !bytes.isEmpty() && writeBytes(path, bytes);
}
