#pragma once

#include <QDialog>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace Ui {
class ConfigDialog;
}
class Click2DialComponent;
class QLabel;

//! The client's own options, nearly all of them the extension monitor's. Every option widget is
//! bound to the setting of its own name, so a change is stored and announced at once and the
//! monitor follows it live; the opener snapshots the settings first and rolls them back on Cancel.
//! The peers tab is stored only on OK.
class ConfigDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(ConfigDialog)

public:
    //! Starts the replacement instance after a logout; answers whether it started.
    using Launcher = std::function<bool(const QString &program, const QStringList &arguments)>;
    //! Asks the running instance to end.
    using Quitter = std::function<void()>;

    explicit ConfigDialog(QWidget *parent = nullptr);
    ~ConfigDialog() override;

    //! Loads and binds the options, fills the account and the peers; once, before showing.
    void initialise();

    void bindBoolKey(const QString &key, bool defaultValue);
    void bindIntKey(const QString &key, int defaultValue, int min, int max);
    void bindIntKeyToSlider(const QString &key, int defaultValue, int max);
    void bindIntKeyToRadioButtonGroup(const QString &key, int defaultValue, int first);

    //! The click-to-dial whose hot key the "General" tab edits; by default the main window's.
    void setClickToDial(Click2DialComponent *component) { m_clickToDial = component; }

    //! By default a detached QProcess.
    void setLauncher(Launcher launcher);
    //! By default QCoreApplication::quit().
    void setQuitter(Quitter quitter);

public slots:
    void onAccepted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void onForgetLoginDataButtonClick();

private:
    void fillPeers();
    void updateEnabledStates();
    void bindHotKey();
    void onHotKeyEdited();
    void showHotKeyState();
    //! What to do for a shortcut of the desktop's own; canAdd: whether this client can add it.
    QString desktopShortcutText(bool *canAdd);
    void addDesktopShortcut();
    static void fitWrapped(QLabel *label);

    Ui::ConfigDialog *ui;
    Launcher m_launcher;
    Quitter m_quitter;
    Click2DialComponent *m_clickToDial = nullptr;
    QVariant m_storedHotKey; // as stored when the dialog opened (invalid: never chosen)
    QString m_shortcutNote;  // what adding the desktop's shortcut came to
    struct {
        bool read = false;
        bool available = false;
        QString binding; // of the entry that runs our command
    } m_gnome;           // GNOME's keyboard shortcuts, as this dialog last saw them
};
