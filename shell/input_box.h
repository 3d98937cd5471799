// The input box for log lines, and the bound on the length of one of its lines.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

#include "decoder/log_text.h"

namespace orvalin {

// The length of the longest line of `text`, its lines cut as the box cuts them.
qsizetype longestLineLength(QStringView text);

// What the user is told when a text with a line of `longest` code units is not taken.
inline constexpr char OverlongLineTitle[] = "Text not taken";
QString overlongLineText(qsizetype longest);

// The log input box. A paste or drop that would make a line longer than InputLineLimit, counting
// the text around the cursor that joins it, changes nothing: the box keeps its text and reports the
// refusal, so the window stays answering.
class InputBox : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

signals:
    // A paste or drop was not taken; `longest` is the line it would have made.
    void insertRefused(qsizetype longest);
    // A paste or drop was taken: `lines` are the lines it made, with the text around it.
    void inserted(const QString& lines);

protected:
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace orvalin
