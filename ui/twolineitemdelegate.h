#pragma once

#include <QStyledItemDelegate>

//! Base of the delegates that draw a row as two lines of their own: twice the usual height, the
//! style's background, selection and focus without its text, and the text colour for the row.
class TwoLineItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY(TwoLineItemDelegate)

public:
    explicit TwoLineItemDelegate(QObject *parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    //! Draws the row's background for the index and returns the option it was drawn with.
    QStyleOptionViewItem drawBackground(QPainter *painter, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const;
    //! The palette's text colour (highlighted text when selected), taken from the disabled,
    //! inactive or normal group as the row's state says.
    static QColor textColor(const QStyleOptionViewItem &option);
    //! The colour the text stands on: highlight, alternate base or base, from the same group.
    static QColor groundColor(const QStyleOptionViewItem &option);

private:
    static QPalette::ColorGroup colorGroup(const QStyleOptionViewItem &option);
};
