#include "runninglineview.h"
#include "ui_runninglineview.h"

#include "accessiblefactory.h"
#include "callstate.h"
#include "cticonnector.h"
#include "fontfactory.h"
#include "iconcache.h"
#include "line.h"
#include "platform.h"

#include <QAccessible>

const QString RunningLineView::transferTarget = QStringLiteral("924");

namespace {
const QSize callStateIconSize(32, 32);
}

RunningLineView::RunningLineView(Line *line, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::RunningLineView)
    , m_line(line)
{
    ui->setupUi(this);
    AccessibleFactory::install();
    // A row in a scrolling list: as tall as its content, so rows added below move none above.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui->nameLabel->setFont(FontFactory::defaultFont());
    ui->phoneNumberLabel->setFont(FontFactory::defaultFont());
    ui->companyLabel->setFont(FontFactory::smallFont());
    ui->timeLabel->setFont(FontFactory::tinyFont());
    if (Platform::isMacOSX()) {
        ui->gridLayout->setHorizontalSpacing(16);
        ui->gridLayout->setVerticalSpacing(14);
    }
    // The caller's data comes from the server and must never be taken for markup. A long name
    // or company is elided at the window's edge; the number is never shortened: the window takes
    // the width it needs.
    for (QLabel *label : {static_cast<QLabel *>(ui->nameLabel), static_cast<QLabel *>(ui->companyLabel), ui->phoneNumberLabel})
        label->setTextFormat(Qt::PlainText);

    // The clock changes its text every second; at a fixed size that relays out nothing else.
    ui->timeLabel->setFixedSize(ui->timeLabel->sizeHint());

    ui->transferButton->setIcon(IconCache::icon(QStringLiteral(":/images/transfer_btn.png")));
    ui->hangupButton->setIcon(IconCache::icon(QStringLiteral(":/images/hangup_btn.png")));
    ui->holdButton->setIcon(IconCache::icon(QStringLiteral(":/images/pause_button.png")));
    ui->recordButton->setIcon(IconCache::icon(QStringLiteral(":/images/record_btn.png")));
    // The form's pictures again, at the screen's pixel ratio.
    ui->callStateLabel->setPixmap(IconCache::pixmap(QStringLiteral(":/images/dialbutton_label.png")));
    ui->avatarLabel->setPixmap(IconCache::pixmap(QStringLiteral(":/images/noAvatar.png")));
    ui->holdButton->setCheckable(true);
    // The keys reach the newest call; where several run, a click reaches the others.
    const auto withKey = [](const QString &text, const QKeySequence &keys) {
        return tr("%1 (newest call: %2)").arg(text, keys.toString(QKeySequence::NativeText));
    };
    ui->hangupButton->setToolTip(withKey(tr("Hang up"), hangupKeys));
    ui->holdButton->setToolTip(withKey(tr("Hold"), holdKeys));
    ui->transferButton->setToolTip(withKey(tr("Transfer"), transferKeys));
    ui->recordButton->setToolTip(tr("Record"));

    connect(ui->hangupButton, &QPushButton::clicked, this, &RunningLineView::hangupCall);
    connect(ui->recordButton, &QPushButton::clicked, this, &RunningLineView::recordCall);
    connect(ui->holdButton, &QPushButton::clicked, this, &RunningLineView::holdCall);
    connect(ui->transferButton, &QPushButton::clicked, this, &RunningLineView::transferCall);
    CTIConnector *connector = CTIConnector::instance();
    if (line)
        connect(line, &Line::changed, this, &RunningLineView::updateView);
    connect(connector, &CTIConnector::addressPictureAvailable, this, &RunningLineView::showAddressPicture);

    // Built and wired, but nothing offers them yet.
    ui->recordButton->hide();
    ui->holdButton->hide();
    ui->transferButton->hide();

    // A caller who is no contact has no picture to ask for.
    if (line && !line->remoteId().isEmpty())
        connector->requestAddressPicture(line->remoteId());
    updateView();
}

RunningLineView::~RunningLineView()
{
    delete ui;
}

void RunningLineView::updateView()
{
    if (!m_line)
        return;
    ui->nameLabel->setText(m_line->remoteNameFormatted());
    ui->companyLabel->setText(m_line->remoteCompanyName());
    ui->phoneNumberLabel->setText(m_line->remoteNumber());
    ui->timeLabel->setText(m_line->callDuration().toString(Qt::TextDate));
    const auto shown = std::make_pair(m_line->callState(), m_line->callCallDirection());
    if (shown != m_shownIcon) {
        m_shownIcon = shown;
        ui->callStateLabel->setPixmap(CallState::callStateToIcon(shown.first, shown.second, callStateIconSize));
        // The duration is read when asked; a new state is told.
        announceState();
    }
}

void RunningLineView::announceState()
{
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
    emit stateChanged();
}

QString RunningLineView::spokenName() const
{
    if (!m_line)
        return QString();
    const QString name = m_line->remoteNameFormatted().trimmed();
    const QString number = m_line->remoteNumber().trimmed();
    if (name.isEmpty())
        return number.isEmpty() ? tr("Unknown party") : number;
    return number.isEmpty() ? name : tr("%1, %2").arg(name, number);
}

QString RunningLineView::spokenDescription() const
{
    if (!m_line)
        return QString();
    return tr("%1, %2").arg(spokenState(), m_line->callDuration().toString(Qt::TextDate));
}

QString RunningLineView::spokenState() const
{
    if (!m_line)
        return QString();
    const bool incoming = m_line->callCallDirection() == CallDirection::Incoming;
    switch (m_line->callState()) {
    case CallState::Ringing:
        return incoming ? tr("incoming call, ringing") : tr("outgoing call, ringing");
    case CallState::Connected:
        return m_held ? tr("connected, on hold") : tr("connected");
    case CallState::NoState:
        return incoming ? tr("incoming call") : tr("outgoing call");
    default:
        return tr("ended");
    }
}

QList<QWidget *> RunningLineView::tabStops() const
{
    return {ui->transferButton, ui->hangupButton, ui->holdButton, ui->recordButton};
}

bool RunningLineView::offersHold() const
{
    return !ui->holdButton->isHidden();
}

bool RunningLineView::offersTransfer() const
{
    return !ui->transferButton->isHidden();
}

void RunningLineView::hangupCall()
{
    if (m_line)
        CTIConnector::instance()->hangup(m_line->callId());
}

void RunningLineView::holdCall()
{
    if (m_line) {
        if (m_held)
            CTIConnector::instance()->holdRetrieve(m_line->callId());
        else
            CTIConnector::instance()->hold(m_line->callId());
        m_held = !m_held;
        announceState();
    }
    // A checkable button toggles itself on click; the mark must follow the flag, not the click.
    ui->holdButton->setChecked(m_held);
}

void RunningLineView::recordCall()
{
    if (m_line)
        CTIConnector::instance()->record(m_line->callId());
}

void RunningLineView::transferCall()
{
    if (m_line)
        CTIConnector::instance()->transfer(m_line->callId(), transferTarget);
}

void RunningLineView::showAddressPicture(const QPixmap &picture, const QString &addressId)
{
    if (m_line && !picture.isNull() && !addressId.isEmpty() && addressId == m_line->remoteId())
        ui->avatarLabel->setPixmap(picture);
}
