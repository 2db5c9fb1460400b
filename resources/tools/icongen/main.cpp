// Renders the hand-written SVG icon sources to PNG at their exact pixel size (and, with
// --scales, at multiples of it beside them as name@2x.png, which Qt picks on dense screens)
// and writes the .qrc that embeds them, so only sources live in the repository. Entries
// ending in .svg get the expanded source instead (the desktop's scalable icon).

#include "contactsheet.h"
#include "iconentry.h"
#include "svgtemplate.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QSvgRenderer>
#include <QTextStream>
#include <QXmlStreamReader>

#include <cstdio>

namespace {

bool g_rendering = false;
int g_svgWarnings = 0;

// QtSvg only warns about elements it cannot draw; for a build step that must be an error.
// Outside rendering only real errors are shown, which keeps platform chatter out of the build log.
void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (g_rendering) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            ++g_svgWarnings;
    } else if (type != QtCriticalMsg && type != QtFatalMsg) {
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool readManifest(const QString &path, QList<IconEntry> *entries, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QSet<QString> seen;
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        IconEntry entry;
        QString lineError;
        if (!IconEntry::parse(line, &entry, &lineError)) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNumber).arg(lineError);
            return false;
        }
        if (seen.contains(entry.resourcePath)) {
            *error = QStringLiteral("%1:%2: %3 listed twice").arg(path).arg(lineNumber).arg(entry.resourcePath);
            return false;
        }
        seen.insert(entry.resourcePath);
        entries->append(entry);
    }
    return true;
}

bool isBlank(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                return false;
        }
    }
    return true;
}

