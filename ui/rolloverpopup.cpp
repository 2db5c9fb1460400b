#include "rolloverpopup.h"
#include "ui_rolloverpopup.h"

#include "accessiblefactory.h"
#include "cticonnector.h"
#include "iconcache.h"
#include "line.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {
const QString styleSheetPath = QStringLiteral(":/styles/client.style");
const QString backgroundPath = QStringLiteral(":/images/rollover_background.png");
const QString avatarFramePath = QStringLiteral(":/images/avatar_frame.png");
const QString placeholderIconPath = QStringLiteral(":/images/phone_green.png");
const QString noAvatarPath = QStringLiteral(":/images/noAvatar.png");
//! The background artwork is light in every theme; the texts on it keep a dark ink of their own.
const QColor ink(0x26, 0x32, 0x38);
//! The picture sits inside the frame's border.
constexpr int avatarInset = 8;

//! Pop-ups sliding out, oldest first.
QList<QPointer<RollOverPopUp>> &rollingOut()
{
    static QList<QPointer<RollOverPopUp>> popups;
    return popups;
}

QString readStyleSheet()
{
    QFile file(styleSheetPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = file.readAll();
    const int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    return QString::fromUtf8(bytes);
}
}

RollOverPopUp::RollOverPopUp(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::RollOverPopUp)
    , m_background(IconCache::pixmap(backgroundPath))
{
    ui->setupUi(this);
    AccessibleFactory::install();
    // The form's pictures again, at the screen's pixel ratio.
    setIcon(IconCache::icon(placeholderIconPath));
    ui->callerPictureLabel->setPixmap(IconCache::pixmap(noAvatarPath, avatarLabelSize()));
    QPalette inked = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        inked.setColor(role, ink);
    setPalette(inked);
    ui->titleLabel->clear();
    ui->textLine1Label->clear();
    ui->textLine2Label->clear();
    // Caller names come from the server and must never be taken for markup.
    for (QLabel *label : {ui->titleLabel, ui->textLine1Label, ui->textLine2Label})
        label->setTextFormat(Qt::PlainText);

    setWindowFlags(Qt::Tool | Qt::BypassWindowManagerHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    const QString style = readStyleSheet();
    if (!style.isEmpty())
        setStyleSheet(style);
}

RollOverPopUp::~RollOverPopUp()
{
    delete ui;
}

void RollOverPopUp::setTitle(const QString &title)
{
    ui->titleLabel->setText(title);
    // What the window system and assistive tools call the pop-up.
    setWindowTitle(title);
}

void RollOverPopUp::setInnerTextLine1(const QString &text)
{
    ui->textLine1Label->setText(text);
}

void RollOverPopUp::setInnerTextLine2(const QString &text)
{
    ui->textLine2Label->setText(text);
}

void RollOverPopUp::setIcon(const QIcon &icon)
{
    ui->icon->setPixmap(icon.pixmap(iconLabelSize()));
}

void RollOverPopUp::setAvatar(const QIcon &icon)
{
    const QSize labelSize = avatarLabelSize();
    const QPixmap frame = IconCache::pixmap(avatarFramePath, labelSize);
    const QRect pictureRect(QPoint(avatarInset, avatarInset), labelSize - QSize(2 * avatarInset, 2 * avatarInset));

    // Composed in the frame's pixels; drawing below is in the label's logical units.
    QPixmap result(frame.size());
    result.setDevicePixelRatio(frame.devicePixelRatio());
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(pictureRect, icon.pixmap(pictureRect.size()));
        painter.drawPixmap(0, 0, frame);
    }
    ui->callerPictureLabel->setPixmap(result);
}

void RollOverPopUp::setAddressbookId(const QString &addressId)
{
    m_addressbookId = addressId;
    CTIConnector::instance()->requestAddressPicture(addressId);
}

QSize RollOverPopUp::iconLabelSize() const
{
    return ui->icon->size();
}

QSize RollOverPopUp::avatarLabelSize() const
{
    return ui->callerPictureLabel->size();
}

QRect RollOverPopUp::rollInStart(const QSize &popup, const QRect &screen)
{
    return QRect(QPoint(screen.width() - popup.width(), -popup.height()), popup);
}

QRect RollOverPopUp::rollInEnd(const QSize &popup, const QRect &screen, const QRect &available)
{
    // Just below what the system reserves at the top. The height difference alone would put it a
    // panel's height down when the panel sits at the bottom, as it often does on Linux desktops.
    return QRect(QPoint(screen.width() - popup.width(), available.top() - screen.top()), popup);
}

QRect RollOverPopUp::screenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

void RollOverPopUp::rollIn(int duration)
{
    // One still sliding out is covered by this one: it goes at once instead of sliding on
    // behind it, so calls in quick succession leave no heap of windows animating unseen.
    // A screen reader hears of the same call once, not again for each pop-up that replaces one.
    QStringList lines{ui->textLine1Label->text(), ui->textLine2Label->text()};
    lines.removeAll(QString());
    setAccessibleName(ui->titleLabel->text());
    setAccessibleDescription(lines.join(QLatin1String(", ")));
    bool repeated = false;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *popup = qobject_cast<RollOverPopUp *>(widget);
        repeated = repeated || (popup && popup != this && popup->isVisible() && popup->accessibleName() == accessibleName()
                                && popup->accessibleDescription() == accessibleDescription());
    }
    m_told = !repeated;
    for (const QPointer<RollOverPopUp> &popup : std::exchange(rollingOut(), {})) {
        if (popup && popup != this) {
            popup->hide();
            popup->deleteLater();
        }
    }
    if (duration != -1)
        QTimer::singleShot(duration + animationDurationMs, this, &RollOverPopUp::rollOut);

    // Connected only now: Qt does not call slots connected during an emission for that emission,
    // so the line event that built this pop-up does not roll it out again.
    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::addressPictureAvailable, this, &RollOverPopUp::showAddressPicture,
            Qt::UniqueConnection);
    connect(connector, &CTIConnector::lineClosed, this, &RollOverPopUp::rollOut, Qt::UniqueConnection);
    connect(connector, &CTIConnector::lineChanged, this, &RollOverPopUp::rollOut, Qt::UniqueConnection);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screenGeometry();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect start = rollInStart(size(), screenRect);
    setGeometry(start);
    // It takes no focus: a screen reader reads it as it shows, the caller in its description.
    show();
    m_slide = slide(start, rollInEnd(size(), screenRect, available));
}

void RollOverPopUp::rollOut()
{
    // Several line events, the timer and hidePopup() may all ask; one slide and one deletion only.
    if (m_rollingOut)
        return;
    m_rollingOut = true;
    rollingOut().removeAll(nullptr);
    rollingOut().append(this);
    if (m_slide)
        m_slide->stop(); // deletes itself

    const QRect end = rollInStart(size(), screenGeometry());
    QPropertyAnimation *animation = slide(QRect(QPoint(end.x(), geometry().y()), size()), end);
    connect(animation, &QPropertyAnimation::finished, this, [this] {
        hide();
        deleteLater();
    });
}

void RollOverPopUp::showAddressPicture(const QPixmap &picture, const QString &addressId)
{
    // Other views ask for pictures too; a stranger's face or a failed load must not replace the
    // placeholder.
    if (picture.isNull() || m_addressbookId.isEmpty() || addressId != m_addressbookId)
        return;
    setAvatar(QIcon(picture));
}

void RollOverPopUp::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.drawPixmap(rect(), m_background);
    }
    QWidget::paintEvent(event);
}

QPropertyAnimation *RollOverPopUp::slide(const QRect &from, const QRect &to)
{
    auto *animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(animationDurationMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}
