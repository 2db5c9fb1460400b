#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

// Lays rendered icons out on a light and a dark panel, magnified with hard pixel
// edges next to their real size, so the set can be reviewed by eye in one picture.
class ContactSheet
{
public:
    explicit ContactSheet(int zoom);

    void add(const QString &label, const QImage &image);
    QImage render() const;

private:
    QImage renderPanel(const QColor &background, const QColor &text) const;
    int zoomFor(const QImage &image) const;

    int m_zoom;
    QList<QString> m_labels;
    QList<QImage> m_images;
};
