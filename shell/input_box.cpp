#include "shell/input_box.h"

#include <QLocale>
#include <QMimeData>
#include <QTextBlock>
#include <algorithm>
#include <utility>

#include "decoder/line_rule.h"

namespace orvalin {

qsizetype longestLineLength(QStringView text) {
    qsizetype longest = 0;
    forEachLine(text, [&longest](QStringView line, qsizetype) {
        longest = std::max(longest, line.size());
    });
    return longest;
}

int removeLinesLongerThan(QString& text, qsizetype limit) {
    if (text.size() <= limit) return 0;
    QString kept;
    int removed = 0;
    qsizetype keptFrom = 0;  // -1: inside a line taken out, until the next line starts
    forEachLine(text, [&](QStringView line, qsizetype start) {
        if (keptFrom < 0) keptFrom = start;
        if (line.size() <= limit) return;
        kept += QStringView(text).sliced(keptFrom, start - keptFrom);
        keptFrom = -1;
        ++removed;
    });
    if (removed == 0) return 0;
    if (keptFrom >= 0) kept += QStringView(text).sliced(keptFrom);
    text = std::move(kept);
    return removed;
}

QString overlongLineText(qsizetype longest) {
    const QLocale locale;
    return QStringLiteral(
               "The text has a line of %1 characters without a line break; the input box takes "
               "lines of up to %2 characters (a log line has 81). The text was not taken.\n\n"
               "To decode a log file of any size, use the batch decoder orvalin-decode, "
               "for example: orvalin-decode -o telemetry.csv FILE")
        .arg(locale.toString(qlonglong{longest}), locale.toString(qlonglong{InputLineLimit}));
}

void InputBox::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) return QPlainTextEdit::insertFromMimeData(source);
    // The pasted text joins what stands before the cursor in its line and after it.
    const QTextCursor cursor = textCursor();
    const QTextBlock first = document()->findBlock(cursor.selectionStart());
    const QTextBlock last = document()->findBlock(cursor.selectionEnd());
    const QString joined = first.text().left(cursor.selectionStart() - first.position()) +
                           source->text() +
                           last.text().mid(cursor.selectionEnd() - last.position());
    const qsizetype longest = longestLineLength(joined);
    if (longest > InputLineLimit) {
        emit insertRefused(longest);
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
    emit inserted(joined);
}

}  // namespace orvalin
