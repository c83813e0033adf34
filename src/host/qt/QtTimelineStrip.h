#pragma once
// The timeline strip of the Qt window (see TimelineStrip.h): a row of
// widgets under the client area whose signals become the messages a Win32
// strip would send. Lists and the button never take the keyboard, so keys
// stay with the picture; the slider takes it when clicked, keeps the keys a
// slider has (arrows, Page Up / Down, Home / End) and passes the rest on to
// the main window, which posts them as it posts the client's.

#include "host/TimelineStrip.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace veskar {

class Host;

class QtTimelineStrip final : public QWidget {
public:
    QtTimelineStrip(Host& host, QWidget* parent);
    void show(const TimelineState& state);

private:
    void post(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam);
    static void fill(QComboBox& box, const std::vector<std::string>& items, int current);

    Host& host_;
    QPushButton* play_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* key_ = nullptr;
    QComboBox* animations_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* bones_ = nullptr;
    TimelineState shown_;
    bool first_ = true;
};

} // namespace veskar
