#include "app/HeldBy.h"

#include "fileops/FileHolders.h"
#include "platform/IProcesses.h"
#include "ui/Messages.h"
#include "ui/VelmoraApplication.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLayout>
#include <QVBoxLayout>

#include <chrono>
#include <cstdlib>

namespace velmora {

namespace {
constexpr std::chrono::milliseconds kSettleTime{200};

std::string Canonical(const std::string& path)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string text(resolved);
    std::free(resolved);
    return text;
}
} // namespace

THeldBy::THeldBy(AppContext context, QWidget* parent) : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("FormHeldBy"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(560, 260);

    auto* layout = new QVBoxLayout(this);
    LabelPath = new QLabel(this);
    LabelPath->setObjectName(QStringLiteral("LabelPath"));
    LabelPath->setTextFormat(Qt::PlainText);
    layout->addWidget(LabelPath);

    ListHolders = new QTreeWidget(this);
    ListHolders->setObjectName(QStringLiteral("ListHolders"));
    ListHolders->setColumnCount(4);
    ListHolders->setRootIsDecorated(false);
    ListHolders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListHolders->setAllColumnsShowFocus(true);
    ListHolders->header()->setStretchLastSection(true);
    layout->addWidget(ListHolders, 1);

    LabelNote = new QLabel(this);
    LabelNote->setObjectName(QStringLiteral("LabelNote"));
    LabelNote->setWordWrap(true);
    LabelNote->setTextFormat(Qt::PlainText);
    layout->addWidget(LabelNote);

    auto* buttons = new QHBoxLayout;
    ButtonEnd = new QPushButton(this);
    ButtonEnd->setObjectName(QStringLiteral("ButtonEnd"));
    ButtonEnd->setEnabled(false);
    ButtonCloseList = new QPushButton(this);
    ButtonCloseList->setObjectName(QStringLiteral("ButtonCloseList"));
    buttons->addWidget(ButtonEnd);
    buttons->addStretch(1);
    buttons->addWidget(ButtonCloseList);
    layout->addLayout(buttons);

    connect(ListHolders, &QTreeWidget::itemSelectionChanged, this,
            [this] { ButtonEnd->setEnabled(!ListHolders->selectedItems().isEmpty()); });
    connect(ButtonEnd, &QPushButton::clicked, this, Guarded(this, &THeldBy::ButtonEndClick));
    connect(ButtonCloseList, &QPushButton::clicked, this, &QDialog::accept);
}

QString THeldBy::Text(const char* english, const char* german) const
{
    return QString::fromUtf8(IsEnglish(Language) ? english : german);
}

void THeldBy::showEvent(QShowEvent* event)
{
    ApplyLanguage();
    RefreshList();
    QDialog::showEvent(event);
}

void THeldBy::ApplyLanguage()
{
    setWindowTitle(QString::fromUtf8(Pick(Language, HolderTexts::kTitle)));
    ListHolders->setHeaderLabels({QString::fromUtf8(Pick(Language, HolderTexts::kProcessColumn)),
                                  QString::fromUtf8(Pick(Language, HolderTexts::kProgramColumn)),
                                  QString::fromUtf8(Pick(Language, HolderTexts::kUserColumn)),
                                  QString::fromUtf8(Pick(Language, HolderTexts::kHowColumn))});
    ButtonEnd->setText(QString::fromUtf8(Pick(Language, HolderTexts::kEndButton)));
    ButtonCloseList->setText(QString::fromUtf8(Pick(Language, HolderTexts::kCloseButton)));
    layout()->activate();
}

void THeldBy::RefreshList()
{
    m_canonical = Canonical(Path);
    m_list = m_context.platform.holders->ListHolders(Path);
    LabelPath->setText(QString::fromStdString(m_canonical));
    ListHolders->clear();
    for (const FileHolder& holder : m_list.holders) {
        auto* item = new QTreeWidgetItem(ListHolders);
        item->setText(0, QString::number(holder.id));
        item->setText(1, QString::fromStdString(holder.program));
        item->setText(2, QString::fromStdString(holder.user));
        item->setText(3, QString::fromStdString(DescribeHolds(holder, m_canonical, Language)));
        item->setToolTip(1, item->text(1));
        item->setToolTip(3, item->text(3));
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(holder.id));
    }
    for (int column = 0; column < 3; ++column)
        ListHolders->resizeColumnToContents(column);
    QString note;
    if (m_list.holders.empty()) note = QString::fromUtf8(Pick(Language, HolderTexts::kNobody));
    const std::string unchecked = UncheckedNote(m_list.uncheckedProcesses, Language);
    if (!unchecked.empty())
        note += (note.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromStdString(unchecked);
    LabelNote->setText(note);
    LabelNote->setVisible(!note.isEmpty());
    ButtonEnd->setEnabled(false);
    if (Refreshed) Refreshed();
}

void THeldBy::ButtonEndClick()
{
    std::vector<FileHolder> chosen;
    for (const QTreeWidgetItem* item : ListHolders->selectedItems()) {
        const std::int64_t id = item->data(0, Qt::UserRole).toLongLong();
        for (const FileHolder& holder : m_list.holders) {
            if (holder.id == id) chosen.push_back(holder);
        }
    }
    if (chosen.empty()) return;
    QStringList names;
    for (const FileHolder& holder : chosen)
        names << QStringLiteral("%1 %2").arg(holder.id).arg(QString::fromStdString(holder.program));
    const QString question =
        QString::fromUtf8(Pick(Language, HolderTexts::kEndQuestion)).arg(names.join(QLatin1Char('\n')));
    if (ShowMessageBox(this, QStringLiteral("Velmora"), question, MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes) {
        return;
    }
    const std::vector<EndOutcome> outcomes = EndHolders(*m_context.platform.processes, chosen);
    QStringList failures;
    for (const EndOutcome& outcome : outcomes) {
        const std::string failure = EndFailureText(outcome, Language);
        if (!failure.empty()) failures << QString::fromStdString(failure);
    }
    // Ended processes need a moment before they are gone from the system's lists.
    m_context.waiter.Wait(kSettleTime);
    RefreshList();
    if (!failures.isEmpty()) {
        ShowMessageBox(this, QStringLiteral("Velmora"), failures.join(QLatin1Char('\n')), MsgIcon::Error);
    }
}

} // namespace velmora
