#pragma once

#include "platform.h"

#include <QObject>

class CTIMainWindow;

//! The application object: installs the translation, runs the login and builds the main window
//! once the login succeeded; the main window lives as long as this object.
class CTIClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(CTIClient)

public:
    explicit CTIClient(QObject *parent = nullptr);
    //! Ends the main window with the process, while the application object still exists.
    ~CTIClient() override;

    static constexpr bool isMacOSX() { return Platform::isMacOSX(); }
    static constexpr bool isWindows() { return Platform::isWindows(); }
    static constexpr bool isLinuxX11() { return Platform::isLinuxX11(); }

    //! The translation name for a language: "de_de", "no", "ru", or empty.
    static QString translationNameFor(int language);
    //! Loads and installs the translation for a language; false (with a warning) when there is none.
    bool installTranslation(int language);

    CTIMainWindow *mainWindow() const { return m_mainWindow; }

public slots:
    void exec();
    void setupTranslator();
    void onLoginSuccess();
    void onLoginGiveup();
    void shutDownApplication();

private:
    CTIMainWindow *m_mainWindow = nullptr;
};
