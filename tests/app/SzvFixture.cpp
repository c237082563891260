#include "SzvFixture.h"

#include <QFile>
#include <iconv.h>

QByteArray toCp1251(const QString& text) {
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() + 1, '\0');
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return {};
    out.truncate(out.size() - static_cast<qsizetype>(dstLeft));
    return out;
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
