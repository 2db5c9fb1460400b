#pragma once

#include <QList>
#include <QString>

#include <optional>

//! Collects benchmark figures and prints them as a table or as JSON.
class BenchReport
{
public:
    enum class Goal { AtMost, AtLeast };

    struct Figure
    {
        QString name;
        double value = 0;
        QString unit;
        std::optional<double> target;
        Goal goal = Goal::AtMost;

        bool met() const;
    };

    void add(const QString &name, double value, const QString &unit);
    void add(const QString &name, double value, const QString &unit, double target, Goal goal);

    QString table() const;
    QByteArray json() const;
    //! Adds the figures of another run's json(); false if it is none.
    bool addJson(const QByteArray &json);
    bool allMet() const;

private:
    QList<Figure> m_figures;
};
