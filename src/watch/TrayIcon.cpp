#include "watch/TrayIcon.h"

#include <QSystemTrayIcon>

namespace hlv {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMouse)
{
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tip);
    m_icon->setContextMenu(menu);
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                     [onMouse = std::move(onMouse)](QSystemTrayIcon::ActivationReason reason) {
                         if (!onMouse) {
                             return;
                         }
                         if (reason == QSystemTrayIcon::Trigger) {
                             onMouse(TrayIcon::kLeftButtonUp);
                         } else if (reason == QSystemTrayIcon::DoubleClick) {
                             onMouse(TrayIcon::kLeftDoubleClick);
                         }
                     });
    m_icon->show();
}

void QtTrayIcon::remove()
{
    if (m_icon) {
        m_icon->hide();
        m_icon.reset();
    }
}

void QtTrayIcon::setToolTip(const QString& tip)
{
    if (m_icon) {
        m_icon->setToolTip(tip);
    }
}

} // namespace hlv
