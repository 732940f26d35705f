#pragma once

#include <QPixmap>
#include <cstdint>
#include <vector>

#include "mainwnd/CoordKeys.h"
#include "ui/SWindow.h"

namespace keylume {

namespace ui {
class SControlRegistry;
}

// Told about presses (state 0) and releases (state 1) on the keys of the keyboard picture.
class ICoordButtonClickListener {
  public:
    virtual ~ICoordButtonClickListener() = default;
    // `flags`: the mouse buttons and modifiers held (1 left, 2 right, 4 Shift, 8 Ctrl, 16 middle);
    // x and y relative to the control. Returning true skips the control's own selection step.
    virtual bool OnCoordButtonClick(std::int32_t id, QString name, std::int32_t state,
                                    unsigned flags, std::int32_t x, std::int32_t y) = 0;
};

// The keyboard picture with clickable keys ("cbimg"). Key regions come from the coordinates file
// named by "crdxml"; keys under the mouse are drawn from "chking", checked keys from "chked",
// over the base picture "bg". Key colours are 0xRRGGBB (opaque) or, above 0xFFFFFF, 0xAARRGGBB.
//
// Threads: UI thread only.
class CoordButtonImage : public ui::SWindow {
  public:
    static constexpr const char* kClassName = "cbimg";
    // Addresses every key in SetKeyChecked, SetKeyText and ToggleKey.
    static constexpr std::int32_t kAllKeys = 2147483647;

    explicit CoordButtonImage(QWidget* parent = nullptr);

    bool SetAttribute(const QString& name, const QString& value) override;
    void OnCreate() override;

    void SetClickListener(ICoordButtonClickListener* listener) { listener_ = listener; }
    void SetKeyChecked(std::int32_t id, bool checked);
    void SetKeyText(std::int32_t id, const QString& text);
    bool GetKeyInfo(std::int32_t id, CoordKey* out) const;
    void ToggleKey(std::int32_t id);

    const std::vector<CoordKey>& Keys() const { return keys_; }
    int SelectionType() const { return type_; }
    QString CoordFile() const { return crdxml_; }
    // The tooltip the mouse position asks for.
    QString CurrentTip() const { return currentTip_; }

    // Program folder, "/" unless the name starts with "/" or "\", then the name.
    static QString CoordPath(const QString& programFolder, const QString& crdxml);

    // What the mouse does, with a position relative to the control (tests drive these too).
    void PressAt(int x, int y, unsigned flags);
    void ReleaseAt(int x, int y, unsigned flags);
    void MoveTo(int x, int y);
    void Leave();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    CoordKey* FirstKey(std::int32_t id);
    const CoordKey* FirstKey(std::int32_t id) const;
    CoordKey* KeyAt(int x, int y);
    void Report(CoordKey& key, std::int32_t state, unsigned flags, int x, int y);
    void DrawRegions(QPainter& p, const QPixmap& picture, bool CoordKey::*flag);

    QPixmap bg_;
    QPixmap chking_;
    QPixmap chked_;
    std::vector<CoordKey> keys_;
    std::uint32_t defaultColor_ = 0xFFFFFF;
    int type_ = 0;
    QString crdxml_;
    ICoordButtonClickListener* listener_ = nullptr;
    QString currentTip_;
};

// Registers "cbimg" (extending "window") with the toolkit.
void RegisterCoordButtonImage(ui::SControlRegistry& registry);

}  // namespace keylume
