// A label whose text is never cut off.
#pragma once

#include <QLabel>

namespace orvalin {

// A text wider than the label (the navigator label of a four-digit record count, a long status
// line) is drawn narrower to fit, down to 60 % of its width; only beyond that is it clipped.
class FittingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvalin
