#pragma once

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

class QCheckBox;
class QRadioButton;
class QSettings;
class QSlider;
class QSpinBox;

//! The client's one persistent store (login data, window geometry, options, dial prefix),
//! a process-wide instance over the native per-user QSettings.
//! The widget bindings are compiled into talvero_shell_widgets so the core layers stay free of Widgets.
class Settings final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Settings)

public:
    static Settings *instance();

    QVariant getValueForKey(const QString &key, const QVariant &defaultValue = QVariant()) const;
    //! Stores, emits settingChanged (the value is readable by then), then flushes to disk.
    void setValueForKey(const QString &key, const QVariant &value);
    //! Forgets the key (reads give the default again), emits settingChanged with an invalid value,
    //! then flushes to disk.
    void removeValueForKey(const QString &key);
    //! As setValueForKey() for each, in key order, with one flush at the end.
    void setValuesForKeys(const QMap<QString, QVariant> &values);
    QStringList getKeysOfGroup(const QString &group) const;

    //! Every value but the password store's (the saved password, the keyring's accounts): no
    //! options, and moved to the keyring at any time.
    void saveSnapshot();
    //! Writes every snapshot value back in ascending key order. Keys added since stay, but for
    //! options first set through a bound widget: those are forgotten again.
    void rollBackToSnapShot();
    QMap<QString, QVariant> snapshot() const { return m_snapshot; }

    //! Binding only connects; the widget is not loaded from the store.
    void bindCheckBoxToSetting(QCheckBox *box);
    void bindSpinBoxToSetting(QSpinBox *box);
    void bindSliderToSetting(QSlider *slider);
    void bindRadioButtonToSetting(QRadioButton *button);

    //! Path of the backing file (for the owner-only permission check).
    QString fileName() const;

public slots:
    void checkBoxToggled(bool state);
    void intValueChanged(int value);
    void radioButtonToggled(bool checked);

signals:
    void settingChanged(const QString &setting, const QVariant &value);

private:
    Settings();
    ~Settings() override;

    void storeRadioButton(const QString &objectName, bool checked);
    //! setValueForKey() for a bound widget's option, noted for the roll-back.
    void storeOption(const QString &key, const QVariant &value);
    void restrictPermissions() const;

    QSettings *m_store;
    QMap<QString, QVariant> m_snapshot;
    QSet<QString> m_optionsStored; // through bound widgets since the snapshot
};
