// A channel's option button: a round indicator and the channel's caption.
#pragma once

#include <QRadioButton>

namespace orvalin {

// The buttons are 13 pixels high, one less than the Fusion style's indicator, whose lowest row
// would be cut off. Where the style's indicator is higher than the button, it is drawn in a
// square of the button's height instead; the caption stays where the style puts it.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvalin
