#include <QFile>
#include <QImage>
#include <QTranslator>
#include <QtTest>

class TstResources : public QObject
{
    Q_OBJECT

private slots:
    void imageLoads_data();
    void imageLoads();
    void absentNamesLoadNothing();
    void translated_data();
    void translated();
};

void TstResources::imageLoads_data()
{
    // Every image the client asks for, by the size its widgets draw it at.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    QStringList lamps = {QStringLiteral("blf/phone_grey"), QStringLiteral("blf/im_gray")};
    for (const char *colour : {"black", "blue", "dark_gray", "green", "magneta", "orange", "red", "white", "yellow"})
        lamps << QStringLiteral("blf/phone_") + colour << QStringLiteral("blf/im_") + colour;

    const QList<QPair<QSize, QStringList>> groups = {
        {{256, 256}, {"appicon"}},
        {{32, 32}, {"call_states/in_ring_yellow", "call_states/in_call_green", "call_states/in_call_yellow",
                    "call_states/in_call_red", "call_states/out_ring_yellow", "call_states/out_call_green",
                    "call_states/out_call_yellow", "call_states/out_call_red", "abort", "dial_btn",
                    "hangup_btn", "pause_button", "play_btn", "record_btn", "transfer_btn"}},
        {{16, 16}, lamps + QStringList{"phone_green", "phone_red", "plus", "uclist_icon"}},
        {{24, 24}, {"cancel_icn_black", "edit_icn_black", "new_icn_black", "save_icn_black", "trash_icn_black",
                    "addressbook", "configure", "configs_icon", "uclist"}},
        {{12, 12}, {"led_blue", "led_dark_blue", "led_dark_red", "led_yellow", "tiny_timer"}},
        {{15, 15}, {"led_green", "led_red"}},
        {{64, 64}, {"noAvatar", "avatar_frame"}},
        {{100, 20}, {"blf_field_big"}},
        {{48, 16}, {"dialbutton_label"}},
        {{300, 100}, {"rollover_background"}},
    };
    for (const auto &group : groups) {
        for (const QString &name : group.second)
            QTest::newRow(qPrintable(name)) << QStringLiteral(":/images/%1.png").arg(name) << group.first;
    }
}

void TstResources::imageLoads()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // Beside it the renderings a dense screen takes, under the names QIcon looks for.
    for (int scale : {2, 3}) {
        const QString scaled = QString(path).replace(QLatin1String(".png"), QStringLiteral("@%1x.png").arg(scale));
        QCOMPARE(QImage(scaled).size(), size * scale);
    }
}

void TstResources::absentNamesLoadNothing()
{
    // Referenced by the code, deliberately not in the set.
    for (const char *path : {":/images/green.png", ":/images/orange.png", ":/images/red.png", ":/images/gray.png",
                             ":/images/blf/phone_dark_orange.png", ":/images/blf/phone_dark_magneta.png",
                             ":/styles/client.style"})
        QVERIFY2(!QFile::exists(QLatin1String(path)) && QImage(QLatin1String(path)).isNull(), path);
}

void TstResources::translated_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");

    QTest::newRow("login") << "de_de" << "LoginDialog" << "Incorrect username or password"
                           << "Benutzername oder Passwort falsch";
    QTest::newRow("main window") << "de_de" << "CTIMainWindow" << "... dial a number" << "... Nummer wählen";
    QTest::newRow("call view") << "de_de" << "RunningLineView" << "Company" << "Firma";
    QTest::newRow("pop-up") << "de_de" << "NotificationFactory" << "Incoming call!" << "Eingehender Anruf!";
    QTest::newRow("reconnect") << "de_de" << "ReconnectWindow" << "Change CTI server" << "CTI-Server wechseln";
    QTest::newRow("tray") << "de_de" << "SystemTrayIcon" << "Dial: " << "Wählen: ";
    QTest::newRow("russian") << "ru" << "CTIMainWindow" << "Conversations" << "Разговоры";
}

void TstResources::translated()
{
    QFETCH(QString, file);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QTranslator translator;
    QVERIFY(translator.load(file, QStringLiteral(":/tr/"), QString(), QStringLiteral(".qm")));
    QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), translation);
}

QTEST_GUILESS_MAIN(TstResources)
#include "tst_resources.moc"
