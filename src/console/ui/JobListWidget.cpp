#include "console/ui/JobListWidget.h"

#include <algorithm>

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
    // The name is the last column that exists (see JobRow::name()).
    const int nameColumn = columnCount() - 1;
    if (nameColumn > 0) {
        m_byName.remove(item->text(nameColumn), item);
    }
    item->setText(0, row.text);
    item->setData(0, kIconRole, row.icon);
    item->setIcon(0, JobIcons::image(row.icon));
    for (int c = 1; c < columnCount(); ++c) {
        item->setText(c, c - 1 < row.subItems.size() ? row.subItems.at(c - 1) : QString());
    }
    if (nameColumn > 0) {
        m_byName.insert(item->text(nameColumn), item);
    }
}

void JobListWidget::addRow(const JobRow& row)
{
    auto* item = new JobItem();
    fill(item, row);
    if (m_sorted) {
        insertTopLevelItem(sortedPosition(item, -1), item);
    } else {
        addTopLevelItem(item);
    }
}

bool JobListWidget::sortsBefore(const QString& a, const QString& b) const
{
    const int cmp = a.compare(b, Qt::CaseInsensitive);
    return m_sortOrder == 0 ? cmp < 0 : cmp > 0;
}

void JobListWidget::addRows(const QList<JobRow>& rows)
{
    // A few rows into a long sorted list: each goes to its place, cheaper than a merge.
    constexpr qsizetype kFewRows = 32;
    const int listed = topLevelItemCount();
    if (rows.isEmpty() || (m_sorted && listed > 0 && rows.size() <= std::max<qsizetype>(kFewRows, listed / 16))) {
        for (const JobRow& row : rows) {
            addRow(row);
        }
        return;
    }
    QList<std::pair<QString, QTreeWidgetItem*>> added;
    added.reserve(rows.size());
    for (const JobRow& row : rows) {
        auto* item = new JobItem();
        fill(item, row);
        added.append({item->text(m_sortKey), item});
    }
    if (m_sorted) {
        // One stable sort by the key texts, read once per row; equal rows keep the order
        // they came in, as placing them one by one would.
        std::stable_sort(added.begin(), added.end(),
                         [this](const auto& a, const auto& b) { return sortsBefore(a.first, b.first); });
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(listed + added.size());
    if (m_sorted && listed > 0) {
        // The listed rows stay before the new rows that compare equal to them.
        QTreeWidgetItem* current = currentItem();
        const QList<QTreeWidgetItem*> selected = selectedItems();
        const QList<QTreeWidgetItem*> old = invisibleRootItem()->takeChildren();
        qsizetype next = 0;
        for (QTreeWidgetItem* item : old) {
            const QString key = item->text(m_sortKey);
            while (next < added.size() && sortsBefore(added.at(next).first, key)) {
                items.append(added.at(next++).second);
            }
            items.append(item);
        }
        for (; next < added.size(); ++next) {
            items.append(added.at(next).second);
        }
        insertTopLevelItems(0, items);
        if (current) {
            setCurrentItem(current);
        }
        for (QTreeWidgetItem* item : selected) {
            item->setSelected(true);
        }
        return;
    }
    for (const auto& entry : std::as_const(added)) {
        items.append(entry.second);
    }
    insertTopLevelItems(listed, items);
}

void JobListWidget::setRow(int index, const JobRow& row)
{
    if (QTreeWidgetItem* item = topLevelItem(index)) {
        fill(item, row);
        placeSorted(item);
    }
}

void JobListWidget::removeRow(int index)
{
    QTreeWidgetItem* item = takeTopLevelItem(index);
    if (item && columnCount() > 1) {
        m_byName.remove(item->text(columnCount() - 1), item);
    }
    delete item;
}

void JobListWidget::clear()
{
    m_byName.clear();
    QTreeWidget::clear();
}

int JobListWidget::findByName(const QString& name) const
{
    // Names are unique in practice; where they are not, the topmost row wins.
    // The model finds an item's row from the row it had last time, without a scan while
    // the rows above it stay.
    int found = -1;
    for (auto it = m_byName.constFind(name); it != m_byName.constEnd() && it.key() == name; ++it) {
        const int index = indexFromItem(it.value()).row();
        if (index >= 0 && (found < 0 || index < found)) {
            found = index;
        }
    }
    return found;
}

int JobListWidget::sortedPosition(const QTreeWidgetItem* item, int skip) const
{
    // Among the other rows (the row at skip left out) those that compare equal to the item
    // form one run [low, high). A stable sort keeps the item's place among them: after
    // them when it is new, where it was when it changed.
    const bool ascending = m_sortOrder == 0;
    const QString key = item->text(m_sortKey);
    const auto compareAt = [&](int position) {
        const int index = skip >= 0 && position >= skip ? position + 1 : position;
        const int cmp = topLevelItem(index)->text(m_sortKey).compare(key, Qt::CaseInsensitive);
        return ascending ? cmp : -cmp;
    };
    const int others = topLevelItemCount() - (skip >= 0 ? 1 : 0);
    const auto bound = [&](bool upper) {
        int low = 0;
        int high = others;
        while (low < high) {
            const int mid = (low + high) / 2;
            const int cmp = compareAt(mid);
            if (upper ? cmp > 0 : cmp >= 0) {
                high = mid;
            } else {
                low = mid + 1;
            }
        }
        return low;
    };
    const int high = bound(true);
    if (skip < 0) {
        return high;
    }
    return std::clamp(skip, bound(false), high);
}

void JobListWidget::placeSorted(QTreeWidgetItem* item)
{
    if (!m_sorted) {
        return;
    }
    const int current = indexOfTopLevelItem(item);
    const int target = sortedPosition(item, current);
    if (target == current) {
        return;
    }
    const bool wasSelected = item->isSelected();
    const bool wasCurrent = currentItem() == item;
    takeTopLevelItem(current);
    insertTopLevelItem(target, item);
    if (wasCurrent) {
        setCurrentItem(item);
    }
    item->setSelected(wasSelected);
}

void JobListWidget::setSortKey(int column)
{
    m_sortKey = column;
    resort();
}

void JobListWidget::setSortOrder(int order)
{
    m_sortOrder = order;
    resort();
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
