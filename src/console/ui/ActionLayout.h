#pragma once

#include <QRect>
#include <QString>

namespace hlv {

// Geometry of the quick-action popup in twips (left, top, width, height), computed from the
// designed places each time, so that laying the window out again (it is laid out at load and
// at every activation) always gives the same result.
struct ActionLayout
{
    QRect txtPrintJob;
    QRect PrintButton;
    QRect DeleteButton;
    QRect cmdPrintAll;
    QRect cmdDeleteAll;
    QRect CancelButton;
    bool allButtonsVisible = true;
};

// Inner size of the popup in twips.
inline constexpr int kActionWidthTwips = 4575;
inline constexpr int kActionHeightTwips = 2400;

// With hideAllButtons the Print All and Delete All buttons are hidden and the Print and Delete
// buttons reach down to the Cancel button, taking the freed space once.
ActionLayout actionLayout(bool hideAllButtons);

// The popup's summary of the selected job: description on the first line; computer, size and
// pages on the second.
QString actionSummaryText(const QString& description, const QString& computer, const QString& size,
                          const QString& pages);

// The text shown when no job row is selected.
QString actionNoJobText();

} // namespace hlv
