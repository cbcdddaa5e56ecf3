#include "Feedback.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The real message box, closed by the test as soon as it shows.
TEST(FeedbackBox, ShowsMarkupInTheMessageAsItsCharacters)
{
    Feedback::SetRecorder(nullptr);
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        format = box->textFormat();
        box->accept();
    });
    Feedback::Message(nullptr, QStringLiteral("Cannot write /home/<b>me</b>/Sites.dqx"));
    EXPECT_EQ(shown, QStringLiteral("Cannot write /home/<b>me</b>/Sites.dqx"));
    EXPECT_EQ(format, Qt::PlainText);
}

} // namespace
