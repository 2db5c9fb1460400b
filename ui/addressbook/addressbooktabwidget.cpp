#include "addressbooktabwidget.h"
#include "ui_addressbooktabwidget.h"

#include "accessiblenames.h"
#include "addressbook.h"
#include "addresses.h"
#include "addresslistproxymodel.h"
#include "cticonnector.h"
#include "elidedtooltipdelegate.h"
#include "iconcache.h"
#include "log.h"
#include "numbercanonizer.h"
#include "paletteink.h"
#include "passbudget.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTextDocumentFragment>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {
const QString logTag = QStringLiteral("AddressBookTabWidget");
const QString viewLabelSuffix = QStringLiteral("ViewLabel");
const QString captionSuffix = QStringLiteral("ViewLabelLabel");
const QString lineEditSuffix = QStringLiteral("LineEdit");
const QString dialButtonSuffix = QStringLiteral("DialButton");
const QString birthdayFormat = QStringLiteral("dd.MM.yyyy");
const QString noBirthday = QStringLiteral("1900-01-01 00:00");
const QDate noBirthdayDate(1900, 1, 1);
const QColor warningColour(0xb3, 0x5c, 0x00);
const QString noAvatar = QStringLiteral(":/images/noAvatar.png");
const QString customTypeKey = QStringLiteral("custom");

const QString dialKeys[] = {AddressKeys::telCell, AddressKeys::telWork, AddressKeys::telHome,
                            AddressKeys::telCellPrivate};
// Value labels whose links open in the user's browser or mail program.
const QString openingLinkKeys[] = {AddressKeys::email,           AddressKeys::emailHome,      AddressKeys::urlHome,
                                   AddressKeys::url,             AddressKeys::label,          AddressKeys::facebookProfile,
                                   AddressKeys::twitterProfile,  AddressKeys::googleProfile,  AddressKeys::xingProfile,
                                   AddressKeys::linkedinProfile};

QString textOf(const QMap<QString, QVariant> &values, const QString &key)
{
    return values.value(key).toString();
}

void setPlainText(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void setRichText(QLabel *label, const QString &html)
{
    label->setTextFormat(Qt::RichText);
    label->setText(html);
}
}

