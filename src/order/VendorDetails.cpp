#include "order/VendorDetails.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

static void initMakerResource()
{
    // The resource lives in a static library: register it by hand.
    Q_INIT_RESOURCE(maker);
}

static VendorDetails load()
{
    initMakerResource();
    QFile file(QStringLiteral(":/maker.json"));
    const QJsonObject json
        = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    VendorDetails d;
    d.name = json.value(QLatin1String("name")).toString();
    for (const QJsonValue& line : json.value(QLatin1String("address")).toArray())
        d.address << line.toString();
    d.address.resize(3);
    d.telephone = json.value(QLatin1String("telephone")).toString();
    d.fax = json.value(QLatin1String("fax")).toString();
    d.email = json.value(QLatin1String("email")).toString();
    d.price = json.value(QLatin1String("price")).toString();
    d.postageNote = json.value(QLatin1String("postageNote")).toString();
    return d;
}

const VendorDetails& VendorDetails::fromResources()
{
    static const VendorDetails details = load();
    return details;
}

QStringList VendorDetails::contactLines() const
{
    const auto labelled = [](const char* label, const QString& value) {
        return value.isEmpty() ? QString() : QLatin1String(label) + value;
    };
    return {labelled("Tel: ", telephone), labelled("Fax: ", fax), labelled("E-mail: ", email)};
}

QString VendorDetails::priceLine() const
{
    if (price.isEmpty())
        return {};
    return QStringLiteral("Price: ") + price + (postageNote.isEmpty() ? QString() : QStringLiteral(", ") + postageNote);
}
