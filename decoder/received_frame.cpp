#include "decoder/received_frame.h"

namespace orvalin {

QString ReceivedFrame::receivedText() const {
    const char16_t* d = logged.data();
    const char16_t text[19] = {d[0], d[1], u'.', d[2], d[3],  u'.',  d[4], d[5],  d[6], d[7],
                               u' ', d[8], d[9], u':', d[10], d[11], u':', d[12], d[13]};
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

}  // namespace orvalin