AddressBookTabWidget::AddressBookTabWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AddressBookTabWidget)
    , m_listModel(new AddressListModel(this))
    , m_proxyModel(new AddressListProxyModel(m_listModel, this))
{
    ui->setupUi(this);
    // The toolbar glyphs take their ink from the theme.
    const std::pair<QToolButton *, const char *> glyphs[] = {
        {ui->editButton, "edit_icn_black"},         {ui->deleteButton, "trash_icn_black"},
        {ui->saveButton, "save_icn_black"},         {ui->cancelEditButton, "cancel_icn_black"},
        {ui->cancelContactTypeButton, "cancel_icn_black"}};
    for (const auto &glyph : glyphs)
        glyph.first->setIcon(IconCache::glyph(QStringLiteral(":/images/%1.png").arg(QLatin1String(glyph.second))));
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 1);
    ui->splitter->setSizes({340, 460});

    m_listModel->setHeaderTexts({tr("ID"), tr("Firstname"), tr("Lastname"), tr("Company")});
    QTreeView *view = ui->addessesTreeView;
    view->setModel(m_proxyModel);
    view->setSortingEnabled(true);
    view->setRootIsDecorated(false);
    view->setAlternatingRowColors(true);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->sortByColumn(AddressListModel::LastNameColumn, Qt::AscendingOrder);
    view->hideColumn(AddressListModel::IdColumn);
    view->header()->setSectionResizeMode(QHeaderView::Interactive);
    view->header()->setStretchLastSection(true);
    // No narrower than their titles in the language and font in use; a longer name elides.
    for (int column : {AddressListModel::FirstNameColumn, AddressListModel::LastNameColumn})
        view->header()->resizeSection(column, std::max(column == AddressListModel::FirstNameColumn ? 95 : 105,
                                                       view->header()->sectionSizeHint(column)));
    view->setItemDelegate(new ElidedToolTipDelegate(view));
    int least = 2 * view->frameWidth() + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    for (int column = AddressListModel::FirstNameColumn; column < AddressListModel::ColumnCount; ++column)
        least += std::max(view->header()->sectionSize(column), view->header()->sectionSizeHint(column));
    view->setMinimumWidth(least);

    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AddressBookTabWidget::selectionChanged);
    connect(ui->searchLineEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_proxyModel->setSearchWildcard(text);
        updateCounterLabels();
    });
    connect(ui->showCompanyAddressOnMapButton, &QPushButton::clicked, this,
            &AddressBookTabWidget::onCompanyAddressOpenInMapButtonClick);
    connect(ui->showPrivateAddressOnMapButton, &QPushButton::clicked, this,
            &AddressBookTabWidget::onPrivateAddressOpenInMapButtonClick);
    // A number is read in one piece: it does not wrap, its page takes the width it needs.
    for (QLabel *label : ui->addressViewTabWidget->findChildren<QLabel *>()) {
        if (label->objectName().startsWith(QLatin1String("tel_")) && label->objectName().endsWith(viewLabelSuffix))
            label->setWordWrap(false);
    }
    for (const QString &key : dialKeys) {
        auto *button = ui->addressViewStackedWidget->findChild<QAbstractButton *>(key + dialButtonSuffix);
        connect(button, &QAbstractButton::clicked, this, [this, button] { dialButtonClicked(button->objectName()); });
    }
    for (const QString &key : openingLinkKeys) {
        if (QLabel *label = findLabelByFieldName(key))
            connect(label, &QLabel::linkActivated, this, &AddressBookTabWidget::openLink);
    }

    // The contact page and the edit page always show the same tab.
    // Every tab in sight, shortened where the page is narrow, in full in its tool tip.
    for (QTabWidget *tabs : {ui->addressViewTabWidget, ui->addressEditTabWidget}) {
        tabs->setUsesScrollButtons(false);
        tabs->setElideMode(Qt::ElideRight);
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setTabToolTip(i, tabs->tabText(i));
    }
    connect(ui->addressViewTabWidget, &QTabWidget::currentChanged, ui->addressEditTabWidget,
            &QTabWidget::setCurrentIndex);
    connect(ui->addressEditTabWidget, &QTabWidget::currentChanged, ui->addressViewTabWidget,
            &QTabWidget::setCurrentIndex);

    connect(ui->addNewAddressButton, &QAbstractButton::clicked, this, &AddressBookTabWidget::startEditNewEntryMode);
    connect(ui->editButton, &QAbstractButton::clicked, this, &AddressBookTabWidget::startEditMode);
    connect(ui->cancelEditButton, &QAbstractButton::clicked, this, &AddressBookTabWidget::cancelEditMode);
    connect(ui->saveButton, &QAbstractButton::clicked, this, &AddressBookTabWidget::saveChanges);
    connect(ui->deleteButton, &QAbstractButton::clicked, this, &AddressBookTabWidget::deleteAddress);
    connect(ui->cancelContactTypeButton, &QAbstractButton::clicked, this,
            &AddressBookTabWidget::cancelCustomContactTypeEdit);
    connect(ui->contact_typeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &AddressBookTabWidget::currentContactTypeComboboxIndexChanged);
    // Once the user picks a type, a stored type the chooser lacks is no longer kept.
    connect(ui->contact_typeComboBox, QOverload<int>::of(&QComboBox::activated), this,
            [this] { m_keptContactType.clear(); });
    connect(ui->iconLabel, &FileDropLabel::imageChanged, this, &AddressBookTabWidget::memoryImageToBeSaved);

    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &AddressBookTabWidget::flushSlice);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_saveTimer, &QTimer::timeout, this, &AddressBookTabWidget::onSaveAnswerTimeout);
    // Back on the contact page the user edits nothing: a save left unconfirmed meanwhile comes back.
    connect(ui->addressViewStackedWidget, &QStackedWidget::currentChanged, this, [this](int page) {
        if (page == ViewPage && !m_unconfirmedSaves.isEmpty())
            QMetaObject::invokeMethod(this, &AddressBookTabWidget::reopenUnconfirmedSave, Qt::QueuedConnection);
    });

    // Read out as the user sees them: a field by its caption, a dial button by its number's caption.
    ui->searchLineEdit->setAccessibleName(tr("Search contacts"));
    ui->addessesTreeView->setAccessibleName(tr("Contacts"));
    for (const QString &key : dialKeys) {
        auto *button = ui->addressViewStackedWidget->findChild<QAbstractButton *>(key + dialButtonSuffix);
        if (QLabel *caption = ui->addressViewStackedWidget->findChild<QLabel *>(key + captionSuffix))
            button->setAccessibleName(tr("Dial %1").arg(AccessibleNames::captionText(caption->text())));
    }
    for (QTabWidget *tabs : {ui->addressViewTabWidget, ui->addressEditTabWidget}) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (auto *area = tabs->widget(i)->findChild<QScrollArea *>())
                area->setAccessibleName(tabs->tabText(i).remove(QLatin1Char('&')));
        }
    }
    AccessibleNames::fromCaptions(ui->editPage, QStringLiteral("Label"),
                                  {lineEditSuffix, QStringLiteral("DateEdit"), QStringLiteral("TextEdit")});
    AccessibleNames::fromToolTips(this);
    ui->searchLineEdit->installEventFilter(this);
    view->installEventFilter(this);

    setContactTypes({});
    ui->addressViewStackedWidget->setEnabled(false);
    clearAddressView();
}

AddressBookTabWidget::~AddressBookTabWidget()
{
    delete ui;
}

void AddressBookTabWidget::init(Addressbook *book)
{
    m_book = book;
    book->setParent(this);

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::addressAdded, this, &AddressBookTabWidget::addressAdded);
    connect(connector, &CTIConnector::addressSaved, this, &AddressBookTabWidget::addressSaved);
    connect(connector, &CTIConnector::addressPictureSet, this, &AddressBookTabWidget::addressPictureSaved);
    connect(connector, &CTIConnector::addressDeleted, this, &AddressBookTabWidget::addressDeleted);
    connect(connector, &CTIConnector::addressPictureAvailable, this, &AddressBookTabWidget::showAddressPicture);
    connect(connector, &CTIConnector::addressesLoadingFinished, this, &AddressBookTabWidget::addressesLoadingFinished);

    if (!book->isWriteable()) {
        ui->editButton->hide();
        ui->deleteButton->hide();
        ui->addNewAddressButton->hide();
    }
    if (book->getType() == Addressbook::fixedEntriesBookType) {
        ui->addNewAddressButton->hide();
        ui->deleteButton->hide();
    }

    m_loading = true;
    connector->requestAddresses(book->id());
}

Addresses *AddressBookTabWidget::getAddressById(const QString &id) const
{
    return m_contacts.value(id);
}

QModelIndexList AddressBookTabWidget::getStandardItemsById(const QString &id) const
{
    QModelIndexList cells;
    const int row = m_listModel->rowOf(id);
    if (row < 0)
        return cells;
    for (int column = 0; column < AddressListModel::ColumnCount; ++column)
        cells.append(m_listModel->index(row, column));
    return cells;
}

