#include "contactsheet.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
const int kPanelWidth = 1600;
const int kMargin = 16;
const int kGap = 12;
const int kLabelHeight = 16;
const int kMaxMagnified = 260; // big backgrounds stay readable without dwarfing the glyphs
}

ContactSheet::ContactSheet(int zoom)
    : m_zoom(std::max(1, zoom))
{
}

void ContactSheet::add(const QString &label, const QImage &image)
{
    m_labels.append(label);
    m_images.append(image);
}

int ContactSheet::zoomFor(const QImage &image) const
{
    const int side = std::max(image.width(), image.height());
    return std::max(1, std::min(m_zoom, kMaxMagnified / std::max(1, side)));
}

QImage ContactSheet::renderPanel(const QColor &background, const QColor &text) const
{
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);

    // First pass: place cells in rows; second pass: paint.
    QList<QPoint> placements;
    int x = kMargin;
    int y = kMargin;
    int rowHeight = 0;
    for (const QImage &image : m_images) {
        const int z = zoomFor(image);
        const int labelWidth = metrics.horizontalAdvance(m_labels.at(placements.size()));
        const int cellWidth = std::max(image.width() * z + kGap + image.width(), labelWidth);
        const int cellHeight = image.height() * z + kLabelHeight;
        if (x + cellWidth > kPanelWidth - kMargin && x > kMargin) {
            x = kMargin;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        placements.append(QPoint(x, y));
        x += cellWidth + 2 * kGap;
        rowHeight = std::max(rowHeight, cellHeight);
    }

    QImage panel(kPanelWidth, y + rowHeight + kMargin, QImage::Format_ARGB32_Premultiplied);
    panel.fill(background);
    QPainter painter(&panel);
    painter.setFont(font);
    painter.setPen(text);
    for (int i = 0; i < m_images.size(); ++i) {
        const QImage &image = m_images.at(i);
        const int z = zoomFor(image);
        const QPoint p = placements.at(i);
        // Hard edges on the magnified copy show exactly which pixels are set.
        painter.drawImage(QRect(p.x(), p.y(), image.width() * z, image.height() * z), image);
        painter.drawImage(QPoint(p.x() + image.width() * z + kGap, p.y()), image);
        painter.drawText(QPoint(p.x(), p.y() + image.height() * z + kLabelHeight - 4), m_labels.at(i));
    }
    return panel;
}

QImage ContactSheet::render() const
{
    const QImage light = renderPanel(QColor(0xff, 0xff, 0xff), QColor(0x37, 0x47, 0x4f));
    const QImage dark = renderPanel(QColor(0x26, 0x32, 0x38), QColor(0xec, 0xef, 0xf1));
    QImage sheet(kPanelWidth, light.height() + dark.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, light);
    painter.drawImage(0, light.height(), dark);
    return sheet;
}
