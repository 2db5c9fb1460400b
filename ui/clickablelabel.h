#pragma once

#include <QLabel>

//! A label that reports left and right clicks; the extension monitor's lamps are made of it.
class ClickableLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(ClickableLabel)

public:
    explicit ClickableLabel(const QString &text = QString(), QWidget *parent = nullptr);

signals:
    void clicked();
    void rightClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
