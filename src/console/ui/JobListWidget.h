#pragma once

#include <QIcon>
#include <QMultiHash>
#include <QStringList>
#include <QTreeWidget>

#include "console/access/WMILiveView.h"

namespace hlv {

// The image list of the job lists, in its design order: 1 "Document", 2 "Print",
// 3 "Error", 4 "Spool", 5 "Stop". Drawn once, so the program ships no picture files.
class JobIcons
{
public:
    static QIcon image(int index);
    static QString key(int index);
};

// A job list in report style: one row per job, the status text with its icon in the first
// column, the sub-items after it. Rows are kept in the order they were added until the
// list is sorted; once sorted, the list keeps its sort key and order and sorts every row
// added or changed into place, comparing the columns' texts. A row goes straight to its
// place (after the rows that compare equal, as a stable sort puts it), so adding a row to
// a sorted list costs a search, not a sort; a fill (addRows) sorts its rows once and merges
// them with the listed ones. The rows' names are indexed, so findByName reads no rows.
class JobListWidget : public QTreeWidget, public JobRowList
{
    Q_OBJECT
public:
    JobListWidget(const QStringList& headers, QWidget* parent = nullptr);

    // JobRowList
    int rowCount() const override;
    JobRow row(int index) const override;
    void addRow(const JobRow& row) override;
    void addRows(const QList<JobRow>& rows) override;
    void setRow(int index, const JobRow& row) override;
    void removeRow(int index) override;
    void clear() override;
    int findByName(const QString& name) const override;

    // The design's SortKey, SortOrder (0 ascending, 1 descending) and Sorted.
    void setSortKey(int column);
    int sortKey() const { return m_sortKey; }
    void setSortOrder(int order);
    int sortOrder() const { return m_sortOrder; }
    void setSorted(bool sorted);
    bool isSorted() const { return m_sorted; }

    // The row the operator selected, or -1.
    int selectedRow() const;
    void selectRow(int index);
    // The texts of one column, top to bottom (tests and the job actions read them).
    QStringList columnTexts(int column) const;

private:
    void fill(QTreeWidgetItem* item, const JobRow& row);
    // Whether item a goes before item b in the sorted list (ties: neither).
    bool sortsBefore(const QString& a, const QString& b) const;
    void resort();
    // Where an item belongs in the sorted list, leaving out the item at skip.
    int sortedPosition(const QTreeWidgetItem* item, int skip) const;
    void placeSorted(QTreeWidgetItem* item);

    int m_sortKey = 0;
    int m_sortOrder = 0;
    bool m_sorted = false;
    QMultiHash<QString, QTreeWidgetItem*> m_byName;
};

} // namespace hlv