QLabel *AddressBookTabWidget::findLabelByFieldName(const QString &key) const
{
    return ui->addressViewStackedWidget->findChild<QLabel *>(key + viewLabelSuffix);
}

QLineEdit *AddressBookTabWidget::findLineEditByFieldName(const QString &key) const
{
    return ui->addressViewStackedWidget->findChild<QLineEdit *>(key + lineEditSuffix);
}

namespace {
//! An address or link as shown, escaped, with places to wrap after its dots, at signs and
//! slashes: a long one wraps in the field instead of running past its edge.
QString wrappable(const QString &text)
{
    QString shown = text.toHtmlEscaped();
    static const QRegularExpression breaks(QStringLiteral("([.@/])(?=.)"));
    shown.replace(breaks, QStringLiteral("\\1") + QChar(0x200B));
    return shown;
}
}

QString AddressBookTabWidget::makeMailLink(const QString &text)
{
    return QStringLiteral("<a href=\"mailto:") + text.toHtmlEscaped() + QStringLiteral("\">") + wrappable(text)
        + QStringLiteral("</a>");
}

QString AddressBookTabWidget::makeHttpLink(const QString &text)
{
    const QString target = text.startsWith(QLatin1String("http")) ? text : QStringLiteral("http://") + text;
    return QStringLiteral("<a href=\"") + target.toHtmlEscaped() + QStringLiteral("\">") + wrappable(text)
        + QStringLiteral("</a>");
}

QString AddressBookTabWidget::getStringFromType(const QString &type)
{
    if (type.size() != 1)
        return type;
    switch (type.at(0).unicode()) {
    case '1':
        return tr("Customers");
    case '2':
        return tr("Friends");
    case '3':
        return tr("Family");
    case '4':
        return tr("Office");
    case '5':
        return tr("VIF");
    case '6':
        return tr("VIP");
    case '7':
    case '8':
    case '9':
        return type;
    default:
        return QString();
    }
}

bool AddressBookTabWidget::isAddressbookWriteable() const
{
    return m_book && m_book->isWriteable();
}

AddressListModel::Row AddressBookTabWidget::rowOf(Addresses *address)
{
    // Reads that leave the record as it is: a key it lacks would cost it a key list of its own.
    return {address->id(), address->value(AddressKeys::firstName).toString(),
            address->value(AddressKeys::lastName).toString(), address->value(AddressKeys::companyName).toString()};
}

void AddressBookTabWidget::addressAdded(Addresses *address)
{
    // Every tab hears of every contact. One without an id would take the place of a new entry.
    if (!m_book || !address || address->value(AddressKeys::addressBookId).toString() != m_book->id()
        || address->id().isEmpty())
        return;
    const QString id = address->id();
    Addresses *stored = m_contacts.value(id);
    if (stored != address) {
        address->setParent(&m_records);
        m_contacts.insert(id, address);
    }
    if (!stored) {
        m_pendingRowIndex.insert(id, m_pendingRows.size());
        m_pendingRows.append(rowOf(address));
        scheduleFlush();
        return;
    }
    // A changed contact: the new record takes the old one's place.
    if (stored != address)
        delete stored;
    const auto pending = m_pendingRowIndex.constFind(id);
    if (pending != m_pendingRowIndex.cend())
        m_pendingRows[*pending] = rowOf(address);
    else
        m_listModel->updateRow(rowOf(address));
    if (id == m_currentAddressId) {
        const int page = ui->addressViewStackedWidget->currentIndex();
        // No question box on the server's account: edits in progress stay, and the user is told.
        if (page == EditPage)
            showEditStatus(tr("This contact was changed on the server meanwhile. Saving replaces those changes."));
        else if (page == ViewPage) // on the saving page the save's answer shows it
            loadAddressIntoView(address);
    }
    updateCounterLabels();
}

void AddressBookTabWidget::scheduleFlush()
{
    // Each slice costs a pass over every row listed: while a book pours in, rows are gathered
    // for a while; a single contact later shows in the next pass.
    if (m_loading) {
        if (!m_flushTimer.isActive() && !m_flushQueued)
            m_flushTimer.start(loadingFlushIntervalMs);
        return;
    }
    // A slice already due takes these rows too; a second trigger would let it run in a pass
    // another slice had.
    if (m_flushQueued || m_flushTimer.isActive())
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &AddressBookTabWidget::flushSlice, Qt::QueuedConnection);
}

void AddressBookTabWidget::flushSlice()
{
    m_flushQueued = false;
    m_flushTimer.stop();
    const int count = std::min(m_sliceRows, m_pendingRows.size() - m_pendingFirst);
    // A pass whose bulk work others have had already (the book's next contacts, say) leaves the
    // slice to the next pass; but the list never waits two passes in a row.
    if (count > 0 && PassBudget::spent(flushSliceBudgetMs) && !m_sliceWaited) {
        m_sliceWaited = true;
        m_flushTimer.start(0);
        return;
    }
    m_sliceWaited = false;
    if (count > 0) {
        QElapsedTimer clock;
        clock.start();
        appendPendingRows(count);
        // The next slice as large as fits the budget at this slice's cost, growing by half at most.
        const qint64 spent = std::max<qint64>(clock.nsecsElapsed(), 1);
        m_sliceRows = int(std::clamp<qint64>(qint64(count) * flushSliceBudgetMs * 1000000 / spent, 100,
                                             3 * qint64(m_sliceRows) / 2));
    }
    if (m_pendingFirst < m_pendingRows.size()) {
        // A timer, not a queued call: the next slice waits while input and painting are due.
        m_flushTimer.start(0);
        return;
    }
    if (!m_loading && m_selectFirstWhenListed) {
        m_selectFirstWhenListed = false;
        selectFirstRow();
    }
}

