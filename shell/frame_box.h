// A frame of the main window: an etched line around its area with the caption on the top line.
#pragma once

#include <QGroupBox>

namespace orvalin {

// The inside keeps the frame's own background colour and the contents keep their positions:
// the Fusion group box tints its inside and puts the caption above the line instead.
class FrameBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvalin
