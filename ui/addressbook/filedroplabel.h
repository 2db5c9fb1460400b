#pragma once

#include <QImage>
#include <QLabel>

class QMimeData;

//! A picture label that takes an image file dropped on it: shows it and hands it on by
//! imageChanged(). Drops are accepted from construction on.
class FileDropLabel final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(FileDropLabel)

public:
    explicit FileDropLabel(QWidget *parent = nullptr);

    //! The image file a drop carries: the first local file it names that loads as an image;
    //! null when there is none.
    static QImage imageFromMimeData(const QMimeData *data);

signals:
    void imageChanged(const QImage &image);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void showHighlight(bool on);
};