void AddressBookTabWidget::flushPendingRows()
{
    appendPendingRows(m_pendingRows.size() - m_pendingFirst);
}

void AddressBookTabWidget::appendPendingRows(int count)
{
    if (count <= 0)
        return;
    const QVector<AddressListModel::Row> rows = m_pendingRows.mid(m_pendingFirst, count);
    for (const AddressListModel::Row &row : rows)
        m_pendingRowIndex.remove(row.id);
    m_pendingFirst += count;
    if (m_pendingFirst == m_pendingRows.size()) {
        m_pendingRows.clear();
        m_pendingFirst = 0;
    }
    m_listModel->appendRows(rows);
    updateCounterLabels();
}

void AddressBookTabWidget::addressDeleted(const QString &id)
{
    Addresses *stored = m_contacts.take(id);
    if (!stored)
        return;
    flushPendingRows();
    // The view moves its current row to a neighbour: that is no choice of the user's.
    m_ignoreSelection = true;
    m_listModel->removeRowOf(id);
    m_ignoreSelection = false;
    if (id == m_currentAddressId) {
        selectRowOf(QString());
        if (ui->addressViewStackedWidget->currentIndex() == EditPage) {
            // The edits stay; saving makes the contact anew.
            showEditStatus(tr("This contact was removed on the server. Saving creates it anew."));
        } else if (ui->addressViewStackedWidget->currentIndex() == ViewPage) {
            clearAddressView();
            m_currentAddressId.clear();
            ui->addressViewStackedWidget->setEnabled(false);
        }
    }
    delete stored;
    updateCounterLabels();
}

void AddressBookTabWidget::addressesLoadingFinished(const QString &bookId)
{
    if (!m_book || bookId != m_book->id())
        return;
    m_loading = false;
    updateCounterLabels();
    m_selectFirstWhenListed = true;
    if (m_pendingFirst < m_pendingRows.size())
        scheduleFlush();
    else
        flushSlice();
}

void AddressBookTabWidget::selectFirstRow()
{
    // Show the first contact, unless the user already looks at one or edits a new one.
    const bool busy = !m_currentAddressId.isEmpty() || ui->addressViewStackedWidget->currentIndex() != ViewPage;
    if (!busy && m_proxyModel->rowCount() > 0)
        ui->addessesTreeView->setCurrentIndex(m_proxyModel->index(0, AddressListModel::FirstNameColumn));
}

void AddressBookTabWidget::showAddressPicture(const QPixmap &pixmap, const QString &id)
{
    if (id != m_currentAddressId || id.isEmpty() || pixmap.isNull())
        return;
    ui->iconViewLabel->setPixmap(pixmap);
    ui->iconLabel->setPixmap(pixmap);
}

void AddressBookTabWidget::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    Q_UNUSED(deselected)
    if (m_ignoreSelection || selected.isEmpty() || selected.indexes().isEmpty())
        return;
    onAddressClicked(selected.indexes().first());
}

void AddressBookTabWidget::onAddressClicked(const QModelIndex &index)
{
    const QModelIndex source = m_proxyModel->mapToSource(index);
    if (!source.isValid())
        return;
    loadAddressIntoView(m_listModel->text(source.row(), AddressListModel::IdColumn));
    // The user kept unsaved edits: the list points at the contact being edited again.
    if (!m_currentAddressId.isEmpty())
        selectRowOf(m_currentAddressId);
}

void AddressBookTabWidget::selectRowOf(const QString &id)
{
    const int row = m_listModel->rowOf(id);
    const QModelIndex index =
        row < 0 ? QModelIndex()
                : m_proxyModel->mapFromSource(m_listModel->index(row, AddressListModel::FirstNameColumn));
    QItemSelectionModel *selection = ui->addessesTreeView->selectionModel();
    if (index.isValid() && selection->isSelected(index))
        return;
    m_ignoreSelection = true;
    if (index.isValid()) {
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ui->addessesTreeView->scrollTo(index);
    } else {
        selection->clearSelection();
    }
    m_ignoreSelection = false;
}

void AddressBookTabWidget::loadAddressIntoView(const QString &id)
{
    if (id == m_currentAddressId)
        return;
    Addresses *address = m_contacts.value(id);
    if (!address) {
        Log::w(QStringLiteral("address with ID ") + id + QStringLiteral(" is not loaded"), logTag);
        return;
    }
    loadAddressIntoView(address);
}

void AddressBookTabWidget::loadAddressIntoView(Addresses *address)
{
    const QString id = address->id();
    ui->addressViewStackedWidget->setEnabled(true);
    if (checkForLoosingChanges())
        return;
    // The question ran an event loop: the server may have replaced or removed the record meanwhile.
    address = m_contacts.value(id);
    if (!address) {
        Log::w(QStringLiteral("address with ID ") + id + QStringLiteral(" is not loaded"), logTag);
        return;
    }
    clearAddressView();
    showViewPage();
    m_currentAddressId = address->id();

    setPlainText(ui->companyNameViewLabel, address->getCompanyName());
    setPlainText(ui->personNameViewLabel, address->getFormattedPersonName());
    const QMap<QString, QVariant> values = address->getValues();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (setCustomField(it.key(), address))
            continue;
        const QString text = it.value().toString();
        if (QLineEdit *edit = findLineEditByFieldName(it.key()))
            edit->setText(text);
        if (QLabel *label = findLabelByFieldName(it.key()))
            setPlainText(label, text);
    }
    for (const QLineEdit *edit : ui->addressViewStackedWidget->findChildren<QLineEdit *>()) {
        const QString name = edit->objectName();
        if (name.endsWith(lineEditSuffix)) {
            const QString key = name.chopped(lineEditSuffix.size());
            m_loadedTexts.insert(key, {edit->text(), textOf(values, key)});
        }
    }
    m_loadedTexts.insert(AddressKeys::note, {ui->contact_noteTextEdit->toPlainText(), textOf(values, AddressKeys::note)});
    selectRowOf(m_currentAddressId);
    nameValueLabels();
    fitViewPages();
}

