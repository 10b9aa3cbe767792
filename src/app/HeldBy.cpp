#include "app/HeldBy.h"

#include "ui/VelmoraApplication.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLayout>
#include <QVBoxLayout>

namespace velmora {

THeldBy::THeldBy(AppContext context, QWidget* parent)
    : QDialog(parent), m_context(context), m_logic(context.platform, context.waiter, m_view, *this)
{
    setObjectName(QString::fromLatin1(HeldByLogic::kWindow));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(560, 260);

    auto* layout = new QVBoxLayout(this);
    LabelPath = new QLabel(this);
    LabelPath->setObjectName(QStringLiteral("LabelPath"));
    LabelPath->setTextFormat(Qt::PlainText);
    LabelPath->setProperty("fixedBox", true);
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
    LabelNote->setProperty("fixedBox", true);
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

    connect(ListHolders, &QTreeWidget::itemSelectionChanged, this, [this] { m_logic.SelectionChanged(); });
    connect(ButtonEnd, &QPushButton::clicked, this, Guarded(this, &THeldBy::ButtonEndClick));
    connect(ButtonCloseList, &QPushButton::clicked, this, &QDialog::accept);
}

void THeldBy::showEvent(QShowEvent* event)
{
    ApplyLanguage();
    RefreshList();
    QDialog::showEvent(event);
}

void THeldBy::TextsApplied()
{
    layout()->activate();
}

void THeldBy::RowsFilled()
{
    // Long programs and descriptions can be read in full as tooltips.
    for (int row = 0; row < ListHolders->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = ListHolders->topLevelItem(row);
        item->setToolTip(1, item->text(1));
        item->setToolTip(3, item->text(3));
    }
    for (int column = 0; column < 3; ++column)
        ListHolders->resizeColumnToContents(column);
}

} // namespace velmora
