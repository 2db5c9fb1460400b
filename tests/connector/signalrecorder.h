#pragma once

#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>

#include <memory>
#include <vector>

// Spies on every signal of an object, so a test can say "nothing at all was emitted".
class SignalRecorder
{
public:
    explicit SignalRecorder(QObject *object)
    {
        const QMetaObject *meta = object->metaObject();
        for (int i = QObject::staticMetaObject.methodCount(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal)
                m_spies.emplace_back(std::make_unique<QSignalSpy>(object, method));
        }
    }

    //! The names of the signals emitted since construction, with their counts.
    QStringList emitted() const
    {
        QStringList names;
        for (const auto &spy : m_spies) {
            if (spy->count() > 0)
                names << QString::fromLatin1(spy->signal()) + QLatin1Char('x') + QString::number(spy->count());
        }
        return names;
    }

    //! As emitted(), the signals about the link alone: after a reconnection the records asked
    //! for again announce themselves as well.
    QStringList linkSignals() const
    {
        static const QStringList link{"loginSuccess", "loginFailed", "connectFailed", "connectionLost",
                                      "reconnectSuccess", "reconnectFailed"};
        QStringList names;
        for (const QString &name : emitted()) {
            if (link.contains(name.section(QLatin1Char('('), 0, 0)))
                names << name;
        }
        return names;
    }

private:
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};
