#include "host/qt/QtTimelineStrip.h"

#include "host/Host.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace veskar {

namespace {

// A click on the groove goes to the key under the cursor, as a drag does,
// instead of paging towards it.
class ClickToKeyStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returned) const override
    {
        if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QComboBox* list(QWidget* parent, int width, const char* tip)
{
    auto* box = new QComboBox(parent);
    box->setFocusPolicy(Qt::NoFocus);
    box->setFixedWidth(width);
    box->setToolTip(QString::fromUtf8(tip));
    return box;
}

} // namespace

QtTimelineStrip::QtTimelineStrip(Host& host, QWidget* parent) : QWidget(parent), host_(host)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    play_ = new QPushButton(QStringLiteral("Play"), this);
    play_->setFocusPolicy(Qt::NoFocus);
    play_->setFixedWidth(64);
    play_->setToolTip(QStringLiteral("Play / pause (P)"));
    slider_ = new QSlider(Qt::Horizontal, this);
    auto* style = new ClickToKeyStyle;
    style->setParent(slider_);
    slider_->setStyle(style);
    slider_->setFocusPolicy(Qt::ClickFocus);
    slider_->setPageStep(1);
    slider_->setToolTip(QStringLiteral("Keys of the animation shown; Home / End: the first / last key"));
    key_ = new QLabel(this);
    key_->setFixedWidth(80);
    key_->setAlignment(Qt::AlignCenter);
    animations_ = list(this, 150, "The animation that plays");
    speed_ = list(this, 64, "Playback speed");
    bones_ = list(this, 150, "The bone whose weights are painted (H)");
    row->addWidget(play_);
    row->addWidget(slider_, 1);
    row->addWidget(key_);
    row->addWidget(animations_);
    row->addWidget(speed_);
    row->addWidget(bones_);

    connect(play_, &QPushButton::clicked, this, [this] { post(WM_COMMAND, makeWParam(strip::kPlay, BN_CLICKED), 0); });
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        post(WM_HSCROLL, makeWParam(slider_->isSliderDown() ? TB_THUMBTRACK : TB_THUMBPOSITION, 0), value);
    });
    const auto picks = [this](QComboBox* box, std::uint32_t id) {
        connect(box, &QComboBox::activated, this, [this, id](int index) { post(WM_COMMAND, makeWParam(id, CBN_SELCHANGE), index); });
    };
    picks(animations_, strip::kAnimations);
    picks(speed_, strip::kSpeed);
    picks(bones_, strip::kBones);
    show(TimelineState{});
}

void QtTimelineStrip::post(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) { host_.post({id, wParam, lParam, {}}); }

void QtTimelineStrip::fill(QComboBox& box, const std::vector<std::string>& items, int current)
{
    box.clear();
    for (const std::string& item : items) box.addItem(QString::fromUtf8(item));
    box.setCurrentIndex(current);
    box.setEnabled(!items.empty());
}

void QtTimelineStrip::show(const TimelineState& state)
{
    // Setting the widgets is not the user's doing: nothing goes back.
    const QSignalBlocker blockSlider(slider_);
    if (first_ || state.keyCount != shown_.keyCount) {
        slider_->setRange(0, std::max(state.keyCount - 1, 0));
        slider_->setEnabled(state.keyCount > 0);
        play_->setEnabled(state.keyCount > 0);
    }
    // A slider held by the mouse stays where the mouse has it.
    if (!slider_->isSliderDown()) slider_->setValue(state.key);
    if (first_ || state.playing != shown_.playing) play_->setText(state.playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    key_->setText(QString::fromStdString(keyCaption(state)));
    if (first_ || state.animations != shown_.animations) fill(*animations_, state.animations, state.animation);
    else animations_->setCurrentIndex(state.animation);
    if (first_ || state.speeds != shown_.speeds) fill(*speed_, state.speeds, state.speed);
    else speed_->setCurrentIndex(state.speed);
    if (first_ || state.bones != shown_.bones) fill(*bones_, state.bones, state.bone);
    else bones_->setCurrentIndex(state.bone);
    shown_ = state;
    first_ = false;
}

} // namespace veskar
