#pragma once

#include "twolineitemdelegate.h"

#include <QPixmap>

//! Paints a conversation row in two lines: call-state icon, remote party, date and duration.
class UCCItemDelegate final : public TwoLineItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY(UCCItemDelegate)

public:
    explicit UCCItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    //! The width the row's full texts take.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    //! The first line in full where it is shown shortened.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
    //! The least width at which a full-length international number and the second line show whole.
    static int leastWidth();

    //! "number - first last - company", separators kept where fields are empty.
    static QString line1Text(const QModelIndex &index);
    //! The row's date-time as "dd.MM.yyyy hh:mm".
    static QString dateText(const QModelIndex &index);
    //! A duration as a time of day from midnight, "HH:mm:ss"; a day or more wraps around.
    static QString durationText(int seconds);

private:
    QPixmap m_phoneGreen;
    QPixmap m_phoneRed;
};
