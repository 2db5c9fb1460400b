#pragma once

#include <QLabel>

//! A label that reports left and right clicks; the extension monitor's lamps are made of it.
//! Given a focus policy that takes Tab, it is also a button for the keyboard and for assistive
//! technology: Enter, Return or Space clicks, F2 or the menu key right-clicks, a frame in the
//! palette's highlight colour shows the focus, and it is announced as a button under its
//! accessible name.
class ClickableLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(ClickableLabel)

public:
    explicit ClickableLabel(const QString &text = QString(), QWidget *parent = nullptr);

    //! Width of the focus frame, in device-independent pixels.
    static constexpr int focusFrameWidth = 2;

signals:
    void clicked();
    void rightClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