void AddressBookTabWidget::nameValueLabels()
{
    // A value read out alone is a number without its meaning: it goes with its caption.
    for (const QLabel *caption : ui->addressViewStackedWidget->findChildren<QLabel *>()) {
        const QString name = caption->objectName();
        if (!name.endsWith(captionSuffix))
            continue;
        QLabel *value = findLabelByFieldName(name.chopped(captionSuffix.size()));
        if (!value)
            continue;
        QString text = value->textFormat() == Qt::PlainText ? value->text()
                                                            : QTextDocumentFragment::fromHtml(value->text()).toPlainText();
        const QString shown = AccessibleNames::captionText(caption->text());
        value->setAccessibleName(text.isEmpty() ? shown : tr("%1: %2").arg(shown, text.remove(QChar(0x200b))));
    }
}

void AddressBookTabWidget::fitViewPages()
{
    // A scroll area does not pass on its content's least width: the pages must be as wide as the
    // contact's numbers and longest words need, or the view clips them at its edge.
    for (QScrollArea *area : ui->addressViewTabWidget->findChildren<QScrollArea *>()) {
        if (!area->widget())
            continue;
        area->setMinimumWidth(area->widget()->minimumSizeHint().width() + 2 * area->frameWidth()
                              + area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area));
    }
}

bool AddressBookTabWidget::setCustomField(const QString &key, Addresses *address)
{
    const QString value = address->value(key).toString();
    QLabel *label = findLabelByFieldName(key);
    QLineEdit *edit = findLineEditByFieldName(key);
    if (key == AddressKeys::birthday) {
        const QDate birthday = address->getBirthday();
        ui->contact_bdayDateEdit->setDate(birthday.isValid() ? birthday : noBirthdayDate);
        setPlainText(ui->contact_bdayViewLabel, birthday.isValid() ? birthday.toString(birthdayFormat) : QString());
        return true;
    }
    if (key == AddressKeys::companyLocality) {
        ui->showCompanyAddressOnMapButton->setVisible(!value.isEmpty());
        return false;
    }
    if (key == AddressKeys::privateLocality) {
        ui->showPrivateAddressOnMapButton->setVisible(!value.isEmpty());
        return false;
    }
    for (const QString &dialKey : dialKeys) {
        if (key == dialKey) {
            if (!value.isEmpty())
                ui->addressViewStackedWidget->findChild<QWidget *>(key + dialButtonSuffix)->show();
            return false;
        }
    }
    if (key.contains(QLatin1String("email")) && !value.isEmpty()) {
        if (label)
            setRichText(label, makeMailLink(value));
        if (edit)
            edit->setText(value);
        return true;
    }
    if ((key.contains(QLatin1String("url")) || key.contains(QLatin1String("uri"))) && !value.isEmpty()) {
        if (label)
            setRichText(label, makeHttpLink(value));
        if (edit)
            edit->setText(value);
        return true;
    }
    if (key == AddressKeys::contactType && !value.isEmpty()) {
        setPlainText(ui->contact_typeViewLabel, getStringFromType(value));
        selectContactType(value);
        return true;
    }
    if (key == AddressKeys::pictureMarker) {
        if (value.isEmpty())
            return true;
        CTIConnector::instance()->requestAddressPicture(m_currentAddressId);
        return false;
    }
    if (key == AddressKeys::note) {
        // As plain text: blanks, tabs and line breaks show as stored, markup as typed.
        ui->contact_noteViewTextEdit->setPlainText(value);
        ui->contact_noteTextEdit->setPlainText(value);
        return true;
    }
    return false;
}

void AddressBookTabWidget::selectContactType(const QString &type)
{
    const auto index = m_contactTypeIndexes.constFind(type);
    if (index != m_contactTypeIndexes.cend()) {
        m_keptContactType.clear();
        ui->contact_typeComboBox->setCurrentIndex(*index);
    } else {
        m_keptContactType = type;
        ui->contact_typeComboBox->setCurrentIndex(0);
    }
}

void AddressBookTabWidget::clearAddressView()
{
    QWidget *area = ui->addressViewStackedWidget;
    for (QLineEdit *edit : area->findChildren<QLineEdit *>()) {
        if (edit->objectName().endsWith(lineEditSuffix))
            edit->clear();
    }
    for (QLabel *label : area->findChildren<QLabel *>()) {
        const QString name = label->objectName();
        if (name.contains(viewLabelSuffix, Qt::CaseInsensitive) && !name.endsWith(captionSuffix)
            && label != ui->iconViewLabel)
            setPlainText(label, QString());
    }
    // Not labels or line edits, but a note must not stay behind for the next contact.
    ui->contact_noteViewTextEdit->clear();
    ui->contact_noteTextEdit->clear();
    ui->iconViewLabel->setPixmap(IconCache::pixmap(noAvatar));
    ui->iconLabel->setPixmap(IconCache::pixmap(noAvatar));
    ui->contact_bdayDateEdit->setDate(noBirthdayDate);
    ui->showCompanyAddressOnMapButton->hide();
    ui->showPrivateAddressOnMapButton->hide();
    for (const QString &key : dialKeys)
        area->findChild<QWidget *>(key + dialButtonSuffix)->hide();
    ui->contact_typeComboBox->setCurrentIndex(0);
    ui->contact_typeComboBox->show();
    ui->customContactTypeLineEdit->hide();
    ui->cancelContactTypeButton->hide();
    m_keptContactType.clear();
    m_loadedTexts.clear();
    m_pendingPicture = QImage();
    nameValueLabels();
    ui->editStatusLabel->hide();
}

