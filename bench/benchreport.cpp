#include "benchreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

bool BenchReport::Figure::met() const
{
    if (!target)
        return true;
    return goal == Goal::AtMost ? value <= *target : value >= *target;
}

void BenchReport::add(const QString &name, double value, const QString &unit)
{
    m_figures.append({name, value, unit, std::nullopt, Goal::AtMost});
}

void BenchReport::add(const QString &name, double value, const QString &unit, double target, Goal goal)
{
    m_figures.append({name, value, unit, target, goal});
}

QString BenchReport::table() const
{
    QString text;
    QTextStream out(&text);
    out << qSetFieldWidth(34) << Qt::left << "figure" << qSetFieldWidth(16) << Qt::right << "value"
        << qSetFieldWidth(0) << "  " << qSetFieldWidth(10) << Qt::left << "unit" << qSetFieldWidth(14) << "target"
        << qSetFieldWidth(0) << "met\n";
    for (const Figure &figure : m_figures) {
        QString target = QStringLiteral("-");
        if (figure.target)
            target = (figure.goal == Goal::AtMost ? QStringLiteral("<= ") : QStringLiteral(">= "))
                + QString::number(*figure.target, 'g', 6);
        out << qSetFieldWidth(34) << Qt::left << figure.name << qSetFieldWidth(16) << Qt::right
            << QString::number(figure.value, 'f', figure.value >= 1000 ? 0 : 3) << qSetFieldWidth(0) << "  "
            << qSetFieldWidth(10) << Qt::left << figure.unit << qSetFieldWidth(14) << target << qSetFieldWidth(0)
            << (figure.met() ? "yes" : "NO") << "\n";
    }
    out.flush();
    return text;
}

QByteArray BenchReport::json() const
{
    QJsonArray array;
    for (const Figure &figure : m_figures) {
        array.append(QJsonObject{
            {"name", figure.name},
            {"value", figure.value},
            {"unit", figure.unit},
            {"target", figure.target ? QJsonValue(*figure.target) : QJsonValue()},
            {"goal", figure.goal == Goal::AtLeast ? "at least" : "at most"},
            {"met", figure.met()},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

bool BenchReport::addJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return false;
    for (const QJsonValue &value : document.array()) {
        const QJsonObject figure = value.toObject();
        const QString name = figure.value(QLatin1String("name")).toString();
        const double measured = figure.value(QLatin1String("value")).toDouble();
        const QString unit = figure.value(QLatin1String("unit")).toString();
        const QJsonValue target = figure.value(QLatin1String("target"));
        if (target.isDouble()) {
            const bool atLeast = figure.value(QLatin1String("goal")).toString() == QLatin1String("at least");
            add(name, measured, unit, target.toDouble(), atLeast ? Goal::AtLeast : Goal::AtMost);
        } else {
            add(name, measured, unit);
        }
    }
    return true;
}

bool BenchReport::allMet() const
{
    for (const Figure &figure : m_figures) {
        if (!figure.met())
            return false;
    }
    return true;
}
