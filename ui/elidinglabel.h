#pragma once

#include <QLabel>

//! A one-line plain-text label for a name or a company: text wider than the label ends in "…" and
//! shows in full in the tool tip; it asks its layout for the full width but takes less.
//! text() is always the full text.
class ElidingLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(ElidingLabel)

public:
    explicit ElidingLabel(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    //! Whether the text is shown shortened at the label's present width.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateToolTip();
};
