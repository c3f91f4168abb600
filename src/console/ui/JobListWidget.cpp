#include "console/ui/JobListWidget.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>

namespace hlv {

namespace {

constexpr int kIconRole = Qt::UserRole + 1;

// Rows compare by the texts of the sort column, letter case ignored, as the list view of
// the design does: "10" sorts before "9".
class JobItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

QPixmap drawIcon(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 1: // Document: a white page with lines
        p.setPen(Qt::darkGray);
        p.setBrush(Qt::white);
        p.drawRect(3, 1, 10, 14);
        p.drawLine(5, 5, 11, 5);
        p.drawLine(5, 8, 11, 8);
        p.drawLine(5, 11, 9, 11);
        break;
    case 2: // Print: a printer with paper
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(QColor(0, 140, 0));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 5);
        break;
    case 3: // Error: a red disc with a cross
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 0, 0));
        p.drawEllipse(1, 1, 14, 14);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(5, 5, 11, 11);
        p.drawLine(11, 5, 5, 11);
        break;
    case 4: // Spool: a blue reel
        p.setPen(QPen(QColor(0, 60, 200), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(2, 2, 12, 12);
        p.drawEllipse(6, 6, 4, 4);
        break;
    default: // Stop: two orange bars
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 128, 0));
        p.drawRect(3, 2, 4, 12);
        p.drawRect(9, 2, 4, 12);
        break;
    }
    return pixmap;
}

} // namespace

QIcon JobIcons::image(int index)
{
    static const QList<QIcon> icons = [] {
        QList<QIcon> list;
        for (int i = 1; i <= 5; ++i) {
            list.append(QIcon(drawIcon(i)));
        }
        return list;
    }();
    return index >= 1 && index <= 5 ? icons.at(index - 1) : icons.at(2);
}

QString JobIcons::key(int index)
{
    static const QStringList keys = {QStringLiteral("Document"), QStringLiteral("Print"), QStringLiteral("Error"),
                                     QStringLiteral("Spool"), QStringLiteral("Stop")};
    return index >= 1 && index <= 5 ? keys.at(index - 1) : QString();
}

JobListWidget::JobListWidget(const QStringList& headers, QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(static_cast<int>(headers.size()));
    setHeaderLabels(headers);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
}

int JobListWidget::rowCount() const
{
    return topLevelItemCount();
}

JobRow JobListWidget::row(int index) const
{
    JobRow out;
    const QTreeWidgetItem* item = topLevelItem(index);
    if (!item) {
        return out;
    }
    out.text = item->text(0);
    out.icon = item->data(0, kIconRole).toInt();
    for (int c = 1; c < columnCount(); ++c) {
        out.subItems.append(item->text(c));
    }
    return out;
}

void JobListWidget::fill(QTreeWidgetItem* item, const JobRow& row)
{
    item->setText(0, row.text);
    item->setData(0, kIconRole, row.icon);
    item->setIcon(0, JobIcons::image(row.icon));
    for (int c = 1; c < columnCount(); ++c) {
        item->setText(c, c - 1 < row.subItems.size() ? row.subItems.at(c - 1) : QString());
    }
}

void JobListWidget::addRow(const JobRow& row)
{
    auto* item = new JobItem();
    fill(item, row);
    addTopLevelItem(item);
    resort();
}

void JobListWidget::setRow(int index, const JobRow& row)
{
    if (QTreeWidgetItem* item = topLevelItem(index)) {
        fill(item, row);
        resort();
    }
}

void JobListWidget::removeRow(int index)
{
    delete takeTopLevelItem(index);
}

void JobListWidget::clear()
{
    QTreeWidget::clear();
}

void JobListWidget::setSorted(bool sorted)
{
    m_sorted = sorted;
    resort();
}

void JobListWidget::resort()
{
    if (m_sorted) {
        sortItems(m_sortKey, m_sortOrder == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

int JobListWidget::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty()) {
        return -1;
    }
    return indexOfTopLevelItem(selected.first());
}

void JobListWidget::selectRow(int index)
{
    if (QTreeWidgetItem* item = topLevelItem(index)) {
        setCurrentItem(item);
        item->setSelected(true);
    }
}

QStringList JobListWidget::columnTexts(int column) const
{
    QStringList out;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        out.append(topLevelItem(i)->text(column));
    }
    return out;
}

} // namespace hlv
