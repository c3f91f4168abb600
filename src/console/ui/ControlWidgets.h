#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>

namespace hlv {

// A picture or label that acts on a click, as the design's clickable images do.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A panel of the main window. Its border style is the group box's flat flag: flat draws
// no border; otherwise a single line is drawn round the panel in its text colour, so the
// border shows whatever the style draws for a group box.
class PanelFrame : public QGroupBox
{
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A small coloured status lamp; its colour is kept as the 0xBBGGRR value it was given.
class Lamp : public QFrame
{
    Q_OBJECT
public:
    explicit Lamp(QWidget* parent = nullptr);
    void setBackColor(quint32 bgr);
    quint32 backColor() const { return m_bgr; }

private:
    quint32 m_bgr = 65280;
};

} // namespace hlv
