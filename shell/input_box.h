// The input box for log lines, and the bound on the length of one of its lines.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringView>

namespace orvalin {

// The longest line the input box takes, in UTF-16 code units; a log line has 81. A followed
// file's unfinished line is held up to this length too. The box lays out a whole line again at
// every keystroke, in time that grows with the line: measured with hostile_paste_bench on two
// cores at a load average of 6.5, a keystroke costs about 16 ms with a line of 64 KiB, 55 ms
// with 256 KiB, 120 ms with 512 KiB and 220 ms with 1 MiB. This bound keeps every keystroke
// well below 100 ms on slower machines too.
inline constexpr qsizetype InputLineLimit = 64 * 1024;

// The length of the longest line of `text`, its lines cut as the box cuts them.
qsizetype longestLineLength(QStringView text);

// Takes every line longer than `limit` out of `text`, with the break that ends it; the other
// lines keep theirs. Such a line is no log line (a receiver's hex dump in a log file), and the
// box would lay it out again at every keystroke. Returns how many were taken out.
int removeLinesLongerThan(QString& text, qsizetype limit);

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