void AddressBookTabWidget::showViewPage()
{
    ui->addressViewStackedWidget->setCurrentIndex(ViewPage);
}

void AddressBookTabWidget::showEditPage()
{
    ui->addressViewStackedWidget->setCurrentIndex(EditPage);
}

void AddressBookTabWidget::showSavingProcessPage()
{
    ui->addressViewStackedWidget->setCurrentIndex(SavingPage);
}

void AddressBookTabWidget::showEditStatus(const QString &text)
{
    // A warning's amber, readable on the theme's window ground.
    const QColor ink = PaletteInk::readableOn(warningColour, ui->editStatusLabel->palette().color(QPalette::Window));
    ui->editStatusLabel->setStyleSheet(QStringLiteral("color: %1;").arg(ink.name()));
    ui->editStatusLabel->setText(text);
    ui->editStatusLabel->show();
}

void AddressBookTabWidget::focusSearch()
{
    ui->searchLineEdit->setFocus(Qt::ShortcutFocusReason);
    ui->searchLineEdit->selectAll();
}

bool AddressBookTabWidget::isEditing() const
{
    return ui->addressViewStackedWidget->currentIndex() != ViewPage;
}

QString AddressBookTabWidget::firstNumber() const
{
    Addresses *address = m_contacts.value(m_currentAddressId);
    if (!address || isEditing())
        return QString();
    for (const QString &key : {AddressKeys::telWork, AddressKeys::telCell, AddressKeys::telHome, AddressKeys::telCellPrivate}) {
        const QString number = NumberCanonizer::convertToDialable(address->value(key).toString());
        if (!number.isEmpty())
            return number;
    }
    return QString();
}

