// TextAreaChecks: whether a read-only text area of the console lines up the
// TAB-aligned views, judged by what the reader sees: "i" as wide as "W", and
// the text after a TAB starting at the same place on lines whose labels
// differ in length. (A font may be monospaced without calling itself
// fixed-pitch, so the font's own claim is not asked.) Header-only, for the
// window tests.
#pragma once

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

namespace quorvane::testing {

inline ::testing::AssertionResult linesUpColumns(QPlainTextEdit* area) {
  const QFontMetricsF metrics(area->font());
  const qreal i = metrics.horizontalAdvance(QLatin1Char('i'));
  const qreal w = metrics.horizontalAdvance(QLatin1Char('W'));
  if (i != w) return ::testing::AssertionFailure() << "'i' is " << i << " wide, 'W' " << w;

  const QString kept = area->toPlainText();
  // Two labels shorter than one tab stop, one longer.
  area->setPlainText(QStringLiteral("DMA : \tX\nIO : \tX\nIO Port : \tX"));
  const auto columnOf = [area](int line) {
    const QTextBlock block = area->document()->findBlockByNumber(line);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.text().indexOf(QLatin1Char('X')));
    return area->cursorRect(cursor).left();
  };
  const int first = columnOf(0);
  const int second = columnOf(1);
  const int third = columnOf(2);
  area->setPlainText(kept);
  if (first != second) return ::testing::AssertionFailure() << "values at " << first << " and " << second;
  if (third <= first) return ::testing::AssertionFailure() << "a longer label's value at " << third;
  return ::testing::AssertionSuccess();
}

}  // namespace quorvane::testing
