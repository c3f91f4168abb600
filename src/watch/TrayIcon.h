#pragma once

#include <functional>
#include <memory>

#include <QIcon>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace hlv {

// The window's icon in the desktop's notification area. Mouse activity on the icon reaches
// the window as the classic mouse message codes: 514 left button up, 515 left double
// click, 517 right button up.
class TrayIcon
{
public:
    static constexpr int kLeftButtonUp = 514;
    static constexpr int kLeftDoubleClick = 515;
    static constexpr int kRightButtonUp = 517;

    virtual ~TrayIcon() = default;
    // Whether the desktop has a notification area at all; without one the window must
    // stay visible, as minimising would leave nothing to bring it back with.
    virtual bool isAvailable() const = 0;
    // Shows the icon with its tip; menu is the icon's popup menu.
    virtual void add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMouse) = 0;
    virtual void remove() = 0;
    // Changes the tip of the icon shown (nothing when no icon is shown).
    virtual void setToolTip(const QString& tip) = 0;
};

// QSystemTrayIcon. The desktop shows the popup menu on a right click by itself, so only the
// left button codes are passed on.
class QtTrayIcon final : public TrayIcon
{
public:
    QtTrayIcon();
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMouse) override;
    void remove() override;
    void setToolTip(const QString& tip) override;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace hlv
