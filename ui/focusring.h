#pragma once

#include <QFocusFrame>

//! A ring in the highlight colour around the widget the keyboard moved to, drawn outside it so
//! that no style's faint focus mark has to be found: Tab, a shortcut or a window's own focus
//! call shows it, a click does not. One ring for the whole program follows the focus.
class FocusRing final : public QFocusFrame
{
    Q_OBJECT
    Q_DISABLE_COPY(FocusRing)

public:
    //! Once per process; later calls do nothing.
    static void install();
    //! The ring in use, or null before install().
    static FocusRing *instance();
    //! Width of the ring in device-independent pixels.
    static constexpr int width = 2;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    FocusRing();
};
