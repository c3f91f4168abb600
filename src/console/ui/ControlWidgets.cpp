#include "console/ui/ControlWidgets.h"

#include <QMouseEvent>
#include <QPainter>

#include "console/ui/VbColour.h"

namespace hlv {

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled()) {
        Q_EMIT clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void PanelFrame::paintEvent(QPaintEvent* event)
{
    QGroupBox::paintEvent(event);
    if (isFlat()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

Lamp::Lamp(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setBackColor(m_bgr);
}

void Lamp::setBackColor(quint32 bgr)
{
    m_bgr = bgr;
    QPalette p = palette();
    p.setColor(QPalette::Window, vbColour(bgr));
    setPalette(p);
}

} // namespace hlv
