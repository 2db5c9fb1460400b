#include "filedroplabel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>

namespace {
// Far beyond any contact picture; a file claiming more is not decoded at all.
constexpr qint64 maxImagePixels = 64 * 1024 * 1024;

QImage readImage(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxImagePixels)
        return QImage();
    reader.setAutoTransform(true);
    return reader.read();
}
}

FileDropLabel::FileDropLabel(QWidget *parent)
    : QLabel(parent)
{
    setAcceptDrops(true);
}

QImage FileDropLabel::imageFromMimeData(const QMimeData *data)
{
    if (!data)
        return QImage();
    // File managers send percent-encoded URLs: decoded, a path with blanks or umlauts works.
    QList<QUrl> urls = data->urls();
    if (urls.isEmpty() && data->text().startsWith(QLatin1String("file://")))
        urls.append(QUrl(data->text().trimmed()));
    for (const QUrl &url : qAsConst(urls)) {
        if (!url.isLocalFile())
            continue;
        const QImage image = readImage(url.toLocalFile());
        if (!image.isNull())
            return image;
    }
    return QImage();
}

void FileDropLabel::dragEnterEvent(QDragEnterEvent *event)
{
    showHighlight(true);
    event->acceptProposedAction();
}

void FileDropLabel::dragLeaveEvent(QDragLeaveEvent *event)
{
    showHighlight(false);
    QLabel::dragLeaveEvent(event);
}

void FileDropLabel::dropEvent(QDropEvent *event)
{
    showHighlight(false);
    const QImage image = imageFromMimeData(event->mimeData());
    if (!image.isNull()) {
        setPixmap(QPixmap::fromImage(image));
        emit imageChanged(image);
    }
    event->acceptProposedAction();
}

void FileDropLabel::showHighlight(bool on)
{
    setAutoFillBackground(on);
    setBackgroundRole(on ? QPalette::Highlight : QPalette::Window);
}