bool AddressBookTabWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Typing a name and choosing among the matches without leaving the search.
        if (watched == ui->searchLineEdit) {
            QCoreApplication::sendEvent(ui->addessesTreeView, event);
            return true;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QString number = firstNumber();
        if (!number.isEmpty())
            CTIConnector::instance()->dialNumber(number);
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void AddressBookTabWidget::dialButtonClicked(const QString &buttonName)
{
    if (!buttonName.endsWith(dialButtonSuffix))
        return;
    const QString key = buttonName.chopped(dialButtonSuffix.size());
    Addresses *address = m_contacts.value(m_currentAddressId);
    if (!address)
        return;
    const QString number = NumberCanonizer::convertToDialable(address->value(key).toString());
    if (!number.isEmpty())
        CTIConnector::instance()->dialNumber(number);
}

void AddressBookTabWidget::onCompanyAddressOpenInMapButtonClick()
{
    if (Addresses *address = m_contacts.value(m_currentAddressId))
        emit openAddressInMapView(address, QStringLiteral("adr_one"));
}

void AddressBookTabWidget::onPrivateAddressOpenInMapButtonClick()
{
    if (Addresses *address = m_contacts.value(m_currentAddressId))
        emit openAddressInMapView(address, QStringLiteral("adr_two"));
}

void AddressBookTabWidget::openLink(const QString &link)
{
    // Server data decides the target: only web and mail links open.
    const QUrl url(link);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
    else
        Log::w(QStringLiteral("link not opened: ") + link, logTag);
}

void AddressBookTabWidget::updateCounterLabels()
{
    ui->totalCountLabel->setText(QString::number(m_listModel->rowCount()));
    ui->showCountLabel->setText(QString::number(m_proxyModel->rowCount()));
}

// ---- Editing ----

int AddressBookTabWidget::pendingSaveFor(const QVector<PendingSave> &saves, const QString &answerId)
{
    int newEntry = -1;
    for (int i = 0; i < saves.size(); ++i) {
        const QString &id = saves.at(i).contactId;
        if (id == answerId)
            return i;
        if (id.isEmpty() && newEntry < 0)
            newEntry = i;
    }
    return newEntry;
}

bool AddressBookTabWidget::isWaitingFor(const PendingSave &save) const
{
    return ui->addressViewStackedWidget->currentIndex() == SavingPage && m_currentAddressId == save.contactId;
}

void AddressBookTabWidget::addressSaved(Addresses *address)
{
    // Every tab hears of every save; only this book's concern this tab.
    if (!m_book || !address || address->value(AddressKeys::addressBookId).toString() != m_book->id()
        || address->id().isEmpty())
        return;
    const QString id = address->id();
    PendingSave save;
    if (const int index = pendingSaveFor(m_pendingSaves, id); index >= 0) {
        save = m_pendingSaves.takeAt(index);
        restartSaveTimer();
    } else if (const int late = pendingSaveFor(m_unconfirmedSaves, id); late >= 0) {
        // Confirmed after all, before its edits came back: nothing to bring back.
        save = m_unconfirmedSaves.takeAt(late);
    } else {
        // An answer after the time-out: the list shows what the server holds.
        addressAdded(address);
        return;
    }
    if (!save.picture.isNull())
        CTIConnector::instance()->saveAddressPicture(id, save.picture);
    // The answer is shown only to a user who waits for it: edits in progress elsewhere stay.
    const bool waited = isWaitingFor(save);
    if (waited) {
        // The edits on the page are the ones just saved: showing the answer loses nothing.
        showViewPage();
        m_currentAddressId.clear();
    }
    addressAdded(address);
    if (waited) {
        flushPendingRows();
        loadAddressIntoView(id);
    }
}

void AddressBookTabWidget::addressPictureSaved(const QString &id)
{
    // The picture shows where its contact is shown; the user looking elsewhere stays there.
    if (id.isEmpty() || id != m_currentAddressId || !m_contacts.contains(id)
        || ui->addressViewStackedWidget->currentIndex() != ViewPage)
        return;
    CTIConnector::instance()->requestAddressPicture(id);
}

bool AddressBookTabWidget::checkForLoosingChanges()
{
    // On the saving page the edits are with their save, which brings them back if unconfirmed.
    if (m_currentAddressId.isEmpty() || ui->addressViewStackedWidget->currentIndex() != EditPage)
        return false;
    bool differs = false;
    if (Addresses *stored = m_contacts.value(m_currentAddressId)) {
        const QMap<QString, QVariant> edited = getKeyValuesFromEditMode();
        const QMap<QString, QVariant> values = stored->getValues();
        for (auto it = edited.cbegin(); it != edited.cend() && !differs; ++it) {
            if (it.key() == AddressKeys::contactType)
                continue;
            if (it.key() == AddressKeys::birthday)
                differs = stored->getBirthday() != ui->contact_bdayDateEdit->date();
            else
                differs = textOf(values, it.key()) != it.value().toString();
        }
    } else {
        differs = true; // removed on the server: nothing holds these values any more
    }
    if (!differs && m_pendingPicture.isNull())
        return false;
    QMessageBox box(QMessageBox::Question, tr("Please confirm data loss"), tr("You have unsaved changes in this entry?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() != QMessageBox::Ok;
}

QMap<QString, QVariant> AddressBookTabWidget::getKeyValuesFromEditMode() const
{
    const auto asLoaded = [this](const QString &key, const QString &typed) {
        const auto loaded = m_loadedTexts.constFind(key);
        return loaded != m_loadedTexts.cend() && loaded->shown == typed ? loaded->stored : typed;
    };
    QMap<QString, QVariant> values;
    for (const QLineEdit *edit : ui->addressViewStackedWidget->findChildren<QLineEdit *>()) {
        const QString name = edit->objectName();
        if (name.endsWith(lineEditSuffix)) {
            const QString key = name.chopped(lineEditSuffix.size());
            values.insert(key, asLoaded(key, edit->text()));
        }
    }
    values.insert(AddressKeys::note, asLoaded(AddressKeys::note, ui->contact_noteTextEdit->toPlainText()));

    QString type = ui->contact_typeComboBox->currentData().toString();
    if (type == QString::number(customContactTypeData))
        type = ui->customContactTypeLineEdit->text();
    else if (ui->contact_typeComboBox->currentIndex() == 0 && !m_keptContactType.isEmpty())
        type = m_keptContactType;
    values.insert(AddressKeys::contactType, type);

    const QString birthday = ui->contact_bdayDateEdit->date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00");
    if (birthday != noBirthday)
        values.insert(AddressKeys::birthday, birthday);
    return values;
}

void AddressBookTabWidget::fillEditPage(const QMap<QString, QVariant> &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QString text = it.value().toString();
        if (it.key() == AddressKeys::note)
            ui->contact_noteTextEdit->setPlainText(text);
        else if (QLineEdit *edit = findLineEditByFieldName(it.key()))
            edit->setText(text);
    }
    const QDate birthday = QDate::fromString(textOf(values, AddressKeys::birthday).left(10), Qt::ISODate);
    ui->contact_bdayDateEdit->setDate(birthday.isValid() ? birthday : noBirthdayDate);
    selectContactType(textOf(values, AddressKeys::contactType));
}

void AddressBookTabWidget::startEditNewEntryMode()
{
    if (!isAddressbookWriteable() || m_book->getType() == Addressbook::fixedEntriesBookType)
        return;
    ui->addressViewStackedWidget->setEnabled(true);
    m_currentAddressId.clear();
    clearAddressView();
    selectRowOf(QString());
    showEditPage();
    ui->n_givenLineEdit->setFocus();
}

void AddressBookTabWidget::startEditMode()
{
    if (!isAddressbookWriteable() || m_currentAddressId.isEmpty())
        return;
    showEditPage();
}

void AddressBookTabWidget::cancelEditMode()
{
    if (checkForLoosingChanges())
        return;
    const QString remembered = m_currentAddressId;
    m_currentAddressId.clear();
    if (m_contacts.contains(remembered)) {
        loadAddressIntoView(remembered);
    } else {
        clearAddressView();
        ui->addressViewStackedWidget->setEnabled(false);
    }
    showViewPage();
}

void AddressBookTabWidget::saveChanges()
{
    if (!isAddressbookWriteable())
        return;
    // The record sent is a copy: the stored one stays as the server has it until the answer,
    // so an unanswered save leaves the edits unsaved, and known as such.
    Addresses record;
    Addresses *stored = m_contacts.value(m_currentAddressId);
    if (stored) {
        record.setId(stored->id());
        record.setValues(stored->getValues());
    } else {
        // A new entry, or one the server removed while it was edited.
        record.setAddressBookId(m_book->id());
    }
    const QMap<QString, QVariant> edited = getKeyValuesFromEditMode();
    for (auto it = edited.cbegin(); it != edited.cend(); ++it)
        record.setValueForKey(it.key(), it.value());
    if (!m_pendingPicture.isNull())
        record.setValueForKey(AddressKeys::pictureMarker, QStringLiteral("1"));
    CTIConnector::instance()->saveAddress(&record);
    m_pendingSaves.append({record.id(), edited, m_pendingPicture, QDeadlineTimer(m_saveAnswerTimeoutMs)});
    m_currentAddressId = record.id();
    m_pendingPicture = QImage();
    restartSaveTimer();
    ui->editStatusLabel->hide();
    showSavingProcessPage();
}

void AddressBookTabWidget::restartSaveTimer()
{
    if (m_pendingSaves.isEmpty()) {
        m_saveTimer.stop();
        return;
    }
    qint64 next = m_pendingSaves.first().deadline.remainingTime();
    for (const PendingSave &save : qAsConst(m_pendingSaves))
        next = qMin(next, save.deadline.remainingTime());
    m_saveTimer.start(int(qMax<qint64>(0, next)));
}

void AddressBookTabWidget::onSaveAnswerTimeout()
{
    for (int i = 0; i < m_pendingSaves.size();) {
        if (!m_pendingSaves.at(i).deadline.hasExpired()) {
            ++i;
            continue;
        }
        const PendingSave save = m_pendingSaves.takeAt(i);
        Log::w(QStringLiteral("save of address ") + save.contactId + QStringLiteral(" not confirmed"), logTag);
        if (isWaitingFor(save)) {
            // Back to the edits as they were; the picture goes along with the next save.
            m_pendingPicture = save.picture;
            showEditPage();
            showEditStatus(tr("The server did not confirm the save. Your changes are kept: save again or cancel."));
        } else {
            m_unconfirmedSaves.append(save);
        }
    }
    restartSaveTimer();
    reopenUnconfirmedSave();
}

void AddressBookTabWidget::reopenUnconfirmedSave()
{
    // Only where the user edits nothing: their edits in progress come first.
    if (m_unconfirmedSaves.isEmpty() || ui->addressViewStackedWidget->currentIndex() != ViewPage)
        return;
    const PendingSave save = m_unconfirmedSaves.takeFirst();
    ui->addressViewStackedWidget->setEnabled(true);
    if (m_contacts.contains(save.contactId)) {
        loadAddressIntoView(save.contactId);
    } else {
        // A new entry, or a contact removed meanwhile: saving makes it anew.
        m_currentAddressId.clear();
        clearAddressView();
        selectRowOf(QString());
    }
    fillEditPage(save.values);
    m_pendingPicture = save.picture;
    if (!save.picture.isNull())
        ui->iconLabel->setPixmap(QPixmap::fromImage(save.picture));
    showEditPage();
    showEditStatus(tr("The server did not confirm the save. Your changes are kept: save again or cancel."));
}

void AddressBookTabWidget::deleteAddress()
{
    // The id the user was asked about: the shown contact may change while the question is open.
    const QString id = m_currentAddressId;
    if (id.isEmpty())
        return;
    QMessageBox box(QMessageBox::Question, tr("Please confirm"), tr("Are you sure you want to delete this entry?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() == QMessageBox::Ok && m_contacts.contains(id))
        CTIConnector::instance()->deleteAddress(id);
}

void AddressBookTabWidget::deleteAddressDialogConfirmed()
{
    CTIConnector::instance()->deleteAddress(m_currentAddressId);
}

void AddressBookTabWidget::memoryImageToBeSaved(const QImage &image)
{
    m_pendingPicture = image;
}

void AddressBookTabWidget::currentContactTypeComboboxIndexChanged(int index)
{
    QComboBox *chooser = ui->contact_typeComboBox;
    if (index < 0 || index != chooser->count() - 1)
        return;
    chooser->hide();
    ui->customContactTypeLineEdit->show();
    ui->cancelContactTypeButton->show();
    ui->customContactTypeLineEdit->setFocus();
}

void AddressBookTabWidget::cancelCustomContactTypeEdit()
{
    QString stored;
    if (Addresses *address = m_contacts.value(m_currentAddressId))
        stored = address->value(AddressKeys::contactType).toString();
    ui->customContactTypeLineEdit->clear();
    ui->customContactTypeLineEdit->hide();
    ui->cancelContactTypeButton->hide();
    ui->contact_typeComboBox->show();
    // "custom" names the last entry, which would open the field again.
    selectContactType(stored == customTypeKey ? QString() : stored);
}

void AddressBookTabWidget::setContactTypes(const QStringList &types)
{
    QComboBox *chooser = ui->contact_typeComboBox;
    // The choice being edited survives a new list, where the new list still offers it.
    const bool custom = chooser->count() > 0 && chooser->currentIndex() == chooser->count() - 1;
    const QString chosen = chooser->currentData().toString();
    {
        const QSignalBlocker blocker(chooser);
        chooser->clear();
        m_contactTypeIndexes.clear();
        struct Fixed
        {
            QString text;
            int data;
        };
        const Fixed fixed[] = {{QStringLiteral("-"), 0},  {tr("Customers"), 1}, {tr("Friends"), 2}, {tr("Family"), 3},
                               {tr("VIF"), 5},            {tr("VIP"), 6},       {tr("Office"), 4}};
        for (const Fixed &entry : fixed) {
            m_contactTypeIndexes.insert(entry.data ? QString::number(entry.data) : QString(), chooser->count());
            chooser->addItem(entry.text, entry.data ? QVariant(entry.data) : QVariant(QString()));
        }
        for (const QString &type : types) {
            m_contactTypeIndexes.insert(type, chooser->count());
            chooser->addItem(type, type);
        }
        m_contactTypeIndexes.insert(customTypeKey, chooser->count());
        chooser->addItem(tr("... define custom type"), customContactTypeData);
        chooser->setCurrentIndex(custom ? chooser->count() - 1 : m_contactTypeIndexes.value(chosen, 0));
    }
}