QImage renderEntry(const QByteArray &svg, const QSize &size)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// QtSvg draws what it understands of a broken document; an SVG handed to other programs
// (the desktop's icon theme) must be well-formed XML as a whole.
bool isWellFormed(const QByteArray &svg, QString *error)
{
    QXmlStreamReader reader(svg);
    while (!reader.atEnd())
        reader.readNext();
    if (!reader.hasError())
        return true;
    *error = QStringLiteral("expanded SVG is not well-formed: line %1: %2")
                 .arg(reader.lineNumber())
                 .arg(reader.errorString());
    return false;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// "images/a.png" at scale 2 is "images/a@2x.png": the name QIcon looks for on a dense screen.
QString scaledPath(const QString &path, int scale)
{
    if (scale == 1)
        return path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return path.left(dot) + QStringLiteral("@%1x").arg(scale) + path.mid(dot);
}

bool parseScales(const QString &text, QList<int> *scales)
{
    scales->append(1);
    if (text.isEmpty())
        return true;
    for (const QString &field : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int scale = field.toInt(&ok);
        // Qt looks for @2x to @9x only.
        if (!ok || scale < 2 || scale > 9 || scales->contains(scale))
            return false;
        scales->append(scale);
    }
    return true;
}

bool writeQrc(const QString &path, const QList<IconEntry> &entries, const QList<int> &scales, QString *error)
{
    // Grouped by the first path component, which becomes the resource prefix.
    QMap<QString, QStringList> byPrefix;
    for (const IconEntry &entry : entries) {
        const int slash = entry.resourcePath.indexOf(QLatin1Char('/'));
        const QString prefix = slash < 0 ? QString() : entry.resourcePath.left(slash);
        for (int scale : entry.writesSvg() ? QList<int>{1} : scales)
            byPrefix[prefix].append(scaledPath(entry.resourcePath, scale));
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n";
    for (auto it = byPrefix.cbegin(); it != byPrefix.cend(); ++it) {
        out << "  <qresource prefix=\"/" << it.key() << "\">\n";
        for (const QString &resource : it.value()) {
            const QString alias = it.key().isEmpty() ? resource : resource.mid(it.key().size() + 1);
            out << "    <file alias=\"" << alias << "\">" << resource << "</file>\n";
        }
        out << "  </qresource>\n";
    }
    out << "</RCC>\n";
    out.flush();
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Rendering needs no display; fonts for the contact sheet need a platform plugin.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(messageHandler);
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders the icon manifest to PNG files."));
    parser.addHelpOption();
    const QCommandLineOption manifestOption(QStringLiteral("manifest"), QStringLiteral("Icon manifest."),
                                            QStringLiteral("file"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Output folder."),
                                       QStringLiteral("dir"));
    const QCommandLineOption qrcOption(QStringLiteral("qrc"), QStringLiteral("Write a .qrc listing the PNGs."),
                                       QStringLiteral("file"));
    const QCommandLineOption sheetOption(QStringLiteral("sheet"), QStringLiteral("Write a contact sheet PNG."),
                                         QStringLiteral("file"));
    const QCommandLineOption zoomOption(QStringLiteral("zoom"), QStringLiteral("Contact sheet magnification."),
                                        QStringLiteral("n"), QStringLiteral("4"));
    const QCommandLineOption scalesOption(QStringLiteral("scales"),
                                          QStringLiteral("Also render each PNG at these multiples, e.g. 2,3."),
                                          QStringLiteral("list"));
    parser.addOptions({manifestOption, outOption, qrcOption, sheetOption, zoomOption, scalesOption});
    parser.process(app);

    if (!parser.isSet(manifestOption) || !parser.isSet(outOption)) {
        std::fprintf(stderr, "icongen: --manifest and --out are required\n");
        return 2;
    }

    QList<int> scales;
    if (!parseScales(parser.value(scalesOption), &scales)) {
        std::fprintf(stderr, "icongen: --scales wants distinct whole numbers from 2 to 9\n");
        return 2;
    }

    const QString manifestPath = parser.value(manifestOption);
    QList<IconEntry> entries;
    QString error;
    if (!readManifest(manifestPath, &entries, &error)) {
        std::fprintf(stderr, "icongen: %s\n", qPrintable(error));
        return 1;
    }

    const QDir outDir(parser.value(outOption));
    const SvgTemplate expander(QFileInfo(manifestPath).absoluteDir());
    ContactSheet sheet(parser.value(zoomOption).toInt());
    int failures = 0;

    for (const IconEntry &entry : entries) {
        QByteArray svg;
        if (!expander.expand(entry.source, entry.values, &svg, &error)) {
            std::fprintf(stderr, "icongen: %s: %s\n", qPrintable(entry.resourcePath), qPrintable(error));
            ++failures;
            continue;
        }
        const int warningsBefore = g_svgWarnings;
        g_rendering = true;
        const QImage image = renderEntry(svg, entry.size);
        g_rendering = false;
        if (image.isNull() || g_svgWarnings != warningsBefore) {
            std::fprintf(stderr, "icongen: %s: %s does not render cleanly\n", qPrintable(entry.resourcePath),
                         qPrintable(entry.source));
            ++failures;
            continue;
        }
        if (isBlank(image)) {
            std::fprintf(stderr, "icongen: %s: rendered nothing\n", qPrintable(entry.resourcePath));
            ++failures;
            continue;
        }
        if (entry.writesSvg() && !isWellFormed(svg, &error)) {
            std::fprintf(stderr, "icongen: %s: %s\n", qPrintable(entry.resourcePath), qPrintable(error));
            ++failures;
            continue;
        }
        const QString target = outDir.filePath(entry.resourcePath);
        if (!QDir().mkpath(QFileInfo(target).absolutePath())
            || !(entry.writesSvg() ? writeFile(target, svg) : image.save(target, "PNG"))) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(target));
            ++failures;
            continue;
        }
        for (int scale : entry.writesSvg() ? QList<int>{} : scales.mid(1)) {
            const QString scaledTarget = outDir.filePath(scaledPath(entry.resourcePath, scale));
            if (!renderEntry(svg, entry.size * scale).save(scaledTarget, "PNG")) {
                std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(scaledTarget));
                ++failures;
            }
        }
        sheet.add(entry.resourcePath.section(QLatin1Char('/'), 1), image);
    }

    if (failures > 0)
        return 1;

    if (parser.isSet(qrcOption) && !writeQrc(parser.value(qrcOption), entries, scales, &error)) {
        std::fprintf(stderr, "icongen: %s\n", qPrintable(error));
        return 1;
    }
    if (parser.isSet(sheetOption) && !sheet.render().save(parser.value(sheetOption), "PNG")) {
        std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(parser.value(sheetOption)));
        return 1;
    }
    return 0;
}
